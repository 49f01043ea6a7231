#pragma once
// The standard streams: what they are connected to, and whether what was
// written to them arrived.
#include <string>

namespace kalvorin::platform {

// Whether standard error is an interactive terminal.
bool stderr_is_terminal();

// Whether standard input is an interactive terminal.
bool stdin_is_terminal();

// A write to a closed pipe becomes an error to report (EPIPE) instead of
// ending the program silently.
void report_closed_pipes();

// For a program that reports lost output: closed pipes are reported, and
// std::cout keeps the error of the first write that failed, which the
// stream itself forgets.
void watch_standard_output();

// Flushes std::cout and stdout. Empty when everything written there arrived;
// otherwise the runtime's message for the error that lost some of it.
std::string standard_output_error();

// A program's last step: status when its standard output all arrived;
// otherwise lost_status, after a line on standard error: the prefix, then
// "standard output: " and the reason.
int finish_output(int status, const std::string& prefix, int lost_status);

}  // namespace kalvorin::platform
