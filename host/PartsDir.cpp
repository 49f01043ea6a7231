#include "host/PartsDir.h"

#include <filesystem>
#include <stdexcept>

#include "platform/textfile.h"

namespace kalvorin::host {

MessageParts read_parts_dir(const std::string& dir) {
    std::error_code ec;
    if (!std::filesystem::is_directory(dir, ec)) throw std::runtime_error(dir + ": not a folder");
    MessageParts parts;
    for (std::size_t i = 0; i < kPartFileNames.size(); ++i) {
        const std::string path = dir + "/" + kPartFileNames[i];
        if (!std::filesystem::exists(std::filesystem::symlink_status(path, ec))) continue;
        if (std::filesystem::is_directory(path, ec)) throw std::runtime_error(path + ": a folder, not a part file");
        try {
            parts.text[i] = platform::read_file(path);
        } catch (const std::exception& e) {
            throw std::runtime_error(path + ": " + e.what());
        }
    }
    return parts;
}

}  // namespace kalvorin::host
