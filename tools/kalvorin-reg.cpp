// kalvorin-reg: reads and writes the settings store in the manner of the
// Windows reg command.
#include <iostream>
#include <string>
#include <vector>

#include "platform/terminal.h"
#include "tools/RegTool.h"

int main(int argc, char** argv) {
    kalvorin::platform::watch_standard_output();
    if (argc == 2 && std::string(argv[1]) == "--version") {
        std::cout << "kalvorin-reg " << KALVORIN_VERSION << "\n";
        return kalvorin::platform::finish_output(0, "ERROR: ", 1);
    }
    const kalvorin::tools::Console console{std::cin, kalvorin::platform::stdin_is_terminal(), std::cout, std::cerr};
    const int status = kalvorin::tools::reg_command(std::vector<std::string>(argv + 1, argv + argc), console);
    // An answer that did not all arrive is a failed command.
    return kalvorin::platform::finish_output(status, "ERROR: ", 1);
}
