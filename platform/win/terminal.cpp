#include <io.h>

#include "platform/terminal.h"

namespace kalvorin::platform {

bool stderr_is_terminal() { return _isatty(2) != 0; }

bool stdin_is_terminal() { return _isatty(0) != 0; }

// Windows has no signal for a closed pipe: the write fails and says so.
void report_closed_pipes() {}

}  // namespace kalvorin::platform
