#include "config/Background.h"

#include <algorithm>
#include <exception>
#include <memory>

#include <QApplication>
#include <QDialog>
#include <QEvent>
#include <QEventLoop>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QThread>
#include <QTimer>
#include <QVBoxLayout>

#include "config/cp1252.h"

namespace kalvorin::config {

namespace {

// The stack that a program's main thread has, so that the filter code runs
// as deep on the job's thread as on the window's.
constexpr unsigned kJobStack = 8u << 20;
constexpr std::chrono::milliseconds kProgressTick{100};

std::atomic<bool> job_running{false};

// Holds the process's one job slot while it lives, when it was free.
class JobSlot {
public:
    JobSlot() : held_(!job_running.exchange(true)) {}
    ~JobSlot() {
        if (held_) job_running.store(false);
    }
    JobSlot(const JobSlot&) = delete;
    JobSlot& operator=(const JobSlot&) = delete;
    bool held() const { return held_; }

private:
    bool held_;
};

class ProgressBox final : public QDialog {
public:
    ProgressBox(QWidget* owner, const ProgressTexts& texts, JobControl& control)
        : QDialog(owner), control_(control) {
        setObjectName("frm_progress");
        setWindowModality(Qt::ApplicationModal);
        auto* label = new QLabel(from_ansi(texts.label), this);
        label->setTextFormat(Qt::PlainText);
        bar_ = new QProgressBar(this);
        bar_->setRange(0, 0);
        cancel_ = new QPushButton(from_ansi(texts.cancel), this);
        cancel_->setObjectName("btn_cancel");
        connect(cancel_, &QPushButton::clicked, this, [this] { reject(); });
        auto* layout = new QVBoxLayout(this);
        layout->addWidget(label);
        layout->addWidget(bar_);
        layout->addWidget(cancel_, 0, Qt::AlignRight);
    }

    void show_progress() {
        const std::size_t total = control_.total();
        if (total == 0) return;
        constexpr int kSteps = 1000;  // a bar counts in int; a log's bytes may not fit one
        bar_->setRange(0, kSteps);
        bar_->setValue(static_cast<int>(std::min(control_.done(), total) * kSteps / total));
    }

protected:
    // Cancel, Escape and the close box all ask the job to stop; the box stays
    // until it has, so the windows take no input meanwhile.
    void reject() override {
        control_.cancel();
        cancel_->setEnabled(false);
    }

private:
    JobControl& control_;
    QProgressBar* bar_;
    QPushButton* cancel_;
};

bool is_input(QEvent::Type type) {
    switch (type) {
        case QEvent::MouseButtonPress:
        case QEvent::MouseButtonRelease:
        case QEvent::MouseButtonDblClick:
        case QEvent::Wheel:
        case QEvent::KeyPress:
        case QEvent::KeyRelease:
        case QEvent::ShortcutOverride:
        case QEvent::Shortcut:
        case QEvent::ContextMenu:
        case QEvent::TouchBegin:
        case QEvent::TouchUpdate:
        case QEvent::TouchEnd:
        case QEvent::Close:
            return true;
        default:
            return false;
    }
}

// While it lives, the user's input reaches no widget but the box's, and no
// window closes. Input is dropped, not kept for later: a click made while a
// job ran must not run a handler once it ends.
class InputBlock final : public QObject {
public:
    explicit InputBlock(const QWidget* box) : box_(box) { QCoreApplication::instance()->installEventFilter(this); }
    ~InputBlock() override { QCoreApplication::instance()->removeEventFilter(this); }
    InputBlock(const InputBlock&) = delete;
    InputBlock& operator=(const InputBlock&) = delete;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override {
        if (!is_input(event->type())) return false;
        // Window-level events are passed on to their widgets and judged there.
        const auto* widget = qobject_cast<const QWidget*>(watched);
        if (!widget || widget == box_ || box_->isAncestorOf(widget)) return false;
        event->ignore();  // a close, swallowed, must not close
        return true;
    }

private:
    const QWidget* box_;
};

}  // namespace

bool run_job(QWidget* owner, const ProgressTexts& texts, const std::function<void(JobControl&)>& job,
             std::chrono::milliseconds delay) {
    const JobSlot slot;
    if (!slot.held()) return false;
    JobControl control;
    std::exception_ptr failure;
    ProgressBox box(owner, texts, control);
    const InputBlock block(&box);
    QEventLoop loop;
    const std::unique_ptr<QThread> worker(QThread::create([&] {
        try {
            job(control);
        } catch (const JobCancelled&) {
        } catch (...) {
            failure = std::current_exception();
        }
    }));
    worker->setStackSize(kJobStack);
    QObject::connect(worker.get(), &QThread::finished, &loop, &QEventLoop::quit);
    QTimer::singleShot(delay, &box, [&box] { box.show(); });
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, &box, [&box] { box.show_progress(); });
    tick.start(kProgressTick);
    worker->start();
    loop.exec();
    worker->wait();
    if (failure) std::rethrow_exception(failure);
    return !control.cancelled();
}

}  // namespace kalvorin::config
