// Text files through the C runtime, the same on every system.
#include "platform/textfile.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include "platform/errors.h"
#include "platform/files_os.h"

namespace kalvorin::platform {

void detail::FileCloser::operator()(std::FILE* f) const noexcept {
    if (f) std::fclose(f);
}

namespace {

[[noreturn]] void raise_io(int err, const std::string& path) {
    throw EInOutError(io_message(err, path), path);
}

// The file opened, and what it is put in *looked when asked for. The open
// file is looked at, not the name beforehand: one call either way, and no
// other file can take the name in between.
FileHandle open_file(const std::string& path, const char* mode, os::Opened* looked = nullptr) {
    FileHandle f(std::fopen(path.c_str(), mode));
    if (!f) raise_io(errno, path);
    // A directory where a file is expected opens for reading on some
    // systems, but cannot be read as a file.
    const os::Opened opened = os::what_is(f.get());
    if (opened.kind == os::Kind::Folder) raise_io(EISDIR, path);
    if (looked) *looked = opened;
    return f;
}

FileHandle open_base_file(const std::string& path, os::Access access) {
    FileHandle f(os::open_in_base(path, access));
    if (!f) raise_io(errno, path);
    return f;
}

FileHandle open_for_reading(const std::string& path, Place place) {
    return place == Place::BaseFolder ? open_base_file(path, os::Access::Read) : open_file(path, "rb");
}

}  // namespace

std::string io_message(int err, const std::string& path) {
    switch (err) {
        case ENOENT:
            // The runtime tells a missing folder from a missing file.
            return os::is_dir(os::parent_of(path)) ? "File not found" : "Path not found";
        case ENOTDIR:
            return "Path not found";
        case EACCES:
        case EPERM:
        case EISDIR:
        case EROFS:
            return "Access denied";
        case ENOSPC:
            return "Disk full";
        case EPIPE:
            return "Broken pipe";
        case EMFILE:
        case ENFILE:
            return "Too many open files";
        case ENAMETOOLONG:
            return "Invalid filename";
        case EEXIST:
            return "File exists";
        case os::kSymbolicLink:
            return "Is a symbolic link, not followed";
        case os::kNotRegular:
            return "Not a regular file";
        case os::kOthersFile:
            return "Owned by another account";
        case os::kOtherNames:
            return "Has other names (hard links), not written";
        default:
            return "I/O error " + std::to_string(err);
    }
}

namespace {
constexpr std::size_t kBlock = 64 * 1024;
}  // namespace

TextReader::TextReader(const std::string& path, Place place)
    : path_(path), block_(std::make_unique_for_overwrite<char[]>(kBlock)) {
    if (place == Place::BaseFolder) {
        base_ = std::make_unique<os::BaseReader>();
        if (const int err = base_->open(path)) raise_io(err, path);
    } else {
        file_ = open_file(path, "rb");
        std::setvbuf(file_.get(), nullptr, _IONBF, 0);
    }
}

TextReader::~TextReader() { close(); }

bool TextReader::fill() {
    pos_ = end_ = 0;
    if (at_end_) return false;
    long got = 0;
    if (base_) {
        got = base_->read(block_.get(), kBlock);
    } else {
        // The runtime reads to the count, the end or an error.
        got = static_cast<long>(std::fread(block_.get(), 1, kBlock, file_.get()));
        if (got == 0 && std::ferror(file_.get())) {
            got = -1;
            errno = EIO;
        }
    }
    // The lines read before an error are handed out first; the error comes
    // when a read gives nothing.
    if (got < 0) raise_io(errno, path_);
    end_ = static_cast<std::size_t>(got);
    // A short block that came with an error is not the end: the next read
    // raises it.
    at_end_ = base_ ? base_->ended() : end_ < kBlock && std::feof(file_.get());
    return end_ > 0;
}

bool TextReader::next_line(std::string& line) {
    line.clear();
    if (!file_ && !base_) return false;
    for (bool begun = false;; begun = true) {
        if (pos_ == end_ && !fill()) return begun;
        const char* from = block_.get() + pos_;
        const std::size_t left = end_ - pos_;
        if (const auto* nl = static_cast<const char*>(std::memchr(from, '\n', left))) {
            line.append(from, static_cast<std::size_t>(nl - from));
            pos_ += static_cast<std::size_t>(nl - from) + 1;
            if (!line.empty() && line.back() == '\r') line.pop_back();
            return true;
        }
        line.append(from, left);
        pos_ = end_;
    }
}

void TextReader::close() noexcept {
    file_.reset();
    base_.reset();
}

namespace {

FileHandle open_for_writing(const std::string& path, TextWriter::Mode mode, Place place) {
    const bool truncate = mode == TextWriter::Mode::Truncate;
    if (mode != TextWriter::Mode::New) {
        if (place == Place::BaseFolder) return open_base_file(path, truncate ? os::Access::Truncate : os::Access::Append);
        return open_file(path, truncate ? "wb" : "ab");
    }
    FileHandle f(os::open_new(path));
    if (!f) raise_io(errno, path);
    return f;
}

}  // namespace

TextWriter::TextWriter(const std::string& path, Mode mode, Place place)
    : path_(path),
      buffer_(std::make_unique_for_overwrite<char[]>(kBlock)),
      file_(open_for_writing(path, mode, place)),
      kept_(mode == Mode::Append ? os::length_of(file_.get()) : 0) {
    std::setvbuf(file_.get(), buffer_.get(), _IOFBF, kBlock);
}

void TextWriter::set_mode(std::filesystem::perms mode) {
    if (!file_) raise_io(EIO, path_);  // after a failure
    if (const int err = os::set_mode(file_.get(), mode)) fail(err);
}

void TextWriter::fail(int err) {
    os::close_cutting(file_.release(), kept_, true);
    raise_io(err ? err : EIO, path_);
}

void TextWriter::write(std::string_view text) {
    if (text.empty()) return;
    if (!file_) raise_io(EIO, path_);  // written to after a failure
    errno = 0;
    if (std::fwrite(text.data(), 1, text.size(), file_.get()) != text.size()) fail(errno);
}

void TextWriter::write_line(std::string_view text) {
    write(text);
    write("\r\n");
}

void TextWriter::close() {
    if (!file_) return;
    if (const int err = os::close_cutting(file_.release(), kept_, false)) raise_io(err, path_);
}

namespace {

// A reader's stream is read on one thread only: its lock need not be taken
// for each byte.
int read_byte(std::FILE* file) {
#if defined(_WIN32)
    return _getc_nolock(file);
#else
    return getc_unlocked(file);
#endif
}

}  // namespace

LineReader::LineReader() : LineReader(stdin, "standard input") {}
LineReader::LineReader(const std::string& path) : path_(path) {
    os::Opened opened;
    owned_ = open_file(path, "rb", &opened);
    file_ = owned_.get();
    if (opened.kind == os::Kind::Regular) length_ = opened.length;
    constexpr std::uint64_t kLeast = 4096;
    const auto size = static_cast<std::size_t>(length_ ? std::clamp<std::uint64_t>(*length_ + 1, kLeast, kBlock) : kBlock);
    buffer_ = std::make_unique_for_overwrite<char[]>(size);
    std::setvbuf(file_, buffer_.get(), _IOFBF, size);
}

int LineReader::get() {
    const int c = read_byte(file_);
    if (c == EOF) {
        if (std::ferror(file_)) raise_io(EIO, path_);
    } else {
        ++consumed_;
    }
    return c;
}

LineReader::Read LineReader::next(std::string& out, std::size_t room) {
    int c = get();
    if (c == EOF) return Read::End;
    for (std::size_t n = 0;; ++n) {
        if (n == room) {
            std::ungetc(c, file_);
            --consumed_;
            return Read::Cut;
        }
        out.push_back(static_cast<char>(c));
        if (c == '\n') return Read::Whole;
        c = get();
        if (c == EOF) return Read::Whole;
    }
}

void LineReader::skip_line() {
    int c;
    do c = get();
    while (c != EOF && c != '\n');
}

bool LineReader::rest(std::string& out, std::size_t room) {
    char buf[65536];
    for (;;) {
        std::size_t want = room < sizeof buf ? room + 1 : sizeof buf;
        // What is left of a regular file, and a byte more to meet its end
        // (or its growth), is all the room a block needs.
        if (length_ && *length_ >= consumed_) want = static_cast<std::size_t>(std::min<std::uint64_t>(want, *length_ - consumed_ + 1));
        // Room for a block is made before it is read: running out of memory
        // then leaves it unread, never read and dropped.
        out.reserve(out.size() + want);
        const std::size_t n = std::fread(buf, 1, want, file_);
        if (std::ferror(file_)) raise_io(EIO, path_);
        consumed_ += n;
        out.append(buf, n);
        if (n > room) return false;
        // Without an error, fread gives less than asked only at the end.
        if (n < want) return true;
        room -= n;
    }
}

void LineReader::copy_rest(std::FILE* to) {
    char buf[65536];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, file_)) > 0)
        if (std::fwrite(buf, 1, n, to) != n) raise_io(errno ? errno : EIO, "standard output");
    if (std::ferror(file_)) raise_io(EIO, path_);
}

