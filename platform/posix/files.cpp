#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "platform/files_os.h"
#include "platform/posix/base_files.h"
#include "platform/posix/unique_fd.h"

namespace kalvorin::platform::posix {

namespace {

// Why the open file may not serve as a file of the base folder; 0 when it may.
int refusal_of(const struct stat& st, bool written) {
    if (S_ISDIR(st.st_mode)) return EISDIR;
    if (!S_ISREG(st.st_mode)) return os::kNotRegular;
    // In a sticky folder that others may add to, a name this account has not
    // made yet can be taken by another, whose file stays theirs to read.
    // The programs never change their account, so it is asked once.
    static const uid_t self = ::geteuid();
    if (st.st_uid != self && st.st_uid != 0) return os::kOthersFile;
    // Written through this name, a file that another name leads to would
    // change under that name too.
    if (written && st.st_nlink > 1) return os::kOtherNames;
    return 0;
}

int failed(UniqueFd& fd, int err) {
    fd.reset();
    errno = err;
    return -1;
}

}  // namespace

int open_base_fd(const std::string& path, int flags, bool written, struct stat* status) {
    const BaseName at = base_name_of(path);
    UniqueFd fd(::openat(at.dir, at.name.c_str(), flags | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY | O_CLOEXEC, S_IRUSR | S_IWUSR));
    if (fd.get() < 0) {
        // O_NOFOLLOW fails on a link with ELOOP; a pipe that no one reads
        // cannot be opened for writing without waiting, and says ENXIO.
        if (errno == ELOOP) errno = os::kSymbolicLink;
        else if (errno == ENXIO) errno = os::kNotRegular;
        return -1;
    }
    struct stat st {};
    if (::fstat(fd.get(), &st) != 0) return failed(fd, errno);
    if (const int refused = refusal_of(st, written)) return failed(fd, refused);
    // O_NONBLOCK, which kept the open from waiting on a pipe, stays set: it
    // changes nothing for a regular file, whose reads and writes never wait.
    if (status) *status = st;
    return fd.release();
}

}  // namespace kalvorin::platform::posix

namespace kalvorin::platform::os {

namespace {
bool stat_mode(const std::string& path, mode_t& mode) {
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0) return false;
    mode = st.st_mode;
    return true;
}
}  // namespace

bool is_dir(const std::string& path) {
    mode_t m = 0;
    return stat_mode(path, m) && S_ISDIR(m);
}

bool is_regular_file(const std::string& path) {
    mode_t m = 0;
    return stat_mode(path, m) && S_ISREG(m);
}

std::string parent_of(const std::string& path) {
    auto slash = path.find_last_of('/');
    if (slash == std::string::npos) return ".";
    if (slash == 0) return "/";
    return path.substr(0, slash);
}

int rename_over(const std::string& source, const std::string& target) {
    return std::rename(source.c_str(), target.c_str()) == 0 ? 0 : errno;
}

std::FILE* open_new(const std::string& path) {
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, S_IRUSR | S_IWUSR);
    if (fd < 0) return nullptr;
    std::FILE* f = ::fdopen(fd, "wb");
    if (!f) {
        const int err = errno;
        ::close(fd);
        errno = err;
    }
    return f;
}

int set_mode(std::FILE* file, std::filesystem::perms mode) {
    const auto bits = static_cast<mode_t>(mode & std::filesystem::perms::mask);
    return ::fchmod(::fileno(file), bits) == 0 ? 0 : errno;
}

std::uint64_t length_of(std::FILE* file) {
    struct stat st {};
    return ::fstat(::fileno(file), &st) == 0 ? static_cast<std::uint64_t>(st.st_size) : 0;
}

int close_cutting(std::FILE* file, std::uint64_t length, bool always) noexcept {
    // A second descriptor outlives the stream's, so that the file can still
    // be cut after the close that wrote out the stream's last bytes.
    posix::UniqueFd copy(::fcntl(::fileno(file), F_DUPFD_CLOEXEC, 0));
    errno = 0;
    const int err = std::fclose(file) == 0 ? 0 : errno ? errno : EIO;
    if ((err || always) && copy.get() >= 0) {
        [[maybe_unused]] const int ignored = ::ftruncate(copy.get(), static_cast<off_t>(length));
    }
    return err;
}

