#include "config/Seam.h"

#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QPushButton>

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

std::unique_ptr<QMessageBox> question_box(QWidget* owner, const std::string& title, const std::string& text,
                                          const std::string& first, const std::string& second) {
    auto box = std::make_unique<QMessageBox>(QMessageBox::Warning, from_ansi(title), from_ansi(text),
                                             QMessageBox::NoButton, owner);
    box->setTextFormat(Qt::PlainText);
    box->addButton(from_ansi(first), QMessageBox::AcceptRole);
    // Going back is the default: a save that adds a faulty line takes a choice.
    box->setDefaultButton(box->addButton(from_ansi(second), QMessageBox::RejectRole));
    return box;
}

bool QtSeam::askQuestion(QWidget* owner, const std::string& title, const std::string& text, const std::string& first,
                         const std::string& second) {
    const std::unique_ptr<QMessageBox> box = question_box(owner, title, text, first, second);
    box->exec();
    return box->buttonRole(box->clickedButton()) == QMessageBox::AcceptRole;
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

bool ConsoleSeam::openFile(const std::string&) { return false; }

bool ConsoleSeam::openUrl(const std::string&) { return false; }

}  // namespace kalvorin::config
