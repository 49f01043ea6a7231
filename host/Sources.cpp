#include "host/Sources.h"

#include <algorithm>
#include <filesystem>
#include <stdexcept>

#include "platform/textfile.h"

namespace kalvorin::host {

namespace fs = std::filesystem;

namespace {

bool is_from_line(const std::string& s, std::size_t pos) { return s.compare(pos, 5, "From ") == 0; }

// Drops the one empty line that separates a message from the next "From ".
std::string without_separator(std::string msg) {
    if (msg.size() >= 2 && msg.compare(msg.size() - 2, 2, "\n\n") == 0) {
        msg.pop_back();
    } else if (msg.size() >= 4 && msg.compare(msg.size() - 4, 4, "\r\n\r\n") == 0) {
        msg.resize(msg.size() - 2);
    }
    return msg;
}

std::string read_source(const std::string& path) {
    try {
        return platform::read_file(path);
    } catch (const std::exception& e) {
        throw std::runtime_error(path + ": " + e.what());
    }
}

}  // namespace

std::vector<std::string> split_mbox(const std::string& content) {
    // Message starts: the line after each "From " line that opens the file or
    // follows an empty line.
    std::vector<std::size_t> froms;
    for (std::size_t pos = 0; pos < content.size();) {
        const bool after_blank = pos == 0 || (pos >= 2 && content[pos - 1] == '\n' &&
                                              (content[pos - 2] == '\n' ||
                                               (pos >= 3 && content[pos - 2] == '\r' && content[pos - 3] == '\n')));
        if (after_blank && is_from_line(content, pos)) froms.push_back(pos);
        std::size_t nl = content.find('\n', pos);
        if (nl == std::string::npos) break;
        pos = nl + 1;
    }
    std::vector<std::string> messages;
    for (std::size_t i = 0; i < froms.size(); ++i) {
        std::size_t body = content.find('\n', froms[i]);
        body = body == std::string::npos ? content.size() : body + 1;
        const std::size_t end = i + 1 < froms.size() ? froms[i + 1] : content.size();
        std::string msg = content.substr(body, end - body);
        messages.push_back(i + 1 < froms.size() ? without_separator(std::move(msg)) : msg);
    }
    return messages;
}

std::vector<std::string> maildir_files(const std::string& dir) {
    std::vector<std::string> out;
    for (const char* sub : {"cur", "new"}) {
        const fs::path d = fs::path(dir) / sub;
        std::error_code ec;
        if (!fs::is_directory(d, ec)) continue;
        std::vector<std::string> names;
        // Files, and links that lead nowhere; not folders, and not pipes or
        // devices, which would never be read to their end.
        for (const auto& e : fs::directory_iterator(d, ec))
            if (e.is_regular_file(ec) || (e.is_symlink(ec) && !e.exists(ec))) names.push_back(e.path().string());
        std::sort(names.begin(), names.end());
        out.insert(out.end(), names.begin(), names.end());
    }
    return out;
}

void for_each_message(const std::string& source, const std::function<void(const SourceMessage&)>& fn) {
    std::error_code ec;
    if (fs::is_directory(source, ec)) {
        if (!fs::is_directory(fs::path(source) / "cur", ec) && !fs::is_directory(fs::path(source) / "new", ec))
            throw std::runtime_error(source + ": a folder without cur/ or new/ is no Maildir");
        for (const auto& file : maildir_files(source)) {
            SourceMessage m{file, {}, {}};
            try {
                m.raw = read_source(file);
            } catch (const std::exception& e) {
                m.error = e.what();
            }
            fn(m);
        }
        return;
    }
    std::string content = read_source(source);
    if (is_from_line(content, 0)) {
        std::size_t n = 0;
        for (auto& msg : split_mbox(content)) fn(SourceMessage{source + "#" + std::to_string(++n), std::move(msg), {}});
        return;
    }
    fn(SourceMessage{source, std::move(content), {}});
}

}  // namespace kalvorin::host
