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

}  // namespace

void QtSeam::showError(QWidget* owner, const std::string& text) {
    QMessageBox::critical(owner, "Error", from_ansi(text));
}

void QtSeam::showWarning(QWidget* owner, const std::string& title, const std::string& text) {
    QMessageBox::warning(owner, from_ansi(title), from_ansi(text));
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

void QtSeam::openFile(const std::string& path) { QDesktopServices::openUrl(QUrl::fromLocalFile(file_system_name(path))); }

void QtSeam::openUrl(const std::string& url) { QDesktopServices::openUrl(QUrl(from_ansi(url))); }

}  // namespace kalvorin::config
