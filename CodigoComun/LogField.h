#pragma once
// A text of the message's own on one line of the plug-in log (the summary's
// sender and subject), and back. Each control byte, and the backslash that
// starts every escape, is shown as an escape: "\r", "\n", "\t", "\\", or
// "\x" and two hex digits; every other byte stands as it is. So no text can
// break a line of the log or pass for one of its own lines, and every shown
// form has one text only. A text without control bytes or backslashes is
// shown unchanged.
#include <optional>
#include <string>
#include <string_view>

namespace kalvorin::log_lines {

std::string one_line(std::string_view text);
// The text shown; none when the shown form holds a malformed escape or a
// control byte.
std::optional<std::string> from_one_line(std::string_view shown);

}  // namespace kalvorin::log_lines
