#include <windows.h>

#include <cerrno>

#include "platform/files_os.h"

namespace kalvorin::platform::os {

namespace {

DWORD attributes(const std::string& path) { return GetFileAttributesA(path.c_str()); }

// The runtime's error number for a system error code, so that every file
// error carries the same texts.
int errno_of(DWORD code) {
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
        case ERROR_FILENAME_EXCED_RANGE:
        case ERROR_INVALID_NAME:
            return ENAMETOOLONG;
        default:
            return EIO;
    }
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

int rename_over(const std::string& source, const std::string& target) {
    return MoveFileExA(source.c_str(), target.c_str(), MOVEFILE_REPLACE_EXISTING | MOVEFILE_WRITE_THROUGH)
               ? 0
               : errno_of(GetLastError());
}

}  // namespace kalvorin::platform::os
