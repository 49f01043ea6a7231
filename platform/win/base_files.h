#pragma once
// Checking a file of the base folder once it is open, for the text files and
// the lock.
#include <windows.h>

#include <string>

namespace kalvorin::platform::win {

// Why the open file may not serve as a file of the base folder: a link (a
// reparse point that names another file or folder), not a file on disk, or,
// when it is to be written (`written`), a file that another name leads to; 0
// when it may. Who owns the file is left to the folder's access list. The
// file must have been opened with FILE_FLAG_OPEN_REPARSE_POINT, so that a
// link is the link itself.
int base_refusal(HANDLE file, bool written);

// Opens a file of the base folder as CreateFileA does with these values
// (OPEN_EXISTING or OPEN_ALWAYS), but in the folder held for it (HeldFolder,
// held_folder.h) when there is one, by its name there and never by its
// path; the error, as CreateFileA leaves it, goes to GetLastError.
HANDLE create_base_file(const std::string& path, DWORD access, DWORD share, DWORD disposition, DWORD flags);

// Whether the open file is a reparse point that is no link: a file kept in
// the cloud or deduplicated, whose data the system gives only through a
// handle opened the usual way.
bool holds_data_elsewhere(HANDLE file);

// Whether two open handles are one file (or folder): same volume, same index.
bool same_file(HANDLE a, HANDLE b);

}  // namespace kalvorin::platform::win
