#pragma once
// The plug-in's file writers, through the log queue: outside a round each
// line is a separate open, append and close.
#include <cstdint>
#include <string>
#include <string_view>

namespace kalvorin {

// Appends text and CR LF to the file, creating it when missing.
void log_append(const std::string& path, std::string_view text);
// Writes the trimmed text count times to the plug-in log; 0 or less writes nothing.
void write_log(std::int32_t count, std::string_view text);
// Creates the file or truncates it to length 0.
void log_reset(const std::string& path);

// From now on a write of the log or the trace that fails is told once a
// session on standard error and the work goes on without it: what the log
// holds never changes a score or stops an initialisation.
void go_on_without_the_log();

}  // namespace kalvorin
