// The helper that runs the window's longer work off its thread: the job's
// end, its error, Cancel, and one job at a time.
#include <atomic>
#include <thread>

#include <QApplication>
#include <QPushButton>
#include <QTimer>

#include "config/Background.h"
#include "config/WindowFixture.h"
#include "platform/errors.h"

namespace kalvorin::test {
namespace {

using config::JobControl;
using config::run_job;

const config::ProgressTexts kTexts{"working", "stop"};

TEST_F(WindowTest, AJobRunsOffTheWindowsThreadAndItsErrorIsRaisedAgain) {
    open_window();
    std::thread::id ran_on;
    EXPECT_TRUE(run_job(form.get(), kTexts, [&](JobControl&) { ran_on = std::this_thread::get_id(); }));
    EXPECT_NE(ran_on, std::this_thread::get_id());
    EXPECT_THROW(run_job(form.get(), kTexts, [](JobControl&) { throw EInOutError("File not found", "/x"); }),
                 EInOutError);
}

// Cancel in the progress box stops the job at its next step, whether the job
// asks or its work reports a step.
TEST_F(WindowTest, CancelInTheProgressBoxStopsTheJob) {
    open_window();
    QTimer press;
    QObject::connect(&press, &QTimer::timeout, [] {
        for (QWidget* w : QApplication::topLevelWidgets())
            if (w->objectName() == "frm_progress" && w->isVisible()) w->findChild<QPushButton*>("btn_cancel")->click();
    });
    press.start(0);
    const auto until_cancelled = [](JobControl& job) {
        while (!job.cancelled()) std::this_thread::yield();
    };
    EXPECT_FALSE(run_job(form.get(), kTexts, until_cancelled, std::chrono::milliseconds(0)));
    bool ran_past = false;
    const auto stepping = [&](JobControl& job) {
        for (std::size_t done = 0;; ++done) job.step(done, 0);
        ran_past = true;
    };
    EXPECT_FALSE(run_job(form.get(), kTexts, stepping, std::chrono::milliseconds(0)));
    EXPECT_FALSE(ran_past);
}

// While a job runs, another is refused without running; once it has ended,
// the next one runs.
TEST_F(WindowTest, OneJobAtATime) {
    open_window();
    std::atomic<bool> tried{false};
    bool second_ran = false;
    bool second_taken = true;
    QTimer::singleShot(0, [&] {
        second_taken = run_job(form.get(), kTexts, [&](JobControl&) { second_ran = true; });
        tried = true;
    });
    EXPECT_TRUE(run_job(form.get(), kTexts, [&](JobControl&) {
        while (!tried) std::this_thread::yield();
    }));
    EXPECT_FALSE(second_taken || second_ran);
    EXPECT_TRUE(run_job(form.get(), kTexts, [&](JobControl&) { second_ran = true; }));
    EXPECT_TRUE(second_ran);
}

}  // namespace
}  // namespace kalvorin::test
