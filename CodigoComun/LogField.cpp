#include "CodigoComun/LogField.h"

namespace kalvorin::log_lines {

namespace {

constexpr std::string_view kHex = "0123456789ABCDEF";

bool is_control(unsigned char c) { return c < 0x20 || c == 0x7F; }

std::optional<unsigned char> hex_digit(char c) {
    const std::size_t at = kHex.find(c);
    if (at == std::string_view::npos) return std::nullopt;
    return static_cast<unsigned char>(at);
}

}  // namespace

std::string one_line(std::string_view text) {
    std::string shown;
    shown.reserve(text.size());
    for (const char c : text) {
        const auto b = static_cast<unsigned char>(c);
        if (c == '\\') shown += "\\\\";
        else if (c == '\r') shown += "\\r";
        else if (c == '\n') shown += "\\n";
        else if (c == '\t') shown += "\\t";
        else if (is_control(b)) shown.append("\\x").append(1, kHex[b >> 4]).append(1, kHex[b & 0xF]);
        else shown += c;
    }
    return shown;
}

std::optional<std::string> from_one_line(std::string_view shown) {
    std::string text;
    text.reserve(shown.size());
    for (std::size_t i = 0; i < shown.size(); ++i) {
        if (shown[i] != '\\') {
            if (is_control(static_cast<unsigned char>(shown[i]))) return std::nullopt;
            text += shown[i];
            continue;
        }
        if (++i == shown.size()) return std::nullopt;
        switch (shown[i]) {
            case '\\': text += '\\'; break;
            case 'r': text += '\r'; break;
            case 'n': text += '\n'; break;
            case 't': text += '\t'; break;
            case 'x': {
                if (shown.size() - i < 3) return std::nullopt;
                const std::optional<unsigned char> high = hex_digit(shown[i + 1]), low = hex_digit(shown[i + 2]);
                if (!high || !low) return std::nullopt;
                text += static_cast<char>(*high << 4 | *low);
                i += 2;
                break;
            }
            default: return std::nullopt;
        }
    }
    return text;
}

}  // namespace kalvorin::log_lines
