// flock: the lock belongs to the open file, so it is not lost when another
// descriptor of the same file closes (as an fcntl lock would be), and a
// second open file in this process conflicts like another process.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>

#include "platform/errors.h"
#include "platform/lock.h"
#include "platform/posix/base_files.h"
#include "platform/posix/lock_hook.h"
#include "platform/posix/unique_fd.h"
#include "platform/textfile.h"

namespace kalvorin::platform {

void (*posix::lock_opened_hook)(const std::string& path) = nullptr;

namespace {

[[noreturn]] void raise_io(const std::string& path) { throw EInOutError(io_message(errno, path), path); }

// Whether the path still names the file that fd has open: a lock on a file
// that was removed or replaced meanwhile keeps out no one.
bool still_named(int fd, const std::string& path) {
    struct stat held {}, named {};
    const posix::BaseName at = posix::base_name_of(path);
    return ::fstat(fd, &held) == 0 && ::fstatat(at.dir, at.name.c_str(), &named, AT_SYMLINK_NOFOLLOW) == 0 &&
           held.st_dev == named.st_dev &&
           held.st_ino == named.st_ino;
}

}  // namespace

FileLock::Handle FileLock::try_take(const std::string& path) {
    // A file of the base folder, close-on-exec: a program the host starts
    // must not inherit the lock.
    posix::UniqueFd fd(posix::open_base_fd(path, O_RDWR | O_CREAT, false));
    if (fd.get() < 0) raise_io(path);
    if (posix::lock_opened_hook) posix::lock_opened_hook(path);
    while (::flock(fd.get(), LOCK_EX | LOCK_NB) != 0) {
        if (errno == EWOULDBLOCK) return kNone;
        if (errno != EINTR) raise_io(path);
    }
    if (!still_named(fd.get(), path)) return kNone;
    return fd.release();
}

// Closing the descriptor lets go of the lock.
void FileLock::release(Handle handle) noexcept { ::close(static_cast<int>(handle)); }

}  // namespace kalvorin::platform