std::FILE* open_in_base(const std::string& path, Access access) {
    const bool written = access != Access::Read;
    const int flags = written ? O_WRONLY | O_CREAT | (access == Access::Append ? O_APPEND : 0) : O_RDONLY;
    posix::UniqueFd fd(posix::open_base_fd(path, flags, written));
    if (fd.get() < 0) return nullptr;
    // Emptied only once it is known to be the folder's own regular file.
    if (access == Access::Truncate && ::ftruncate(fd.get(), 0) != 0) return nullptr;
    std::FILE* f = ::fdopen(fd.get(), written ? (access == Access::Append ? "ab" : "wb") : "rb");
    if (f) fd.release();
    return f;
}

namespace {

// Writes the pieces at the end of the open file, whose length was kept
// before; when they cannot be written whole, cuts the file back to it.
int write_pieces(int fd, off_t kept, std::initializer_list<std::string_view> pieces) {
    for (std::string_view text : pieces)
        while (!text.empty()) {
            const ssize_t n = ::write(fd, text.data(), text.size());
            if (n < 0 && errno == EINTR) continue;
            if (n <= 0) {
                const int err = n < 0 ? errno : EIO;
                [[maybe_unused]] const int ignored = ::ftruncate(fd, kept);
                return err;
            }
            text.remove_prefix(static_cast<std::size_t>(n));
        }
    return 0;
}

}  // namespace

// Straight to the descriptor: the log's rounds are many and small, and a
// stream would cost its own calls to set up and to close safely. Nothing is
// held back to fail at the close, so a failed write is met here, and cut. A
// close can still fail on a network file system, after the data went out;
// that is told but, the descriptor gone, not cut.
int append_in_base(const std::string& path, std::initializer_list<std::string_view> pieces) {
    struct stat st {};
    posix::UniqueFd fd(posix::open_base_fd(path, O_WRONLY | O_CREAT | O_APPEND, true, &st));
    if (fd.get() < 0) return errno;
    if (const int err = write_pieces(fd.get(), st.st_size, pieces)) return err;
    return ::close(fd.release()) == 0 ? 0 : errno;
}

// A later append costs a look at the name and the write, where a fresh one
// costs an open, a look at the file, the write and a close.
int AppendRow::append(const std::string& path, std::initializer_list<std::string_view> pieces) {
    struct stat st {};
    const posix::BaseName at = posix::base_name_of(path);
    const bool held = fd_ >= 0 && ::fstatat(at.dir, at.name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
                      static_cast<std::uint64_t>(st.st_dev) == device_ &&
                      static_cast<std::uint64_t>(st.st_ino) == inode_ && st.st_mode == mode_ &&
                      st.st_uid == owner_ && posix::refusal_of(st, true) == 0;
    if (!held) {
        close();
        const int fd = posix::open_base_fd(path, O_WRONLY | O_CREAT | O_APPEND, true, &st);
        if (fd < 0) return errno;
        fd_ = fd;
        device_ = static_cast<std::uint64_t>(st.st_dev);
        inode_ = static_cast<std::uint64_t>(st.st_ino);
        mode_ = st.st_mode;
        owner_ = st.st_uid;
    }
    return write_pieces(fd_, st.st_size, pieces);
}

// The data went out with each write; a close that fails after them (a
// network file system) cannot take them back, and is not told.
void AppendRow::close() noexcept {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

int BaseReader::open(const std::string& path) {
    close();
    ended_ = false;
    fd_ = posix::open_base_fd(path, O_RDONLY, false);
    return fd_ < 0 ? errno : 0;
}

long BaseReader::read(char* buf, std::size_t n) {
    for (;;) {
        const ssize_t got = ::read(fd_, buf, n);
        if (got < 0 && errno == EINTR) continue;
        if (got >= 0) ended_ = static_cast<std::size_t>(got) < n;
        return static_cast<long>(got);
    }
}

void BaseReader::close() noexcept {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

Opened what_is(std::FILE* file) {
    struct stat st {};
    if (::fstat(::fileno(file), &st) != 0) return {};
    if (S_ISDIR(st.st_mode)) return {Kind::Folder, 0};
    if (!S_ISREG(st.st_mode)) return {};
    return {Kind::Regular, static_cast<std::uint64_t>(st.st_size)};
}

Kind kind_of(const std::string& path) {
    struct stat st {};
    const posix::BaseName at = posix::base_name_of(path);
    if (::fstatat(at.dir, at.name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0) return Kind::Missing;
    if (S_ISLNK(st.st_mode)) return Kind::Link;
    if (S_ISDIR(st.st_mode)) return Kind::Folder;
    return S_ISREG(st.st_mode) ? Kind::Regular : Kind::Other;
}

}  // namespace kalvorin::platform::os
