// Prints the system's ANSI upper case of every byte, 0 to 255, as two hex
// digits each, so that a test can hold each build's mapping against the table.
#include <cstdio>

#include "platform/ansi.h"

int main() {
    for (int b = 0; b < 256; ++b)
        std::printf("%02x", static_cast<unsigned char>(kalvorin::platform::ansi_upper(static_cast<char>(b))));
    std::printf("\n");
    return 0;
}
