// LockFileEx on the first byte of the file. The handle shares reading and
// writing but not deletion, so the file cannot be removed while it is held
// or waited for.
#include <windows.h>

#include <utility>

#include "platform/errors.h"
#include "platform/lock.h"
#include "platform/textfile.h"
#include "platform/win/base_files.h"
#include "platform/win/win_error.h"

namespace kalvorin::platform {

namespace {

[[noreturn]] void raise_io(DWORD code, const std::string& path) {
    throw EInOutError(io_message(errno_of(code), path), path);
}

// Closes the handle unless it is let go.
class OpenHandle {
public:
    explicit OpenHandle(HANDLE h) : h_(h) {}
    OpenHandle(const OpenHandle&) = delete;
    OpenHandle& operator=(const OpenHandle&) = delete;
    ~OpenHandle() {
        if (h_ != INVALID_HANDLE_VALUE) CloseHandle(h_);
    }
    HANDLE get() const { return h_; }
    HANDLE release() { return std::exchange(h_, INVALID_HANDLE_VALUE); }

private:
    HANDLE h_;
};

}  // namespace

FileLock::Handle FileLock::try_take(const std::string& path) {
    // Not inheritable: a program the host starts must not keep the lock. A
    // file of the base folder: a link there is opened itself, and refused.
    OpenHandle h(win::create_base_file(path, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ | FILE_SHARE_WRITE,
                                       OPEN_ALWAYS, FILE_FLAG_OPEN_REPARSE_POINT));
    if (h.get() == INVALID_HANDLE_VALUE) {
        const DWORD code = GetLastError();
        // Another program opened it without sharing: it is in use.
        if (code == ERROR_SHARING_VIOLATION) return kNone;
        raise_io(code, path);
    }
    if (const int refused = win::base_refusal(h.get(), false))
        throw EInOutError(io_message(refused, path), path);
    OVERLAPPED at{};
    if (!LockFileEx(h.get(), LOCKFILE_EXCLUSIVE_LOCK | LOCKFILE_FAIL_IMMEDIATELY, 0, 1, 0, &at)) {
        const DWORD code = GetLastError();
        if (code == ERROR_LOCK_VIOLATION) return kNone;
        raise_io(code, path);
    }
    return reinterpret_cast<Handle>(h.release());
}

// Unlocked before closing: a closed handle's locks are let go only when the
// system gets round to it.
void FileLock::release(Handle handle) noexcept {
    const HANDLE h = reinterpret_cast<HANDLE>(handle);
    OVERLAPPED at{};
    UnlockFileEx(h, 0, 1, 0, &at);
    CloseHandle(h);
}

}  // namespace kalvorin::platform
