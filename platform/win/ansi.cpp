// The system's ANSI upper case: CharUpperBuffA under the active code page.
#include <windows.h>

#include "platform/ansi.h"

namespace kalvorin::platform {

char ansi_upper(char c) {
    CharUpperBuffA(&c, 1);
    return c;
}

std::string ansi_upper(std::string_view s) {
    std::string out(s);
    // CharUpperBuffA takes a 32-bit length: convert long texts in slices.
    constexpr std::size_t kSlice = 1u << 30;
    for (std::size_t at = 0; at < out.size(); at += kSlice) {
        const std::size_t n = std::min(kSlice, out.size() - at);
        CharUpperBuffA(out.data() + at, static_cast<DWORD>(n));
    }
    return out;
}

}  // namespace kalvorin::platform
