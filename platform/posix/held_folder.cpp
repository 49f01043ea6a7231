// The base folder and the folders above it, walked down from the root one
// folder at a time, each looked at through the folder opened and never
// through a name that could have changed in between.
#include "platform/held_folder.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <memory>
#include <utility>

#include "platform/errors.h"
#include "platform/files_os.h"
#include "platform/held_list.h"
#include "platform/paths.h"
#include "platform/posix/base_files.h"
#include "platform/posix/unique_fd.h"
#include "platform/textfile.h"

namespace kalvorin::platform {

namespace {

[[noreturn]] void raise_io(int err, const std::string& path) { throw EInOutError(io_message(err, path), path); }

using FolderList = HeldList<int>;

// The programs never change their account, so it is asked once.
bool ours(const struct stat& st) {
    static const uid_t self = ::geteuid();
    return st.st_uid == self || st.st_uid == 0;
}

bool others_write(const struct stat& st) { return (st.st_mode & (S_IWGRP | S_IWOTH)) != 0; }

// A folder above the base folder, as the secure-shell daemon judges the
// folders above a user's keys: whoever owns it, or may write it, can rename
// the folder below it and put one of their own in its place. So it must be
// this account's or the administrator's and written by its owner alone. The
// one exception is a sticky folder (/tmp): there others may add names but
// not rename or remove one they do not own, so it is taken when the folder
// below it on the way is this account's or the administrator's.
void check_above(const std::string& above, const struct stat& st, const struct stat& below) {
    if (!ours(st))
        throw EInOutError("the folder " + above +
                              " above the base folder belongs to another account, who could replace the base "
                              "folder; use a folder whose folders above are yours");
    if (others_write(st) && !((st.st_mode & S_ISVTX) != 0 && ours(below)))
        throw EInOutError("the folder " + above +
                              " above the base folder can be written by other accounts, who could replace the base "
                              "folder; let only its owner write it (chmod go-w)");
}

// The base folder itself. Group or world write permission lets others plant
// files and links there, or replace the ones there, and so read the mail
// the log holds or give the plug-in their own lists. Sticky, in a folder of
// this account's own, others may still add names but touch none of this
// account's files, and the files of the base folder refuse to be another
// account's (Place::BaseFolder): so that folder is taken, as a shared one set
// up on purpose. A folder of another account's (root's aside) is refused
// whatever its bits: its owner may rename the files in it, a list over
// another among them.
void check_base(const std::string& folder, const struct stat& st) {
    const bool sticky_own = (st.st_mode & S_ISVTX) != 0 && st.st_uid == ::geteuid();
    if (others_write(st) && !sticky_own)
        throw EInOutError("the folder " + folder +
                              " can be written by other accounts; let only its owner write it (chmod go-w), or make "
                              "it sticky and your own");
    if (!ours(st))
        throw EInOutError("the folder " + folder + " belongs to another account; use a folder of your own");
}

struct FreeC {
    void operator()(char* p) const noexcept { std::free(p); }
};

// The folder's path with every link, "." and ".." resolved; empty, with
// errno set, when it cannot be had.
std::string real_path(const std::string& folder) {
    const std::unique_ptr<char, FreeC> real(::realpath(folder.c_str(), nullptr));
    return real ? std::string(real.get()) : std::string();
}

// Opens the folder at `real` (absolute, without links) from the root down,
// never following a link, and checks each folder above it; its descriptor
// and status, or an empty descriptor with errno set when one on the way
// cannot be opened (a link put there since the path was resolved says
// ELOOP). Raises at a folder above that is refused.
posix::UniqueFd walk_down(const std::string& real, struct stat& st) {
    posix::UniqueFd dir(::open("/", O_RDONLY | O_DIRECTORY | O_CLOEXEC));
    if (dir.get() < 0 || ::fstat(dir.get(), &st) != 0) return posix::UniqueFd();
    for (std::size_t from = 1; from < real.size();) {
        const std::size_t end = std::min(real.find('/', from), real.size());
        const std::string name = real.substr(from, end - from);
        posix::UniqueFd below(::openat(dir.get(), name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        struct stat below_st {};
        if (below.get() < 0 || ::fstat(below.get(), &below_st) != 0) return posix::UniqueFd();
        check_above(from == 1 ? "/" : real.substr(0, from - 1), st, below_st);
        dir = std::move(below);
        st = below_st;
        from = end + 1;
    }
    return dir;
}

}  // namespace

posix::BaseName posix::base_name_of(const std::string& path) {
    if (auto held = FolderList::process().find(path, "/")) return {held->first, std::move(held->second)};
    return {AT_FDCWD, path};
}

// A folder that is missing or cannot be looked at passes: using it fails.
void check_private_folder(const std::string& folder) {
    const std::string real = real_path(folder);
    if (real.empty()) return;
    struct stat st {};
    if (walk_down(real, st).get() < 0) return;
    check_base(folder, st);
}

HeldFolder::HeldFolder(const std::string& folder) : path_(folder) {
    const std::string real = real_path(folder);
    if (real.empty()) raise_io(errno, folder);
    struct stat st {};
    posix::UniqueFd fd = walk_down(real, st);
    if (fd.get() < 0) raise_io(errno == ELOOP ? os::kSymbolicLink : errno, folder);
    check_base(folder, st);
    FolderList::process().add(path_, fd.get());
    handle_ = fd.release();
}

HeldFolder::~HeldFolder() {
    FolderList::remove(static_cast<int>(handle_));
    ::close(static_cast<int>(handle_));
}

HeldFolder::Leads HeldFolder::leads() const {
    struct stat named {}, held {};
    if (::stat(path_.c_str(), &named) != 0) return errno == ENOENT || errno == ENOTDIR ? Leads::Nothing : Leads::Other;
    const bool same = ::fstat(static_cast<int>(handle_), &held) == 0 && named.st_dev == held.st_dev &&
                      named.st_ino == held.st_ino;
    return same ? Leads::Held : Leads::Other;
}

}  // namespace kalvorin::platform
