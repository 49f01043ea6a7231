#pragma once
// kalvorin-reg's work: reads and writes the settings store in the manner of
// the Windows reg command.
#include <istream>
#include <ostream>
#include <string>
#include <vector>

namespace kalvorin::tools {

// Where a command talks to its user.
struct Console {
    std::istream& in;  // answers to "(Yes/No)" questions
    bool interactive;  // whether to ask them at all
    std::ostream& out;
    std::ostream& err;
};

// Runs one command line (the arguments after the program's name) and returns
// the exit status: 0 on success, 1 after one "ERROR: " line on console.err.
// Nothing is thrown.
int reg_command(const std::vector<std::string>& args, const Console& console);

}  // namespace kalvorin::tools
