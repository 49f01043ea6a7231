#pragma once
// The operating system's ANSI upper-case mapping (Windows-1252 code page).
#include <string>
#include <string_view>

namespace kalvorin::platform {

// Upper case of one byte under the ANSI code page.
char ansi_upper(char c);

// The whole text in its ANSI upper-case form.
std::string ansi_upper(std::string_view s);

}  // namespace kalvorin::platform
