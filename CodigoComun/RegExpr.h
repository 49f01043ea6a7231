#pragma once
// The regular-expression mode's engine: patterns in the filter dialect, run on
// PCRE2 through the dialect adapter.
#include <string>

namespace kalvorin {

// Whether the pattern matches anywhere in the subject. The subject is cut at
// its first NUL; an empty subject never matches. Raises ERegExpr for a pattern
// that does not compile and for one too costly to run on this subject.
bool regexpr_exec(const std::string& pattern, const std::string& subject);

}  // namespace kalvorin
