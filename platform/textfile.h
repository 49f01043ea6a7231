#pragma once
// Sequential text files. Lines are written with CR LF; when reading, a line
// ends at CR LF or at a bare LF, and a last line without a line end still
// counts. Every failure raises EInOutError with the runtime's message
// ("File not found", "Path not found", "Access denied", ...).
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace kalvorin::platform {

namespace detail {
struct FileCloser {
    void operator()(std::FILE* f) const noexcept;
};
}  // namespace detail

using FileHandle = std::unique_ptr<std::FILE, detail::FileCloser>;

// Where a file's name comes from, and so what it may lead to.
// Anywhere: a path that a person gave, followed through links to whatever
// it names, a pipe or a device included.
// BaseFolder: a file that the programs keep in the base folder (the lists,
// their copies and pending files, the log, the texts beside them). A name
// there could be a link to another file that would be read or overwritten,
// or a pipe that would stall the program, so the name must itself be a
// regular file ("Is a symbolic link, not followed", "Not a regular file"),
// owned by this account or the administrator ("Owned by another account");
// one to be written must have no other name ("Has other names (hard links),
// not written"). A file created there is readable and writable by its owner
// only. While the folder is held (HeldFolder, held_folder.h), it is opened
// in the folder held, not by its path.
enum class Place { Anywhere, BaseFolder };

// The permission bits of the plug-in's own files: its log holds the mail.
inline constexpr std::filesystem::perms kOwnerOnly =
    std::filesystem::perms::owner_read | std::filesystem::perms::owner_write;

namespace os {
class AppendRow;
class BaseReader;
}  // namespace os

// Reads a text file line by line; the file is closed when the reader goes.
class TextReader {
public:
    explicit TextReader(const std::string& path, Place place = Place::Anywhere);
    TextReader(const TextReader&) = delete;
    TextReader& operator=(const TextReader&) = delete;
    ~TextReader();
    // Next line without its line end; false at the end of the file.
    bool next_line(std::string& line);
    void close() noexcept;

private:
    bool fill();

    std::string path_;
    // A file named from anywhere, read by the runtime.
    FileHandle file_;
    // A file of the base folder, known to be a regular file: read straight
    // from the system.
    std::unique_ptr<os::BaseReader> base_;
    // The reader's own block buffer, scanned a line at a time.
    std::unique_ptr<char[]> block_;
    std::size_t pos_ = 0, end_ = 0;
    bool at_end_ = false;
};

// Creates (or truncates) a text file and writes to it. A write or a close
// that fails cuts the file back to the length it had once opened (0 when
// truncated) before it raises, so that no part of what was being written is
// left in it (a full disk, say).
class TextWriter {
public:
    // New: a file that must not exist yet, not even as a link, made readable
    // and writable by its owner only, wherever it is.
    enum class Mode { Truncate, Append, New };
    TextWriter(const std::string& path, Mode mode, Place place = Place::Anywhere);
    TextWriter(TextWriter&&) = default;
    // An assignment would free the old stream's buffer before closing it.
    TextWriter& operator=(TextWriter&&) = delete;
    void write(std::string_view text);
    // Gives the open file these permission bits (see os::set_mode).
    void set_mode(std::filesystem::perms mode);
    void write_line(std::string_view text);  // text + CR LF
    // Flushes and closes; raises when the data could not be written.
    void close();

private:
    [[noreturn]] void fail(int err);

    std::string path_;
    // The stream's buffer, given to it so that the runtime need not ask the
    // system how large to make one; it outlives the stream.
    std::unique_ptr<char[]> buffer_;
    FileHandle file_;
    std::uint64_t kept_;  // the length that a failure cuts the file back to
};

// Reads a file, or standard input, line by line, storing no more of a line
// than asked: mail files may be larger than memory.
class LineReader {
public:
    // Standard input.
    LineReader();
    explicit LineReader(const std::string& path);
    // A stream the caller keeps open; name stands for it in errors.
    LineReader(std::FILE* borrowed, std::string name) : file_(borrowed), path_(std::move(name)) {}
    // Appends the next line, with its line end, to out, but at most room
    // bytes of it. Whole: the line ended; Cut: room ran out and the rest of
    // the line is still unread; End: nothing was left.
    enum class Read { Whole, Cut, End };
    Read next(std::string& out, std::size_t room);
    // Drops the rest of a line that next() cut.
    void skip_line();
    // Appends what is left, in pieces, until more than room bytes have been
    // appended; false when it stopped so, with the rest still unread. When
    // memory runs out (std::bad_alloc) out holds everything taken so far and
    // the rest is still unread.
    bool rest(std::string& out, std::size_t room);
    // Copies what is left to the stream.
    void copy_rest(std::FILE* to);

private:
    int get();

    FileHandle owned_;  // empty for standard input, which is only borrowed
    std::FILE* file_ = nullptr;
    std::string path_;
    // A regular file's length when it was opened, and the bytes read so far:
    // the room made for what is left need not be larger than that.
    std::optional<std::uint64_t> length_;
    std::uint64_t consumed_ = 0;
    // The stream's buffer for a file of its own: room for the whole of a
    // message file up to 64 KiB, so that one read takes it in.
    std::unique_ptr<char[]> buffer_;
};

// All lines of a text file.
std::vector<std::string> read_lines(const std::string& path, Place place = Place::Anywhere);

// The whole file as bytes.
std::string read_file(const std::string& path, Place place = Place::Anywhere);

// Reads a file a piece at a time, for files too large to hold whole.
class PieceReader {
public:
    explicit PieceReader(const std::string& path, Place place = Place::Anywhere);
    // Appends at most n bytes to out; how many, fewer only at the file's end.
    std::size_t append(std::string& out, std::size_t n);

private:
    std::string path_;
    FileHandle file_;
};

// Opens the file for appending (creating it when missing), writes text,
// closes it; a text that cannot be written whole is not left in part.
void append_text(const std::string& path, std::string_view text, Place place = Place::Anywhere);

// Opens the file for appending (creating it when missing), writes text and
// CR LF, closes it.
void append_line(const std::string& path, std::string_view text, Place place = Place::Anywhere);

// Several appends in a row to files of the base folder, each one as
// append_text with Place::BaseFolder gives it, raising as it does; between
// them the file may stay open, the name looked at again before each
// (os::AppendRow in files_os.h). close() ends the row.
class AppendRow {
public:
    AppendRow();
    AppendRow(const AppendRow&) = delete;
    AppendRow& operator=(const AppendRow&) = delete;
    ~AppendRow();
    void append_text(const std::string& path, std::string_view text);
    void append_line(const std::string& path, std::string_view text);
    void close() noexcept;

private:
    std::unique_ptr<os::AppendRow> row_;
};

// Creates the file, or truncates it to length 0, and closes it.
void reset_file(const std::string& path, Place place = Place::Anywhere);

// Writes the whole content to the file, replacing it (create or truncate).
void write_file(const std::string& path, std::string_view content, Place place = Place::Anywhere);

// Replaces `target` by `source` in one step (rename within one folder).
void replace_file(const std::string& source, const std::string& target);

// Whether a regular file is there (a folder is none). In the base folder a
// link, a pipe or a device there raises the error that opening it would: it
// may be taken neither for the file nor for its absence.
bool file_exists(const std::string& path, Place place = Place::Anywhere);

// The message the runtime gives for the error code of a failed file call.
std::string io_message(int err, const std::string& path);

}  // namespace kalvorin::platform
