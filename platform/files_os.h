#pragma once
// The few file-system calls that differ between systems, beneath the text
// files' C-runtime implementation.
#include <string>

namespace kalvorin::platform::os {

bool is_dir(const std::string& path);
bool is_regular_file(const std::string& path);
// The folder part of a path ("." when there is none).
std::string parent_of(const std::string& path);
// Renames source over target in one step; 0, or the runtime's error number.
int rename_over(const std::string& source, const std::string& target);

}  // namespace kalvorin::platform::os
