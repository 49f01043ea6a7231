#pragma once
// For the tests: a step run in FileLock::try_take between opening the lock
// file and locking it, where another process may remove or replace the file.
#include <string>

namespace kalvorin::platform::posix {

// Called with the lock file's path when set; null outside the tests.
extern void (*lock_opened_hook)(const std::string& path);

}  // namespace kalvorin::platform::posix
