#include "config/IntConversion.h"

#include <charconv>
#include <limits>

namespace kalvorin::config {

namespace {

// Parses all of `digits` in `base` into a 64-bit value; false when it is not
// all digits or exceeds what the caller may accept.
bool parse_all(std::string_view digits, int base, std::int64_t& value) {
    if (digits.empty()) return false;
    const char* end = digits.data() + digits.size();
    auto [ptr, ec] = std::from_chars(digits.data(), end, value, base);
    return ec == std::errc() && ptr == end;
}

bool starts_with_hex_prefix(std::string_view s, std::size_t& prefix) {
    if (s.starts_with('$') || s.starts_with('x') || s.starts_with('X')) {
        prefix = 1;
        return true;
    }
    if (s.size() >= 2 && s[0] == '0' && (s[1] == 'x' || s[1] == 'X')) {
        prefix = 2;
        return true;
    }
    return false;
}

}  // namespace

std::optional<std::int32_t> str_to_int(std::string_view text) {
    while (text.starts_with(' ')) text.remove_prefix(1);

    std::int64_t value = 0;
    std::size_t prefix = 0;
    if (starts_with_hex_prefix(text, prefix)) {
        // from_chars would read a minus sign as part of the number.
        std::string_view digits = text.substr(prefix);
        if (digits.starts_with('-') || digits.starts_with('+')) return std::nullopt;
        if (!parse_all(digits, 16, value)) return std::nullopt;
    } else {
        bool negative = false;
        if (text.starts_with('+') || text.starts_with('-')) {
            negative = text.front() == '-';
            text.remove_prefix(1);
        }
        if (text.starts_with('-')) return std::nullopt;
        if (!parse_all(text, 10, value)) return std::nullopt;
        if (negative) value = -value;
    }
    if (value < std::numeric_limits<std::int32_t>::min() || value > std::numeric_limits<std::int32_t>::max())
        return std::nullopt;
    return static_cast<std::int32_t>(value);
}

std::int32_t str_to_int_def(std::string_view text, std::int32_t fallback) { return str_to_int(text).value_or(fallback); }

}  // namespace kalvorin::config
