#pragma once
// The plug-in's file writers, through the log queue: outside a round each
// line is a separate open, append and close.
#include <cstdint>
#include <string>

namespace kalvorin {

// Appends text and CR LF to the file, creating it when missing.
void log_append(const std::string& path, const std::string& text);
// Writes the trimmed text count times to the plug-in log; 0 or less writes nothing.
void write_log(std::int32_t count, const std::string& text);
// Creates the file or truncates it to length 0.
void log_reset(const std::string& path);

}  // namespace kalvorin
