#include "platform/terminal.h"

#include <csignal>

#include <unistd.h>

namespace kalvorin::platform {

bool stderr_is_terminal() { return ::isatty(2) != 0; }

bool stdin_is_terminal() { return ::isatty(0) != 0; }

void report_closed_pipes() { std::signal(SIGPIPE, SIG_IGN); }

}  // namespace kalvorin::platform
