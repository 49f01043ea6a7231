#pragma once
// The paths of the base folder's files, worked out in one place from the
// folder: a program gets one (stored_base_files in ConfigSys.h reads the
// setting) and asks it for every path it uses.
#include <cstddef>
#include <string>
#include <utility>

#include "CodigoComun/FileNames.h"

namespace kalvorin {

class BaseFiles {
public:
    BaseFiles() = default;
    // A folder that ends in the separator, as the setting is read back.
    explicit BaseFiles(std::string folder) : folder_(std::move(folder)), log_(folder_ + kLogName) {}

    const std::string& folder() const { return folder_; }
    // Lists by index in list order: 0 secure, 1 trash, 2 suspect.
    std::string text_list(std::size_t list) const { return folder_ + text_list_name(list); }
    std::string compiled_list(std::size_t list) const { return folder_ + compiled_list_name(list); }
    std::string pending_list(std::size_t list) const { return folder_ + pending_list_name(list); }
    const std::string& log() const { return log_; }
    std::string lock() const { return folder_ + kLockName; }
    std::string version() const { return folder_ + kVersionFile; }
    std::string staging() const { return folder_ + kStagingFile; }
    // Any other file of the folder by its name (the language and help texts).
    std::string file(const std::string& name) const { return folder_ + name; }

    // The names alone, as the log and the messages show them.
    static std::string text_list_name(std::size_t list) { return std::string(kListNames[list]) + kTextSuffix; }
    static std::string compiled_list_name(std::size_t list) { return std::string(kListNames[list]) + kCompiledSuffix; }
    static std::string pending_list_name(std::size_t list) { return std::string(kListNames[list]) + kPendingSuffix; }

private:
    std::string folder_;
    std::string log_;  // asked for at every log line: made once
};

}  // namespace kalvorin