std::vector<std::string> read_lines(const std::string& path, Place place) {
    TextReader r(path, place);
    std::vector<std::string> lines;
    std::string line;
    while (r.next_line(line)) lines.push_back(line);
    return lines;
}

std::string read_file(const std::string& path, Place place) {
    FileHandle f = open_for_reading(path, place);
    std::string out;
    char buf[65536];
    std::size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f.get())) > 0) out.append(buf, n);
    if (std::ferror(f.get())) raise_io(EIO, path);
    return out;
}

PieceReader::PieceReader(const std::string& path, Place place)
    : path_(path), file_(open_for_reading(path, place)) {}

std::size_t PieceReader::append(std::string& out, std::size_t n) {
    const std::size_t had = out.size();
    out.resize(had + n);
    const std::size_t got = std::fread(out.data() + had, 1, n, file_.get());
    out.resize(had + got);
    if (got < n && std::ferror(file_.get())) raise_io(EIO, path_);
    return got;
}

namespace {

// Written piece by piece: a message part in the log is not copied to have
// its line end put after it.
void append_pieces(const std::string& path, std::initializer_list<std::string_view> pieces, Place place) {
    if (place == Place::BaseFolder) {
        if (const int err = os::append_in_base(path, pieces)) raise_io(err, path);
        return;
    }
    TextWriter w(path, TextWriter::Mode::Append, place);
    for (const std::string_view text : pieces) w.write(text);
    w.close();
}

}  // namespace

