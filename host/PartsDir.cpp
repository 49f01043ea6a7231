#include "host/PartsDir.h"

#include <filesystem>
#include <stdexcept>

#include "host/Sources.h"
#include "platform/textfile.h"

namespace kalvorin::host {

namespace {

std::size_t room_used(const MessageParts& parts) {
    std::size_t n = 0;
    for (const auto& t : parts.text) n += t.size();
    return n;
}

}  // namespace

MessageParts read_parts_dir(const std::string& dir, std::size_t max_size) {
    std::error_code ec;
    if (!std::filesystem::is_directory(dir, ec)) throw std::runtime_error(dir + ": not a folder");
    MessageParts parts;
    for (std::size_t i = 0; i < kPartCount; ++i) {
        const std::string path = dir + "/" + std::string(kParts[kFieldAtHost[i]].file_name);
        if (!std::filesystem::exists(std::filesystem::symlink_status(path, ec))) continue;
        // Anything but a file would be read as nothing, or never read to its end.
        const auto target = std::filesystem::status(path, ec);
        if (std::filesystem::is_directory(target)) throw std::runtime_error(path + ": a folder, not a part file");
        if (std::filesystem::exists(target) && !std::filesystem::is_regular_file(target))
            throw std::runtime_error(path + ": not a file");
        bool fits = true;
        try {
            platform::LineReader in(path);
            fits = in.rest(parts.text[i], max_size - room_used(parts));
        } catch (const std::exception& e) {
            throw std::runtime_error(path + ": " + e.what());
        }
        if (!fits || room_used(parts) > max_size) throw std::runtime_error(dir + ": " + too_big_text(max_size));
    }
    return parts;
}

}  // namespace kalvorin::host
