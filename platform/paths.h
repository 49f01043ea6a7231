#pragma once
// Paths of the operating system.
#include <string>

namespace kalvorin::platform {

// The separator placed after the base folder ("\" on Windows, "/" elsewhere).
const std::string& path_separator();

// The folder of the running program, without a final separator.
std::string program_folder();

}  // namespace kalvorin::platform
