#pragma once
// The options the window shows and Save All stores, without the window: what
// the fields hold, what the store holds, and the conversion between them.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "CodigoComun/ConfigSys.h"
#include "CodigoComun/ExtImgRule.h"

namespace kalvorin::config {

// Stored when a field holds no integer: the settings' own defaults.
using settings::kDefaultLogsize;
using settings::kDefaultSecure;
using settings::kDefaultSuspect;
using settings::kDefaultTrash;

// The options as the fields and switches hold them (texts as typed).
struct OptionFields {
    std::string secure, trash, suspect, logsize;
    std::string extimg;  // the word of an ExtImgRule
    bool uppercase = true, xpertmode = false, up50kb = true;
};

// The options as the store holds them.
struct OptionValues {
    std::int32_t secure = kDefaultSecure, trash = kDefaultTrash, suspect = kDefaultSuspect;
    std::int32_t logsize = kDefaultLogsize;
    std::string extimg = setting_of(ExtImgRule::none);
    bool uppercase = true, xpertmode = false, up50kb = true;
};

// The log size that the field holds: an integer from kMinLogsize to
// kMaxLogsize, or the default for a field without an integer, as the other
// number fields give theirs. Nothing for an integer outside the range, which
// the window refuses.
std::optional<std::int32_t> logsize_of(std::string_view field);

// Converts the fields (a field without an integer gives its default) and
// stores them: scores, rule, switches, log size, in that order. Returns what
// was stored. A log size outside the range, which the window refuses before,
// is stored as the plug-in would take it.
OptionValues store_options(const OptionFields& fields);

}  // namespace kalvorin::config
