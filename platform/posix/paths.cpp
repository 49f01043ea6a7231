#include "platform/paths.h"

#include <sys/stat.h>
#include <unistd.h>

#include <climits>

#include "platform/errors.h"

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

// Group or world write permission lets others plant files and links there,
// or replace the ones there, and so read the mail the log holds or give the
// plug-in their own lists. Sticky, in a folder of this account's own, others
// may still add names but touch none of this account's files, and the files
// of the base folder refuse to be another account's (Place::BaseFolder): so
// that folder is taken, as a shared one set up on purpose. A folder of
// another account's (root's aside) is refused whatever its bits.
void check_private_folder(const std::string& folder) {
    struct stat st {};
    if (::stat(folder.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) return;
    const bool others_write = (st.st_mode & (S_IWGRP | S_IWOTH)) != 0;
    const bool sticky_own = (st.st_mode & S_ISVTX) != 0 && st.st_uid == ::geteuid();
    if (others_write && !sticky_own)
        throw EInOutError("the folder " + folder +
                          " can be written by other accounts; let only its owner write it (chmod go-w), or make it "
                          "sticky and your own");
    // The owner of the folder may rename the files in it whatever its bits,
    // a list over another among them.
    if (st.st_uid != ::geteuid() && st.st_uid != 0)
        throw EInOutError("the folder " + folder + " belongs to another account; use a folder of your own");
}

}  // namespace kalvorin::platform
