#pragma once
// Paths of the operating system.
#include <string>

namespace kalvorin::platform {

// The separator placed after the base folder ("\" on Windows, "/" elsewhere).
const std::string& path_separator();

// The folder of the running program, without a final separator.
std::string program_folder();

// Raises EInOutError, with a message that names the folder, when accounts
// other than its owner may put files in it or replace those there. A folder
// that is missing or cannot be looked at passes: using it fails.
void check_private_folder(const std::string& folder);

}  // namespace kalvorin::platform
