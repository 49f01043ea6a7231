#include "platform/terminal.h"

#include <unistd.h>

namespace kalvorin::platform {

bool stderr_is_terminal() { return ::isatty(2) != 0; }

bool stdin_is_terminal() { return ::isatty(0) != 0; }

}  // namespace kalvorin::platform
