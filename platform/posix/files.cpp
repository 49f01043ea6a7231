#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>

#include "platform/files_os.h"

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

std::uint64_t length_of(const std::string& path) {
    struct stat st {};
    return ::stat(path.c_str(), &st) == 0 ? static_cast<std::uint64_t>(st.st_size) : 0;
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

void cut_to(const std::string& path, std::uint64_t length) noexcept {
    [[maybe_unused]] const int ignored = ::truncate(path.c_str(), static_cast<off_t>(length));
}

}  // namespace kalvorin::platform::os
