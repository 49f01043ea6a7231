#pragma once
// The six parts of one message as the host hands them to the plug-in.
#include <array>
#include <cstdint>
#include <string>

#include "kalvorin/tbp.h"

namespace kalvorin::host {

struct MessageParts {
    // Indexed by part number - kPartHeader: header, body, attachments, sender,
    // subject, raw message.
    std::array<std::string, 6> text;

    std::string& operator[](std::int32_t part) { return text[static_cast<std::size_t>(part - kPartHeader)]; }
    const std::string& operator[](std::int32_t part) const {
        return text[static_cast<std::size_t>(part - kPartHeader)];
    }
};

// The file names of a parts folder, by part number.
inline constexpr std::array<const char*, 6> kPartFileNames = {"HEADR", "MBODY", "ATTCH", "SNDER", "SBJCT", "RWMSG"};

}  // namespace kalvorin::host
