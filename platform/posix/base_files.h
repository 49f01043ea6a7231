#pragma once
// Opening a file of the base folder, for the text files and the lock.
#include <sys/stat.h>

#include <string>

namespace kalvorin::platform::posix {

// Where a file of the base folder is looked up: in the folder held for it
// (HeldFolder, held_folder.h) by its name there, or, when none is held, by
// its whole path from the current folder (AT_FDCWD), as the *at calls take
// them.
struct BaseName {
    int dir;
    std::string name;
};
BaseName base_name_of(const std::string& path);

// Opens the file as open(2) does with these flags, but never through a
// symbolic link and without waiting on a pipe; a file it creates is readable
// and writable by its owner only. The file must then be a regular one that
// this account or the administrator owns and, when it is to be written
// (`written`), that no other name leads to. The descriptor, or -1 with errno
// set to the runtime's error number or to a refusal of files_os.h.
// The file's status as it was checked goes to `status` when one is given.
int open_base_fd(const std::string& path, int flags, bool written, struct stat* status = nullptr);

}  // namespace kalvorin::platform::posix
