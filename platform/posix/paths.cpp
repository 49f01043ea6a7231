#include "platform/paths.h"

#include <unistd.h>

#include <climits>


namespace kalvorin::platform {

const std::string& path_separator() {
    static const std::string sep = "/";
    return sep;
}

std::string program_folder() {
    char buf[PATH_MAX];
    ssize_t n = ::readlink("/proc/self/exe", buf, sizeof buf - 1);
    if (n <= 0) return ".";
    std::string exe(buf, static_cast<std::size_t>(n));
    auto slash = exe.find_last_of('/');
    return slash == std::string::npos ? "." : exe.substr(0, slash == 0 ? 1 : slash);
}

// check_private_folder is in held_folder.cpp, beside the walk it shares.

}  // namespace kalvorin::platform
