#pragma once
// The few file-system calls that differ between systems, beneath the text
// files' C-runtime implementation.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <string>

namespace kalvorin::platform::os {

bool is_dir(const std::string& path);
bool is_regular_file(const std::string& path);
// The folder part of a path ("." when there is none).
std::string parent_of(const std::string& path);
// Renames source over target in one step; 0, or the runtime's error number.
int rename_over(const std::string& source, const std::string& target);
// The file's length in bytes; 0 when it cannot be told (a missing file).
std::uint64_t length_of(const std::string& path);
// Creates a file for writing that must not exist yet, not even as a link,
// readable and writable by its owner only; nothing, with errno set, when it
// cannot.
std::FILE* open_new(const std::string& path);
// Gives the open file these permission bits, on the file itself and not on
// whatever its name may lead to by then; 0, or the runtime's error number.
// Windows keeps its permissions in the folder's inherited access list, so
// there it changes nothing.
int set_mode(std::FILE* file, std::filesystem::perms mode);
// Cuts the file back to length bytes, as far as the system lets it.
void cut_to(const std::string& path, std::uint64_t length) noexcept;

}  // namespace kalvorin::platform::os
