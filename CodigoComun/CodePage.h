#pragma once
// Windows-1252, the code page of every text the programs keep, and Unicode.
#include <optional>
#include <string>
#include <string_view>

namespace kalvorin {

// The character a byte stands for; the five bytes that Windows-1252 leaves
// undefined stand for the C1 control characters of the same code.
char32_t cp1252_char(unsigned char byte);

// The byte that stands for a character; nothing when the code page lacks it.
std::optional<unsigned char> cp1252_byte(char32_t c);

// Whether a text reads as UTF-8 rather than Windows-1252: it holds at least
// one well-formed multi-byte sequence and no byte above 0x7F outside one.
// Windows-1252 text rarely does, since an accented letter there is a lone
// byte that UTF-8 cannot start a sequence with and end it.
bool looks_like_utf8(std::string_view text);

// The UTF-8 text in Windows-1252, a byte-order mark at its start dropped;
// nothing when it is not well-formed UTF-8 or holds a character the code
// page lacks.
std::optional<std::string> utf8_to_cp1252(std::string_view text);

}  // namespace kalvorin
