#include "config/Seam.h"

#include <QDialogButtonBox>
#include <QFile>
#include <QFileDialog>
#include <QGridLayout>
#include <QGuiApplication>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QStyle>

#include <iostream>

#include "config/cp1252.h"
#include "platform/errors.h"
#include "platform/shell.h"

namespace kalvorin::config {

namespace {

// A message box with one OK button that shows its text exactly as given,
// never as markup.
void show_box(QWidget* owner, QMessageBox::Icon icon, const QString& title, const std::string& text) {
    QMessageBox box(icon, title, from_ansi(text), QMessageBox::Ok, owner);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

// The window words the failure itself, so the system's text is not needed.
bool shell_started(const std::string& target) {
    try {
        platform::shell_open(target);
        return true;
    } catch (const EInOutError&) {
        return false;
    }
}

}  // namespace

void QtSeam::showError(QWidget* owner, const std::string& text) {
    show_box(owner, QMessageBox::Critical, "Error", text);
}

void QtSeam::showWarning(QWidget* owner, const std::string& title, const std::string& text) {
    show_box(owner, QMessageBox::Warning, from_ansi(title), text);
}

// The text may name many lines: it scrolls, and the box is kept within the
// screen, so that its buttons are always in reach.
std::unique_ptr<QDialog> question_box(QWidget* owner, const std::string& title, const std::string& text,
                                      const std::string& first, const std::string& second) {
    auto box = std::make_unique<QDialog>(owner);
    box->setObjectName("frm_question");
    box->setWindowTitle(from_ansi(title));
    QStyle* style = box->style();
    const int icon_size = style->pixelMetric(QStyle::PM_MessageBoxIconSize, nullptr, box.get());
    auto* icon = new QLabel(box.get());
    icon->setPixmap(style->standardIcon(QStyle::SP_MessageBoxWarning, nullptr, box.get()).pixmap(icon_size));
    auto* label = new QLabel(from_ansi(text));
    label->setTextFormat(Qt::PlainText);
    label->setWordWrap(true);
    label->setTextInteractionFlags(Qt::TextSelectableByMouse);
    auto* scroll = new QScrollArea(box.get());
    scroll->setFrameShape(QFrame::NoFrame);
    scroll->setWidgetResizable(true);
    scroll->setWidget(label);
    auto* buttons = new QDialogButtonBox(box.get());
    buttons->addButton(from_ansi(first), QDialogButtonBox::AcceptRole);
    // Going back is the default: a save that adds a faulty line takes a choice.
    buttons->addButton(from_ansi(second), QDialogButtonBox::RejectRole)->setDefault(true);
    QObject::connect(buttons, &QDialogButtonBox::accepted, box.get(), &QDialog::accept);
    QObject::connect(buttons, &QDialogButtonBox::rejected, box.get(), &QDialog::reject);
    auto* layout = new QGridLayout(box.get());
    layout->addWidget(icon, 0, 0, Qt::AlignTop);
    layout->addWidget(scroll, 0, 1);
    layout->addWidget(buttons, 1, 0, 1, 2);
    // A fifth of the screen is left for the frame and the window it stands on.
    const QScreen* screen = owner && owner->screen() ? owner->screen() : QGuiApplication::primaryScreen();
    box->setMaximumSize(screen->availableGeometry().size() * 4 / 5);
    return box;
}

bool QtSeam::askQuestion(QWidget* owner, const std::string& title, const std::string& text, const std::string& first,
                         const std::string& second) {
    return question_box(owner, title, text, first, second)->exec() == QDialog::Accepted;
}

std::optional<std::string> QtSeam::openFileDialog(QWidget* owner, const std::string& default_ext) {
    QFileDialog dialog(owner);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setDefaultSuffix(QString::fromStdString(default_ext));
    dialog.setSizeGripEnabled(true);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return QFile::encodeName(dialog.selectedFiles().front()).toStdString();
}

std::optional<std::string> QtSeam::saveFileDialog(QWidget* owner, const std::string& default_ext) {
    QFileDialog dialog(owner);
    dialog.setFileMode(QFileDialog::AnyFile);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setDefaultSuffix(QString::fromStdString(default_ext));
    dialog.setSizeGripEnabled(true);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return QFile::encodeName(dialog.selectedFiles().front()).toStdString();
}

bool QtSeam::openFile(const std::string& path) { return shell_started(path); }

// On Windows the address opens in the default browser, which every current
// system has, rather than through a particular browser's automation object.
bool QtSeam::openUrl(const std::string& url) { return shell_started(url); }

void ConsoleSeam::showError(QWidget*, const std::string& text) {
    failed_ = true;
    std::cerr << "Error: " << text << std::endl;
}

void ConsoleSeam::showWarning(QWidget*, const std::string& title, const std::string& text) {
    std::cerr << title << ": " << text << std::endl;
}

bool ConsoleSeam::askQuestion(QWidget*, const std::string& title, const std::string& text, const std::string& first,
                              const std::string&) {
    std::cerr << title << ": " << text << "\n" << title << ": " << first << std::endl;
    return true;
}

std::optional<std::string> ConsoleSeam::openFileDialog(QWidget*, const std::string&) { return std::nullopt; }

std::optional<std::string> ConsoleSeam::saveFileDialog(QWidget*, const std::string&) { return std::nullopt; }

bool ConsoleSeam::openFile(const std::string&) { return false; }

bool ConsoleSeam::openUrl(const std::string&) { return false; }

}  // namespace kalvorin::config
