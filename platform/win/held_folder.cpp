// The folder is held by a handle that shares reading and writing but not
// deletion, so that Windows itself moves neither it nor a folder above it
// while it is held; and the files of the base folder are opened relative to
// that handle (NtCreateFile with it as the root), never by their paths, for
// what lets such a move through anyway (a network share, Wine). Who may
// write the folders is left to their access lists, which
// check_private_folder leaves alone (paths.cpp).
#include <windows.h>
#include <winternl.h>

#include <utility>

#include "platform/errors.h"
#include "platform/held_folder.h"
#include "platform/held_list.h"
#include "platform/textfile.h"
#include "platform/win/base_files.h"
#include "platform/win/win_error.h"

namespace kalvorin::platform {

namespace {

[[noreturn]] void raise_last(const std::string& path) {
    const int err = errno_of(GetLastError());
    throw EInOutError(io_message(err, path), path);
}

using FolderList = HeldList<HANDLE>;

// The folder held for the path and the file's name in it; no folder (null)
// when none is held.
std::pair<HANDLE, std::string> held_for(const std::string& path) {
    if (auto held = FolderList::process().find(path, "\\/")) return std::move(*held);
    return {nullptr, std::string()};
}

// FILE_FLAG_BACKUP_SEMANTICS is what lets CreateFile open a folder. The
// folder is named without the separator that ends the base folder, but for
// a drive's root ("C:\").
HANDLE open_folder(const std::string& path, DWORD share) {
    std::string name = path;
    if (name.size() > 1 && (name.back() == '\\' || name.back() == '/') && name[name.size() - 2] != ':') name.pop_back();
    return CreateFileA(name.c_str(), FILE_LIST_DIRECTORY | FILE_TRAVERSE | FILE_READ_ATTRIBUTES | SYNCHRONIZE, share,
                       nullptr, OPEN_EXISTING, FILE_FLAG_BACKUP_SEMANTICS, nullptr);
}

}  // namespace

// What CreateFileA asks of the system for a file, but with the held folder
// as the root its name is looked up from.
HANDLE win::create_base_file(const std::string& path, DWORD access, DWORD share, DWORD disposition, DWORD flags) {
    const auto [folder, name] = held_for(path);
    if (!folder)
        return CreateFileA(path.c_str(), access, share, nullptr, disposition, FILE_ATTRIBUTE_NORMAL | flags, nullptr);
    std::wstring wide(name.size(), L'\0');
    const int n = MultiByteToWideChar(CP_ACP, 0, name.data(), static_cast<int>(name.size()), wide.data(),
                                      static_cast<int>(wide.size()));
    wide.resize(n > 0 ? static_cast<std::size_t>(n) : 0);
    UNICODE_STRING object{static_cast<USHORT>(wide.size() * sizeof(wchar_t)),
                          static_cast<USHORT>(wide.size() * sizeof(wchar_t)), wide.data()};
    OBJECT_ATTRIBUTES attributes;
    InitializeObjectAttributes(&attributes, &object, OBJ_CASE_INSENSITIVE, folder, nullptr);
    IO_STATUS_BLOCK status{};
    const ULONG options = FILE_NON_DIRECTORY_FILE | FILE_SYNCHRONOUS_IO_NONALERT |
                          ((flags & FILE_FLAG_OPEN_REPARSE_POINT) ? FILE_OPEN_REPARSE_POINT : 0);
    HANDLE file = INVALID_HANDLE_VALUE;
    const NTSTATUS result =
        NtCreateFile(&file, access | SYNCHRONIZE | FILE_READ_ATTRIBUTES, &attributes, &status, nullptr,
                     FILE_ATTRIBUTE_NORMAL, share, disposition == OPEN_ALWAYS ? FILE_OPEN_IF : FILE_OPEN, options,
                     nullptr, 0);
    if (result < 0) {
        SetLastError(RtlNtStatusToDosError(result));
        return INVALID_HANDLE_VALUE;
    }
    return file;
}

HeldFolder::HeldFolder(const std::string& folder) : path_(folder) {
    const HANDLE h = open_folder(folder, FILE_SHARE_READ | FILE_SHARE_WRITE);
    if (h == INVALID_HANDLE_VALUE) raise_last(folder);
    handle_ = reinterpret_cast<std::intptr_t>(h);
    try {
        FolderList::process().add(path_, h);
    } catch (...) {
        CloseHandle(h);
        throw;
    }
}

HeldFolder::~HeldFolder() {
    const HANDLE h = reinterpret_cast<HANDLE>(handle_);
    FolderList::remove(h);
    CloseHandle(h);
}

HeldFolder::Leads HeldFolder::leads() const {
    const HANDLE named = open_folder(path_, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE);
    if (named == INVALID_HANDLE_VALUE) {
        const DWORD code = GetLastError();
        return code == ERROR_FILE_NOT_FOUND || code == ERROR_PATH_NOT_FOUND ? Leads::Nothing : Leads::Other;
    }
    const bool same = win::same_file(named, reinterpret_cast<HANDLE>(handle_));
    CloseHandle(named);
    return same ? Leads::Held : Leads::Other;
}

}  // namespace kalvorin::platform
