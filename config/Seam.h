#pragma once
// The window's one way out to the desktop: message boxes, the file-open
// dialog and the opening of files and addresses in other programs. Tests
// install a recording implementation, so nothing blocks and nothing starts.
#include <memory>
#include <optional>
#include <string>

class QDialog;
class QWidget;

namespace kalvorin::config {

class Seam {
public:
    virtual ~Seam() = default;
    // Error box (error icon, one OK button) with the error's own text.
    virtual void showError(QWidget* owner, const std::string& text) = 0;
    // Warning box (warning icon, one OK button).
    virtual void showWarning(QWidget* owner, const std::string& title, const std::string& text) = 0;
    // Question box (warning icon) with two buttons; true when the user chose
    // the first.
    virtual bool askQuestion(QWidget* owner, const std::string& title, const std::string& text,
                             const std::string& first, const std::string& second) = 0;
    // File-open dialog: the chosen file must exist; the file's full path as
    // file-system bytes, nothing when the user cancels.
    virtual std::optional<std::string> openFileDialog(QWidget* owner, const std::string& default_ext) = 0;
    // File-save dialog: asks before replacing a file; the path as file-system
    // bytes, nothing when the user cancels.
    virtual std::optional<std::string> saveFileDialog(QWidget* owner, const std::string& default_ext) = 0;
    // Opens a file in the program associated with it; never waits. False when
    // no program could be started for it.
    virtual bool openFile(const std::string& path) = 0;
    // Opens an address in the default browser; never waits. False when no
    // browser could be started.
    virtual bool openUrl(const std::string& url) = 0;
};

// The box that askQuestion shows, not yet shown.
std::unique_ptr<QDialog> question_box(QWidget* owner, const std::string& title, const std::string& text,
                                      const std::string& first, const std::string& second);

// The desktop implementation: QMessageBox, QFileDialog and the system's opener.
class QtSeam final : public Seam {
public:
    void showError(QWidget* owner, const std::string& text) override;
    void showWarning(QWidget* owner, const std::string& title, const std::string& text) override;
    bool askQuestion(QWidget* owner, const std::string& title, const std::string& text, const std::string& first,
                     const std::string& second) override;
    std::optional<std::string> openFileDialog(QWidget* owner, const std::string& default_ext) override;
    std::optional<std::string> saveFileDialog(QWidget* owner, const std::string& default_ext) override;
    bool openFile(const std::string& path) override;
    bool openUrl(const std::string& url) override;
};

// For a run with no one at the window: each box is a line on standard error,
// a question takes its first answer, no dialog is shown (as if cancelled) and
// nothing is opened.
class ConsoleSeam final : public Seam {
public:
    void showError(QWidget* owner, const std::string& text) override;
    void showWarning(QWidget* owner, const std::string& title, const std::string& text) override;
    bool askQuestion(QWidget* owner, const std::string& title, const std::string& text, const std::string& first,
                     const std::string& second) override;
    std::optional<std::string> openFileDialog(QWidget* owner, const std::string& default_ext) override;
    std::optional<std::string> saveFileDialog(QWidget* owner, const std::string& default_ext) override;
    bool openFile(const std::string& path) override;
    bool openUrl(const std::string& url) override;
    // Whether an error box has been shown.
    bool failed() const { return failed_; }

private:
    bool failed_ = false;
};

}  // namespace kalvorin::config
