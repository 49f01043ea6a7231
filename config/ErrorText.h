#pragma once
// What an error box says about an error.
#include <exception>
#include <string>

namespace kalvorin::config {

// The error's own message; for a file error, followed by the file it
// concerns ("File not found: /home/me/mail/version.ini").
std::string error_text(const std::exception& error);

}  // namespace kalvorin::config
