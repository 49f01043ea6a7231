#pragma once
// ASCII upper case eight bytes at a time, for the texts that are upper-cased
// whole for every message.
#include <cstdint>
#include <cstring>

namespace kalvorin::platform {

inline constexpr std::uint64_t kEveryByteHighBit = 0x8080808080808080u;

// a-z to A-Z in each byte of the word; every other byte, those above 0x7F
// too, stays. No byte's sum carries into the next one: each adds at most
// 0x1F to seven bits.
constexpr std::uint64_t ascii_upper_word(std::uint64_t x) {
    constexpr std::uint64_t ones = 0x0101010101010101u;
    const std::uint64_t low7 = x & ~kEveryByteHighBit;
    const std::uint64_t from_a = low7 + ones * (0x80 - 'a');
    const std::uint64_t past_z = low7 + ones * (0x80 - 'z' - 1);
    const std::uint64_t lower = from_a & ~past_z & ~x & kEveryByteHighBit;
    return x - (lower >> 2);
}

inline std::uint64_t load_word(const char* p) {
    std::uint64_t w;
    std::memcpy(&w, p, sizeof w);
    return w;
}

inline void store_word(char* p, std::uint64_t w) { std::memcpy(p, &w, sizeof w); }

}  // namespace kalvorin::platform
