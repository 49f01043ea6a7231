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
        // Anything but a file would be read as nothing, or never read to its end.
        const auto target = std::filesystem::status(path, ec);
        if (std::filesystem::is_directory(target)) throw std::runtime_error(path + ": a folder, not a part file");
        if (std::filesystem::exists(target) && !std::filesystem::is_regular_file(target))
            throw std::runtime_error(path + ": not a file");
        try {
            parts.text[i] = platform::read_file(path);
        } catch (const std::exception& e) {
            throw std::runtime_error(path + ": " + e.what());
        }
    }
    return parts;
}

}  // namespace kalvorin::host