void append_text(const std::string& path, std::string_view text, Place place) {
    append_pieces(path, {text}, place);
}

void append_line(const std::string& path, std::string_view text, Place place) {
    append_pieces(path, {text, "\r\n"}, place);
}

AppendRow::AppendRow() : row_(std::make_unique<os::AppendRow>()) {}
AppendRow::~AppendRow() = default;

void AppendRow::append_text(const std::string& path, std::string_view text) {
    if (const int err = row_->append(path, {text})) raise_io(err, path);
}

void AppendRow::append_line(const std::string& path, std::string_view text) {
    if (const int err = row_->append(path, {text, "\r\n"})) raise_io(err, path);
}

void AppendRow::close() noexcept { row_->close(); }

void reset_file(const std::string& path, Place place) {
    TextWriter w(path, TextWriter::Mode::Truncate, place);
    w.close();
}

void write_file(const std::string& path, std::string_view content, Place place) {
    TextWriter w(path, TextWriter::Mode::Truncate, place);
    w.write(content);
    w.close();
}

void replace_file(const std::string& source, const std::string& target) {
    if (os::is_dir(target)) raise_io(EISDIR, target);
    if (const int err = os::rename_over(source, target)) raise_io(err, target);
}

bool file_exists(const std::string& path, Place place) {
    if (place == Place::Anywhere) return os::is_regular_file(path);
    switch (os::kind_of(path)) {
        case os::Kind::Regular:
            return true;
        case os::Kind::Link:
            raise_io(os::kSymbolicLink, path);
        case os::Kind::Other:
            raise_io(os::kNotRegular, path);
        case os::Kind::Missing:
        case os::Kind::Folder:
            break;
    }
    return false;
}

}  // namespace kalvorin::platform
