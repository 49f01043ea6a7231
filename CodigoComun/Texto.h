#pragma once
// Byte-text helpers shared by every unit. Texts are Windows-1252 bytes; nothing
// here depends on the locale.
#include <cstdint>
#include <string>
#include <string_view>

namespace kalvorin {

// Removes every character with a code of 32 or below from both ends.
std::string trim(std::string_view s);
// The same, as a view into s: no copy of a long text.
std::string_view trim_view(std::string_view s);

// Removes them from the start only.
std::string trim_left(std::string_view s);

// The plain upper-case form: only the letters a to z change.
std::string plain_upper(std::string_view s);
void plain_upper_in_place(std::string& s);

// The text up to its first NUL (all of it when it holds none).
inline std::string_view up_to_nul(std::string_view s) { return s.substr(0, s.find('\0')); }

// Decimal text of a signed 32-bit number.
std::string int_to_str(std::int32_t v);

// Replaces every occurrence of `from` in `s` by `to`, scanning left to right
// in one pass (the replacement is not searched again).
std::string replace_all(std::string_view s, std::string_view from, std::string_view to);

}  // namespace kalvorin
