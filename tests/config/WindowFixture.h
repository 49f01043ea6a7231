#pragma once
// Shared by the configuration window's tests: a seam that records instead of
// showing, and a fixture that opens TForm1 on a private hive and base folder.
#include <csignal>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#ifndef _WIN32
#include <sys/resource.h>
#endif

#include "config/Seam.h"
#include "config/interfaz.h"
#include "support/TestSupport.h"

namespace kalvorin::test {

class RecordingSeam final : public config::Seam {
public:
    void showError(QWidget*, const std::string& text) override { errors.push_back(text); }
    void showWarning(QWidget*, const std::string& title, const std::string& text) override {
        warnings.push_back({title, text});
    }
    bool askQuestion(QWidget*, const std::string& title, const std::string& text, const std::string& first,
                     const std::string& second) override {
        questions.push_back({title, text, first, second});
        return question_answer;
    }
    std::optional<std::string> openFileDialog(QWidget*, const std::string& default_ext) override {
        dialog_extensions.push_back(default_ext);
        return dialog_answer;
    }
    std::optional<std::string> saveFileDialog(QWidget*, const std::string& default_ext) override {
        dialog_extensions.push_back(default_ext);
        return save_answer;
    }
    bool openFile(const std::string& path) override {
        opened_files.push_back(path);
        return desktop_opens;
    }
    bool openUrl(const std::string& url) override {
        opened_urls.push_back(url);
        return desktop_opens;
    }

    struct Box {
        std::string title;
        std::string text;
    };
    std::vector<std::string> errors;
    std::vector<Box> warnings;
    struct Question {
        std::string title, text, first, second;
    };
    std::vector<Question> questions;
    bool question_answer = false;  // whether the next questions take their first answer
    std::vector<std::string> dialog_extensions;
    std::optional<std::string> dialog_answer;  // what the next file dialog returns
    std::optional<std::string> save_answer;    // what the next file-save dialog returns
    std::vector<std::string> opened_files;
    std::vector<std::string> opened_urls;
    bool desktop_opens = true;  // whether a program is there to open files and addresses
};

#ifndef _WIN32
// POSIX by nature: capabilities and resource limits.

// Makes a file readable but not writable while the object lives; a folder
// then lists and opens its files but takes no new one. Root writes any file
// whatever its mode, so the calling thread also gives up that power
// meanwhile; the window does its file work on the thread that drives it.
class ReadOnlyFile {
public:
    explicit ReadOnlyFile(std::string path);
    ~ReadOnlyFile();
    ReadOnlyFile(const ReadOnlyFile&) = delete;
    ReadOnlyFile& operator=(const ReadOnlyFile&) = delete;

private:
    std::string path_;
    std::filesystem::perms mode_;
    std::uint32_t effective_ = 0;  // the thread's first word of effective capabilities
};

// Limits the size of every file that the process writes while the object
// lives: a write beyond it fails ("I/O error 27") instead of ending the
// process. A test of code that might grow a file without end cannot fill the
// disk.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes);
    ~FileSizeLimit();
    FileSizeLimit(const FileSizeLimit&) = delete;
    FileSizeLimit& operator=(const FileSizeLimit&) = delete;

private:
    rlimit saved_{};
    void (*saved_handler_)(int) = nullptr;
};

// Lets the process take at most `bytes` more address space while the object
// lives, so that an allocation beyond it raises std::bad_alloc.
class AddressSpaceLimit {
public:
    explicit AddressSpaceLimit(std::size_t bytes);
    ~AddressSpaceLimit();
    AddressSpaceLimit(const AddressSpaceLimit&) = delete;
    AddressSpaceLimit& operator=(const AddressSpaceLimit&) = delete;

private:
    rlimit saved_{};
};

#endif  // _WIN32

// "<prefix>1" to "<prefix><count>", each line ended by CR LF.
std::string language_lines(const std::string& prefix, int count);

// The base folder holds "version.ini" (1.0), a "lang.eng.txt" whose line n is
// "E<n>" (100 lines) and a "lang.txt" whose line n is "S<n>" (66 lines). The
// window runs as if its program file lay in the base folder.
class WindowTest : public HiveTest {
protected:
    void SetUp() override;
    void TearDown() override;
    // Creates the window, which runs FormCreate.
    config::TForm1& open_window();
    // The base folder without its final separator: the program folder.
    std::string folder() const;

    RecordingSeam seam;
    std::unique_ptr<config::TForm1> form;
};

}  // namespace kalvorin::test
