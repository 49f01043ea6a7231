#include "config/WindowFolder.h"

#include <cstdlib>
#include <filesystem>

#include "CodigoComun/FileNames.h"
#include "platform/errors.h"
#include "platform/paths.h"
#include "platform/textfile.h"

namespace kalvorin::config {
namespace {

namespace fs = std::filesystem;
constexpr auto kBase = platform::Place::BaseFolder;

// The language files are the account's to edit or translate, so a copy
// already there is kept; the other texts (version.ini, the help texts) are
// the program's and are copied afresh, so that an upgrade shows.
bool kept_when_there(const std::string& name) {
    for (const char* language : kLanguageFiles)
        if (name == language) return true;
    return false;
}

void make_own_folder(const std::string& folder) {
    std::error_code error;
    const bool made = fs::create_directories(folder, error);
    if (error) throw EInOutError(platform::io_message(error.value(), folder), folder);
    // Only a folder made here is given its bits; one that was there keeps
    // them, and the start-up's check of the base folder judges them.
    if (made) fs::permissions(folder, fs::perms::owner_all, error);
    if (error) throw EInOutError(platform::io_message(error.value(), folder), folder);
}

void fill_from_installed(const std::string& installed_texts, const std::string& folder) {
    const std::string& sep = platform::path_separator();
    std::error_code error;
    fs::directory_iterator entries(installed_texts, error);
    if (error) throw EInOutError(platform::io_message(error.value(), installed_texts), installed_texts);
    for (const fs::directory_entry& entry : entries) {
        if (!entry.is_regular_file()) continue;
        const std::string name = entry.path().filename().string();
        const std::string target = folder + sep + name;
        if (kept_when_there(name) && platform::file_exists(target, kBase)) continue;
        const std::string text = platform::read_file(entry.path().string());
        if (platform::file_exists(target, kBase) && platform::read_file(target, kBase) == text) continue;
        platform::write_file(target, text, kBase);
    }
}

}  // namespace

std::string window_folder(const std::string& program_folder, const std::string& installed_texts,
                          const std::string& own_folder) {
    const std::string& sep = platform::path_separator();
    if (platform::file_exists(program_folder + sep + kVersionFile)) return program_folder;
    if (own_folder.empty() || !platform::file_exists(installed_texts + sep + kVersionFile)) return program_folder;
    make_own_folder(own_folder);
    fill_from_installed(installed_texts, own_folder);
    return own_folder;
}

std::string own_data_folder() {
    const char* data = std::getenv("XDG_DATA_HOME");
    if (data && *data) return std::string(data) + "/kalvorin";
    const char* home = std::getenv("HOME");
    if (home && *home) return std::string(home) + "/.local/share/kalvorin";
    return "";
}

}  // namespace kalvorin::config
