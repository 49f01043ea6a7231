#pragma once
// The options the window shows and Save All stores, without the window: what
// the fields hold, what the store holds, and the conversion between them.
#include <cstdint>
#include <string>

namespace kalvorin::config {

// Stored when a field holds no integer.
inline constexpr std::int32_t kDefaultSecure = -1000;
inline constexpr std::int32_t kDefaultTrash = 1000;
inline constexpr std::int32_t kDefaultSuspect = 70;
inline constexpr std::int32_t kDefaultLogsize = 9;

// The options as the fields and switches hold them (texts as typed).
struct OptionFields {
    std::string secure, trash, suspect, logsize;
    std::string extimg;  // "none", "susp" or "trash"
    bool uppercase = true, xpertmode = false, up50kb = true;
};

// The options as the store holds them.
struct OptionValues {
    std::int32_t secure = kDefaultSecure, trash = kDefaultTrash, suspect = kDefaultSuspect;
    std::int32_t logsize = kDefaultLogsize;
    std::string extimg = "none";
    bool uppercase = true, xpertmode = false, up50kb = true;
};

// Converts the fields (a field without an integer gives its default) and
// stores them: scores, rule, switches, log size, in that order. Returns what
// was stored.
OptionValues store_options(const OptionFields& fields);

}  // namespace kalvorin::config
