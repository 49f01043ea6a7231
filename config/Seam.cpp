#include "config/Seam.h"

#include <QDesktopServices>
#include <QFile>
#include <QFileDialog>
#include <QMessageBox>
#include <QUrl>

#include "config/cp1252.h"

namespace kalvorin::config {

namespace {

// File names are handed to the C runtime as they are, so the desktop must
// read them the way the file system does.
QString file_system_name(const std::string& path) { return QFile::decodeName(QByteArray::fromStdString(path)); }

// A message box with one OK button that shows its text exactly as given,
// never as markup.
void show_box(QWidget* owner, QMessageBox::Icon icon, const QString& title, const std::string& text) {
    QMessageBox box(icon, title, from_ansi(text), QMessageBox::Ok, owner);
    box.setTextFormat(Qt::PlainText);
    box.exec();
}

}  // namespace

void QtSeam::showError(QWidget* owner, const std::string& text) {
    show_box(owner, QMessageBox::Critical, "Error", text);
}

void QtSeam::showWarning(QWidget* owner, const std::string& title, const std::string& text) {
    show_box(owner, QMessageBox::Warning, from_ansi(title), text);
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

bool QtSeam::openFile(const std::string& path) {
    return QDesktopServices::openUrl(QUrl::fromLocalFile(file_system_name(path)));
}

bool QtSeam::openUrl(const std::string& url) { return QDesktopServices::openUrl(QUrl(from_ansi(url))); }

}  // namespace kalvorin::config
