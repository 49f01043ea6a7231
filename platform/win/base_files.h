#pragma once
// Checking a file of the base folder once it is open, for the text files and
// the lock.
#include <windows.h>

namespace kalvorin::platform::win {

// Why the open file may not serve as a file of the base folder: a link, not a
// file on disk, or, when it is to be written (`written`), a file that another
// name leads to; 0 when it may. Who owns the file is left to the folder's
// access list. The file must have been opened with
// FILE_FLAG_OPEN_REPARSE_POINT, so that a link is the link itself.
int base_refusal(HANDLE file, bool written);

}  // namespace kalvorin::platform::win
