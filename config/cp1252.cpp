#include "config/cp1252.h"

#include <array>

namespace kalvorin::config {

namespace {

// Bytes 0x80 to 0x9F; the rest of Windows-1252 equals Latin-1.
constexpr std::array<char16_t, 32> kHigh = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,  //
    0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,  //
    0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,  //
    0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

char to_byte(char16_t c) {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF)) return static_cast<char>(c);
    for (std::size_t i = 0; i < kHigh.size(); ++i)
        if (kHigh[i] == c) return static_cast<char>(0x80 + i);
    return '?';
}

}  // namespace

QString from_ansi(std::string_view bytes) {
    QString out;
    out.reserve(static_cast<qsizetype>(bytes.size()));
    for (char b : bytes) {
        auto u = static_cast<unsigned char>(b);
        out.append(QChar(u >= 0x80 && u < 0xA0 ? kHigh[u - 0x80] : char16_t(u)));
    }
    return out;
}

std::string to_ansi(const QString& text) {
    std::string out;
    out.reserve(static_cast<std::size_t>(text.size()));
    for (QChar c : text) out.push_back(to_byte(c.unicode()));
    return out;
}

}  // namespace kalvorin::config
