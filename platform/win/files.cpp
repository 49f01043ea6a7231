#include <windows.h>

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>
#include <sys/types.h>

#include <cerrno>
#include <cstdio>

#include "platform/files_os.h"
#include "platform/win/base_files.h"
#include "platform/win/win_error.h"

namespace kalvorin::platform {

int errno_of(unsigned long code) {
    switch (code) {
        case ERROR_FILE_NOT_FOUND:
        case ERROR_PATH_NOT_FOUND:
            return ENOENT;
        case ERROR_ACCESS_DENIED:
        case ERROR_SHARING_VIOLATION:
        case ERROR_LOCK_VIOLATION:
            return EACCES;
        case ERROR_DISK_FULL:
        case ERROR_HANDLE_DISK_FULL:
            return ENOSPC;
        case ERROR_FILE_EXISTS:
        case ERROR_ALREADY_EXISTS:
            return EEXIST;
        case ERROR_FILENAME_EXCED_RANGE:
        case ERROR_INVALID_NAME:
            return ENAMETOOLONG;
        default:
            return EIO;
    }
}

}  // namespace kalvorin::platform

namespace kalvorin::platform::win {

namespace {

bool name_surrogate(HANDLE file) {
    FILE_ATTRIBUTE_TAG_INFO tag{};
    if (!GetFileInformationByHandleEx(file, FileAttributeTagInfo, &tag, sizeof tag)) return true;
    return (tag.FileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) && IsReparseTagNameSurrogate(tag.ReparseTag);
}

}  // namespace

bool holds_data_elsewhere(HANDLE file) {
    BY_HANDLE_FILE_INFORMATION info;
    return GetFileInformationByHandle(file, &info) && (info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) &&
           !name_surrogate(file);
}

int base_refusal(HANDLE file, bool written) {
    BY_HANDLE_FILE_INFORMATION info;
    if (!GetFileInformationByHandle(file, &info)) return errno_of(GetLastError());
    if ((info.dwFileAttributes & FILE_ATTRIBUTE_REPARSE_POINT) && name_surrogate(file)) return os::kSymbolicLink;
    if (GetFileType(file) != FILE_TYPE_DISK) return os::kNotRegular;
    if (written && info.nNumberOfLinks > 1) return os::kOtherNames;
    return 0;
}

}  // namespace kalvorin::platform::win

namespace kalvorin::platform::os {

namespace {

DWORD attributes(const std::string& path) { return GetFileAttributesA(path.c_str()); }

// Gives the handle to a C-runtime stream, or closes it.
std::FILE* stream_of(HANDLE h, int flags, const char* mode) {
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(h), flags | _O_BINARY);
    if (fd < 0) {
        CloseHandle(h);
        errno = EIO;
        return nullptr;
    }
    std::FILE* f = _fdopen(fd, mode);
    if (!f) _close(fd);
    return f;
}

}  // namespace

bool is_dir(const std::string& path) {
    const DWORD a = attributes(path);
    return a != INVALID_FILE_ATTRIBUTES && (a & FILE_ATTRIBUTE_DIRECTORY);
}

bool is_regular_file(const std::string& path) {
    const DWORD a = attributes(path);
    return a != INVALID_FILE_ATTRIBUTES && !(a & FILE_ATTRIBUTE_DIRECTORY);
}

std::string parent_of(const std::string& path) {
    const auto slash = path.find_last_of("\\/");
    if (slash == std::string::npos) return ".";
    if (slash == 0 || (slash == 2 && path[1] == ':')) return path.substr(0, slash + 1);
    return path.substr(0, slash);
}

// CREATE_NEW fails on any name that exists, a link included.
std::FILE* open_new(const std::string& path) {
    const HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        errno = errno_of(GetLastError());
        return nullptr;
    }
    return stream_of(h, _O_WRONLY, "wb");
}

int set_mode(std::FILE*, std::filesystem::perms) { return 0; }

std::uint64_t length_of(std::FILE* file) {
    const __int64 length = _filelengthi64(_fileno(file));
    return length < 0 ? 0 : static_cast<std::uint64_t>(length);
}

int close_cutting(std::FILE* file, std::uint64_t length, bool always) noexcept {
    // A second descriptor outlives the stream's, so that the file can still
    // be cut after the close that wrote out the stream's last bytes.
    const int copy = _dup(_fileno(file));
    errno = 0;
    const int err = std::fclose(file) == 0 ? 0 : errno ? errno : EIO;
    if (copy >= 0) {
        if (err || always) _chsize_s(copy, static_cast<__int64>(length));
        _close(copy);
    }
    return err;
}

int append_in_base(const std::string& path, std::initializer_list<std::string_view> pieces) {
    std::FILE* f = open_in_base(path, Access::Append);
    if (!f) return errno;
    const std::uint64_t kept = length_of(f);
    errno = 0;
    for (const std::string_view text : pieces)
        if (std::fwrite(text.data(), 1, text.size(), f) != text.size()) {
            const int err = errno ? errno : EIO;
            close_cutting(f, kept, true);
            return err;
        }
    return close_cutting(f, kept, false);
}

