#include "CodigoComun/TrxTree.h"

#include "platform/ansi.h"

namespace kalvorin::trx {

unsigned char upper(unsigned char c) {
    return static_cast<unsigned char>(platform::ansi_upper(static_cast<char>(c)));
}

const std::array<unsigned char, 256>& case_partners() {
    static const std::array<unsigned char, 256> partners = [] {
        std::array<unsigned char, 256> p{};
        for (unsigned b = 0; b < 256; ++b) p[b] = static_cast<unsigned char>(b);
        for (unsigned b = 0; b < 256; ++b) {
            const unsigned char u = upper(static_cast<unsigned char>(b));
            if (u != b) {
                p[b] = u;
                p[u] = static_cast<unsigned char>(b);
            }
        }
        return p;
    }();
    return partners;
}

bool has_partner(unsigned char c) { return case_partners()[c] != c; }

ByteSet byte_range(unsigned lo, unsigned hi) {
    ByteSet s;
    for (unsigned b = lo; b <= hi; ++b) s.set(b);
    return s;
}

ByteSet bytes_of(std::string_view bytes) {
    ByteSet s;
    for (char c : bytes) s.set(static_cast<unsigned char>(c));
    return s;
}

std::string hex_byte(unsigned b) {
    static constexpr char digits[] = "0123456789abcdef";
    return std::string("\\x{") + digits[b >> 4] + digits[b & 15] + "}";
}

std::string literal_text(unsigned char b) {
    const bool alnum = (b >= '0' && b <= '9') || (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z');
    return alnum ? std::string(1, static_cast<char>(b)) : hex_byte(b);
}

std::string class_text(const ByteSet& s) {
    if (s.none()) return "(?!)";
    std::string out = "[";
    for (unsigned b = 0; b < 256;) {
        if (!s[b]) {
            ++b;
            continue;
        }
        unsigned e = b;
        while (e + 1 < 256 && s[e + 1]) ++e;
        out += hex_byte(b);
        if (e > b + 1) out += '-';
        if (e > b) out += hex_byte(e);
        b = e + 1;
    }
    return out + "]";
}

}  // namespace kalvorin::trx
