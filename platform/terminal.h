#pragma once

namespace kalvorin::platform {

// Whether standard error is an interactive terminal.
bool stderr_is_terminal();

// Whether standard input is an interactive terminal.
bool stdin_is_terminal();

}  // namespace kalvorin::platform
