#pragma once
// What a line of a filter list is.
#include <string>

namespace kalvorin {

// Whether the list pass hands the line to filtred: not a comment (":" first),
// and not empty (an empty line, only in a hand-edited list, has no first
// character and is skipped like a comment).
inline bool is_filter_line(const std::string& line) { return !line.empty() && line[0] != ':'; }

}  // namespace kalvorin
