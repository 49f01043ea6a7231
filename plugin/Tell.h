#pragma once
// What the plug-in has to say to a person goes to standard error, one line a
// report, each beginning "Kalvorin: ", so that a host can tell the plug-in's
// reports from its own.
#include <string_view>

namespace kalvorin {

// Writes "Kalvorin: " + what as one line; line breaks inside become blanks.
void tell(std::string_view what) noexcept;

}  // namespace kalvorin
