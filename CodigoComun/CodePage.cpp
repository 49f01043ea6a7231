#include "CodigoComun/CodePage.h"

#include <array>
#include <cstddef>

namespace kalvorin {

namespace {

// Bytes 0x80 to 0x9F; the rest of Windows-1252 equals Latin-1.
constexpr std::array<char32_t, 32> kHigh = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  //
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  //
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  //
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// The character of the well-formed UTF-8 sequence at text[at], and its
// length; a length of 0 when none starts there. Overlong forms, surrogates
// and code points above U+10FFFF are not well-formed.
std::size_t sequence_at(std::string_view text, std::size_t at, char32_t& c) {
    const auto lead = static_cast<unsigned char>(text[at]);
    std::size_t length = 0;
    if (lead >= 0xC2 && lead <= 0xDF) length = 2, c = lead & 0x1F;
    else if (lead >= 0xE0 && lead <= 0xEF) length = 3, c = lead & 0x0F;
    else if (lead >= 0xF0 && lead <= 0xF4) length = 4, c = lead & 0x07;
    else return 0;
    if (text.size() - at < length) return 0;
    for (std::size_t k = 1; k < length; ++k) {
        const auto next = static_cast<unsigned char>(text[at + k]);
        if ((next & 0xC0) != 0x80) return 0;
        c = (c << 6) | (next & 0x3F);
    }
    constexpr std::array<char32_t, 5> kLeast = {0, 0, 0x80, 0x800, 0x10000};
    if (c < kLeast[length] || c > 0x10FFFF || (c >= 0xD800 && c <= 0xDFFF)) return 0;
    return length;
}

}  // namespace

char32_t cp1252_char(unsigned char byte) { return byte >= 0x80 && byte < 0xA0 ? kHigh[byte - 0x80] : byte; }

std::optional<unsigned char> cp1252_byte(char32_t c) {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return static_cast<unsigned char>(c);
    for (std::size_t i = 0; i < kHigh.size(); ++i)
        if (kHigh[i] == c) return static_cast<unsigned char>(0x80 + i);
    return std::nullopt;
}

bool looks_like_utf8(std::string_view text) {
    bool multi = false;
    for (std::size_t at = 0; at < text.size();) {
        if (static_cast<unsigned char>(text[at]) < 0x80) {
            ++at;
            continue;
        }
        char32_t c = 0;
        const std::size_t length = sequence_at(text, at, c);
        if (length == 0) return false;
        multi = true;
        at += length;
    }
    return multi;
}

std::optional<std::string> utf8_to_cp1252(std::string_view text) {
    if (text.starts_with(kByteOrderMark)) text.remove_prefix(kByteOrderMark.size());
    std::string out;
    out.reserve(text.size());
    for (std::size_t at = 0; at < text.size();) {
        char32_t c = static_cast<unsigned char>(text[at]);
        std::size_t length = 1;
        if (c >= 0x80 && (length = sequence_at(text, at, c)) == 0) return std::nullopt;
        const std::optional<unsigned char> byte = cp1252_byte(c);
        if (!byte) return std::nullopt;
        out += static_cast<char>(*byte);
        at += length;
    }
    return out;
}

}  // namespace kalvorin
