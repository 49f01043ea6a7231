#pragma once
// Opening a document or an address in the program the desktop associates
// with it. Never waits for that program.
#include <string>

namespace kalvorin::platform {

// Starts the associated program on target (a file path or an address).
// Raises EInOutError with the system's text when nothing could be started.
void shell_open(const std::string& target);

}  // namespace kalvorin::platform
