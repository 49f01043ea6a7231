#pragma once
// The window's reading of a number typed into a field.
#include <cstdint>
#include <optional>
#include <string_view>

namespace kalvorin::config {

// Optional leading spaces, then either an optional sign and decimal digits, or
// a hexadecimal number introduced by "$", "x" or "0x" (x in either case).
// Anything else, or a value outside the signed 32-bit range, gives `fallback`.
std::int32_t str_to_int_def(std::string_view text, std::int32_t fallback);
// The same, with nothing for a text that gives no such number.
std::optional<std::int32_t> str_to_int(std::string_view text);

}  // namespace kalvorin::config