int BaseReader::open(const std::string& path) {
    close();
    ended_ = false;
    stream_ = open_in_base(path, Access::Read);
    if (!stream_) return errno;
    std::setvbuf(stream_, nullptr, _IONBF, 0);
    return 0;
}

// The runtime's stream reads to the count, the end or an error.
long BaseReader::read(char* buf, std::size_t n) {
    const std::size_t got = std::fread(buf, 1, n, stream_);
    const bool failed = std::ferror(stream_);
    if (got == 0 && failed) {
        errno = EIO;
        return -1;
    }
    // A short count that came with an error is not the end: the next read
    // gives the error.
    ended_ = got < n && !failed;
    return static_cast<long>(got);
}

void BaseReader::close() noexcept {
    if (stream_) std::fclose(stream_);
    stream_ = nullptr;
}

// Each append opens the file afresh: a file held open here could not be
// deleted or renamed over in the meantime.
int AppendRow::append(const std::string& path, std::initializer_list<std::string_view> pieces) {
    return append_in_base(path, pieces);
}

void AppendRow::close() noexcept {}


// The link itself is opened, and refused, never the file it leads to. Only
// once the handle is known to be a file of the folder's own is it emptied.
std::FILE* open_in_base(const std::string& path, Access access) {
    const bool written = access != Access::Read;
    HANDLE h = win::create_base_file(path, written ? GENERIC_WRITE : GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                     written ? OPEN_ALWAYS : OPEN_EXISTING, FILE_FLAG_OPEN_REPARSE_POINT);
    if (h == INVALID_HANDLE_VALUE) {
        errno = errno_of(GetLastError());
        return nullptr;
    }
    if (const int refused = win::base_refusal(h, written)) {
        CloseHandle(h);
        errno = refused;
        return nullptr;
    }
    // A file kept in the cloud or deduplicated is read through a handle of
    // the usual kind, which must lead to the same file.
    if (win::holds_data_elsewhere(h)) {
        const HANDLE data = win::create_base_file(path, written ? GENERIC_WRITE : GENERIC_READ,
                                                 FILE_SHARE_READ | FILE_SHARE_WRITE, OPEN_EXISTING, 0);
        const bool same = data != INVALID_HANDLE_VALUE && win::same_file(h, data);
        CloseHandle(h);
        if (!same) {
            if (data != INVALID_HANDLE_VALUE) CloseHandle(data);
            errno = os::kSymbolicLink;
            return nullptr;
        }
        h = data;
    }
    if (access == Access::Truncate && !SetEndOfFile(h)) {
        errno = errno_of(GetLastError());
        CloseHandle(h);
        return nullptr;
    }
    if (!written) return stream_of(h, _O_RDONLY, "rb");
    return access == Access::Append ? stream_of(h, _O_WRONLY | _O_APPEND, "ab") : stream_of(h, _O_WRONLY, "wb");
}

Opened what_is(std::FILE* file) {
    struct _stat64 st {};
    if (_fstat64(_fileno(file), &st) != 0) return {};
    if (st.st_mode & _S_IFDIR) return {Kind::Folder, 0};
    if (!(st.st_mode & _S_IFREG)) return {};
    return {Kind::Regular, static_cast<std::uint64_t>(st.st_size)};
}

Kind kind_of(const std::string& path) {
    const DWORD a = attributes(path);
    if (a == INVALID_FILE_ATTRIBUTES) return Kind::Missing;
    if (a & FILE_ATTRIBUTE_REPARSE_POINT) {
        // Only a reparse point that names another file or folder is a link.
        WIN32_FIND_DATAA found;
        const HANDLE search = FindFirstFileA(path.c_str(), &found);
        if (search == INVALID_HANDLE_VALUE) return Kind::Link;
        FindClose(search);
        if (IsReparseTagNameSurrogate(found.dwReserved0)) return Kind::Link;
    }
    return (a & FILE_ATTRIBUTE_DIRECTORY) ? Kind::Folder : Kind::Regular;
}

int rename_over(const std::string& source, const std::string& target) {
    return MoveFileExA(source.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)
               ? 0
               : errno_of(GetLastError());
}

}  // namespace kalvorin::platform::os

bool kalvorin::platform::win::same_file(HANDLE a, HANDLE b) {
    BY_HANDLE_FILE_INFORMATION x, y;
    return GetFileInformationByHandle(a, &x) && GetFileInformationByHandle(b, &y) &&
           x.dwVolumeSerialNumber == y.dwVolumeSerialNumber && x.nFileIndexHigh == y.nFileIndexHigh &&
           x.nFileIndexLow == y.nFileIndexLow;
}
