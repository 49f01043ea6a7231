#include "plugin/Tell.h"

#include <cstdio>
#include <string>

namespace kalvorin {

void tell(std::string_view what) noexcept {
    try {
        std::string line = "Kalvorin: ";
        line += what;
        for (char& c : line)
            if (c == '\r' || c == '\n') c = ' ';
        line += '\n';
        std::fwrite(line.data(), 1, line.size(), stderr);
        std::fflush(stderr);
    } catch (...) {
        // Without memory for the line there is nothing left to say it with.
    }
}

}  // namespace kalvorin
