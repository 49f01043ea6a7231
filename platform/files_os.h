#pragma once
// The few file-system calls that differ between systems, beneath the text
// files' C-runtime implementation.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <initializer_list>
#include <string>
#include <string_view>

namespace kalvorin::platform::os {

bool is_dir(const std::string& path);
bool is_regular_file(const std::string& path);
// The folder part of a path ("." when there is none).
std::string parent_of(const std::string& path);
// Renames source over target in one step; 0, or the runtime's error number.
int rename_over(const std::string& source, const std::string& target);
// Creates a file for writing that must not exist yet, not even as a link,
// readable and writable by its owner only; nothing, with errno set, when it
// cannot.
std::FILE* open_new(const std::string& path);
// Gives the open file these permission bits, on the file itself and not on
// whatever its name may lead to by then; 0, or the runtime's error number.
// Windows keeps its permissions in the folder's inherited access list, so
// there it changes nothing.
int set_mode(std::FILE* file, std::filesystem::perms mode);
// The open file's length in bytes.
std::uint64_t length_of(std::FILE* file);
// Closes the stream; 0, or the runtime's error number when what it held
// could not be written out. Then, on that error or when `always` asks, the
// file is cut back to length bytes, as far as the system lets it: through
// the file that was open, never through its name, which may lead elsewhere
// by then.
int close_cutting(std::FILE* file, std::uint64_t length, bool always) noexcept;

// Why a file of the base folder was refused, beside the runtime's error
// numbers, which are all positive (see io_message).
inline constexpr int kSymbolicLink = -1;  // the name is a link (or another reparse point)
inline constexpr int kNotRegular = -2;    // a pipe, a device or a socket
inline constexpr int kOthersFile = -3;    // owned by an account other than this one or the administrator
inline constexpr int kOtherNames = -4;    // to be written, and reachable through another name (a hard link)

enum class Access { Read, Append, Truncate };
// Opens a file of the base folder (Place::BaseFolder in textfile.h): only
// when its name is itself a regular file, never through a link, and without
// waiting on a pipe. One that is created is readable and writable by its
// owner only. Nothing, with errno set to the runtime's error number or to
// one of the refusals above, when it cannot or may not.
std::FILE* open_in_base(const std::string& path, Access access);

// Reads a file of the base folder, opened as open_in_base does for
// Access::Read, straight from the system where there is one (POSIX).
class BaseReader {
public:
    BaseReader() = default;
    BaseReader(const BaseReader&) = delete;
    BaseReader& operator=(const BaseReader&) = delete;
    ~BaseReader() { close(); }
    // 0, or the error number or refusal.
    int open(const std::string& path);
    // The next bytes, up to n: the count, or -1 with errno set.
    long read(char* buf, std::size_t n);
    // Whether the last read reached the file's end: a regular file gives
    // less than asked only there, unless the read failed.
    bool ended() const { return ended_; }
    void close() noexcept;

private:
    int fd_ = -1;                  // POSIX
    std::FILE* stream_ = nullptr;  // Windows
    bool ended_ = false;
};

// Appends the pieces, in order, to a file of the base folder opened as
// open_in_base does for Access::Append; when they cannot be written whole,
// the file is cut back to the length it had. 0, or the error number or
// refusal.
int append_in_base(const std::string& path, std::initializer_list<std::string_view> pieces);

// Appends to a file of the base folder several times in a row, each time
// as append_in_base does, but with the file kept open between them where the
// system allows it cheaply (POSIX). Before each append after the first the
// name is looked at again; when it no longer leads to the file held (the
// file was deleted, renamed over or made a link) or the file may no longer
// serve (it got another name, another owner or other permissions), the
// name is opened afresh, so the text goes where a fresh open would put it.
class AppendRow {
public:
    AppendRow() = default;
    AppendRow(const AppendRow&) = delete;
    AppendRow& operator=(const AppendRow&) = delete;
    ~AppendRow() { close(); }
    // 0, or the error number or refusal.
    int append(const std::string& path, std::initializer_list<std::string_view> pieces);
    // Lets go of the file held, if any.
    void close() noexcept;

private:
    int fd_ = -1;  // never held on Windows
    // The file held, and what a fresh open would have checked of it.
    std::uint64_t device_ = 0, inode_ = 0, mode_ = 0, owner_ = 0;
};

// What a name is, without following it when it is a link; a file of a held
// base folder is looked up in the folder held.
enum class Kind { Missing, Regular, Folder, Link, Other };
Kind kind_of(const std::string& path);

// What an open file is, and its length when it is a regular file.
struct Opened {
    Kind kind = Kind::Other;
    std::uint64_t length = 0;
};
Opened what_is(std::FILE* file);

}  // namespace kalvorin::platform::os
