#include "platform/ansi.h"

#include <array>
#include <cstdint>

#include "platform/ascii_upper.h"

namespace kalvorin::platform {

namespace {
// Windows-1252 upper-case table: a-z, the accented pairs 0xE0-0xFE (but not
// the division sign 0xF7), and the four letters whose capitals sit in 0x8A-0x9F.
// 0xB5 (micro) and 0xDF (sharp s) have no capital and stay.
constexpr std::array<unsigned char, 256> make_table() {
    std::array<unsigned char, 256> t{};
    for (int i = 0; i < 256; ++i) t[i] = static_cast<unsigned char>(i);
    for (int c = 'a'; c <= 'z'; ++c) t[c] = static_cast<unsigned char>(c - 32);
    for (int c = 0xE0; c <= 0xFE; ++c)
        if (c != 0xF7) t[c] = static_cast<unsigned char>(c - 32);
    t[0x9A] = 0x8A;
    t[0x9C] = 0x8C;
    t[0x9E] = 0x8E;
    t[0xFF] = 0x9F;
    return t;
}
constexpr auto kUpper = make_table();
}  // namespace

char ansi_upper(char c) { return static_cast<char>(kUpper[static_cast<unsigned char>(c)]); }

std::string ansi_upper(std::string_view s) {
    std::string out(s);
    std::size_t i = 0;
    // Eight bytes of ASCII alone, the common case, are mapped at once.
    for (; i + 8 <= out.size(); i += 8) {
        const std::uint64_t w = load_word(out.data() + i);
        if ((w & kEveryByteHighBit) == 0) {
            store_word(out.data() + i, ascii_upper_word(w));
        } else {
            for (std::size_t k = i; k < i + 8; ++k) out[k] = ansi_upper(out[k]);
        }
    }
    for (; i < out.size(); ++i) out[i] = ansi_upper(out[i]);
    return out;
}

}  // namespace kalvorin::platform
