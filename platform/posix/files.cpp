#include <sys/stat.h>

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

}  // namespace kalvorin::platform::os
