#include "host/Sources.h"

#include <algorithm>
#include <filesystem>
#include <stdexcept>

namespace kalvorin::host {

namespace fs = std::filesystem;

namespace {

using Read = platform::LineReader::Read;

// Enough of a line to tell a separator and an empty line.
constexpr std::size_t kLineHead = 5;

bool is_from_line(const std::string& s, std::size_t pos) { return s.compare(pos, 5, "From ") == 0; }
bool is_empty_line(const std::string& s, std::size_t pos) {
    return s.compare(pos, std::string::npos, "\n") == 0 || s.compare(pos, std::string::npos, "\r\n") == 0;
}

// Drops the one empty line that separates a message from the next "From ".
void drop_separator(std::string& msg) {
    if (msg.size() >= 2 && msg.compare(msg.size() - 2, 2, "\n\n") == 0) {
        msg.pop_back();
    } else if (msg.size() >= 4 && msg.compare(msg.size() - 4, 4, "\r\n\r\n") == 0) {
        msg.resize(msg.size() - 2);
    }
}

template <typename F>
auto labelled(const std::string& path, F&& body) {
    try {
        return body();
    } catch (const std::exception& e) {
        throw std::runtime_error(path + ": " + e.what());
    }
}

// One message file: read up to one byte past the cap, no further.
void read_message_file(const std::string& path, std::size_t max_size, SourceMessage& m) {
    try {
        platform::LineReader in(path);
        if (!in.rest(m.raw, max_size)) {
            m.raw.clear();
            m.raw.shrink_to_fit();
            m.error = path + ": " + too_big_text(max_size);
        }
    } catch (const std::exception& e) {
        m.error = path + ": " + e.what();
    }
}

void read_mbox(const std::string& source, platform::LineReader& in, std::size_t max_size,
               const std::function<void(SourceMessage&)>& fn) {
    MboxReader mbox(in, max_size);
    std::size_t n = 0;
    for (;;) {
        SourceMessage m{source + "#" + std::to_string(n + 1), {}, {}};
        bool too_big = false;
        if (!labelled(source, [&] { return mbox.next(m.raw, too_big); })) return;
        ++n;
        if (too_big) m.error = m.label + ": " + too_big_text(max_size);
        fn(m);
    }
}

}  // namespace

std::string too_big_text(std::size_t max_size) {
    return "larger than " + std::to_string(max_size) + " bytes (--max-size), not scored";
}

bool MboxReader::next(std::string& raw, bool& too_big) {
    raw.clear();
    too_big = false;
    if (at_end_) return false;
    // The message may hold its closing empty line beyond the cap.
    const std::size_t limit = max_size_ + 2;
    bool after_empty = false;
    for (;;) {
        const std::size_t start = raw.size();
        const std::size_t room = too_big ? kLineHead : std::max(kLineHead, limit - std::min(limit, start));
        const Read r = in_.next(raw, room);
        if (r == Read::End) {
            at_end_ = true;
            break;
        }
        if (after_empty && is_from_line(raw, start)) {
            if (r == Read::Cut) in_.skip_line();
            raw.resize(start);
            drop_separator(raw);
            break;
        }
        after_empty = r == Read::Whole && is_empty_line(raw, start);
        if (r == Read::Cut) in_.skip_line();
        if (r == Read::Cut || raw.size() > limit) too_big = true;
        // Past the cap only the head of each line is read, to find the next
        // separator, and goes once it has been looked at.
        if (too_big) raw.clear();
    }
    if (!too_big && raw.size() > max_size_) too_big = true;
    if (too_big) {
        raw.clear();
        raw.shrink_to_fit();
    }
    return true;
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

void for_each_message(const std::string& source, std::size_t max_size,
                      const std::function<void(SourceMessage&)>& fn) {
    std::error_code ec;
    if (fs::is_directory(source, ec)) {
        if (!fs::is_directory(fs::path(source) / "cur", ec) && !fs::is_directory(fs::path(source) / "new", ec))
            throw std::runtime_error(source + ": a folder without cur/ or new/ is no Maildir");
        for (const auto& file : maildir_files(source)) {
            SourceMessage m{file, {}, {}};
            read_message_file(file, max_size, m);
            fn(m);
        }
        return;
    }
    platform::LineReader in = labelled(source, [&] { return platform::LineReader(source); });
    SourceMessage m{source, {}, {}};
    // The first line tells an mbox from a single message.
    const Read first = labelled(source, [&] { return in.next(m.raw, max_size + 1); });
    if (first != Read::End && is_from_line(m.raw, 0)) {
        if (first == Read::Cut) labelled(source, [&] { in.skip_line(); });
        return read_mbox(source, in, max_size, fn);
    }
    const bool fits = first != Read::Cut && m.raw.size() <= max_size &&
                      labelled(source, [&] { return in.rest(m.raw, max_size - m.raw.size()); });
    if (!fits) {
        m.raw.clear();
        m.raw.shrink_to_fit();
        m.error = source + ": " + too_big_text(max_size);
    }
    fn(m);
}

}  // namespace kalvorin::host
