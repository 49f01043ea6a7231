// The system's ANSI upper case: CharUpperBuffA under the active code page.
#include <windows.h>

#include "platform/ansi.h"

namespace kalvorin::platform {

char ansi_upper(char c) {
    CharUpperBuffA(&c, 1);
    return c;
}

// Every text here is shorter than 2 GiB: message parts come with 32-bit lengths.
std::string ansi_upper(std::string_view s) {
    std::string out(s);
    if (!out.empty()) CharUpperBuffA(out.data(), static_cast<DWORD>(out.size()));
    return out;
}

}  // namespace kalvorin::platform
