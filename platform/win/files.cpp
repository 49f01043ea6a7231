#include <windows.h>

#include <fcntl.h>
#include <io.h>

#include <cerrno>

#include "platform/files_os.h"
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

namespace kalvorin::platform::os {

namespace {

DWORD attributes(const std::string& path) { return GetFileAttributesA(path.c_str()); }

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

std::uint64_t length_of(const std::string& path) {
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!GetFileAttributesExA(path.c_str(), GetFileExInfoStandard, &data)) return 0;
    return (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

// CREATE_NEW fails on any name that exists, a link included.
std::FILE* open_new(const std::string& path) {
    const HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, nullptr, CREATE_NEW,
                                 FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) {
        errno = errno_of(GetLastError());
        return nullptr;
    }
    const int fd = _open_osfhandle(reinterpret_cast<intptr_t>(h), _O_WRONLY | _O_BINARY);
    if (fd < 0) {
        CloseHandle(h);
        errno = EIO;
        return nullptr;
    }
    std::FILE* f = _fdopen(fd, "wb");
    if (!f) _close(fd);
    return f;
}

int set_mode(std::FILE*, std::filesystem::perms) { return 0; }

void cut_to(const std::string& path, std::uint64_t length) noexcept {
    const HANDLE h = CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE,
                                 nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return;
    LARGE_INTEGER at;
    at.QuadPart = static_cast<LONGLONG>(length);
    if (SetFilePointerEx(h, at, nullptr, FILE_BEGIN)) SetEndOfFile(h);
    CloseHandle(h);
}

int rename_over(const std::string& source, const std::string& target) {
    return MoveFileExA(source.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)
               ? 0
               : errno_of(GetLastError());
}

}  // namespace kalvorin::platform::os
