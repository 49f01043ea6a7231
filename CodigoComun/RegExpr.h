#pragma once
// The regular-expression mode's engine: patterns in the filter dialect, run on
// PCRE2 through the dialect adapter.
#include <cstddef>
#include <string>

namespace kalvorin {

// Whether the pattern matches anywhere in the subject. The subject is cut at
// its first NUL; an empty subject never matches. Raises ERegExpr for a pattern
// that does not compile and for one too costly to run on this subject.
bool regexpr_exec(const std::string& pattern, const std::string& subject);

// The character tables the engine hands PCRE2 (pcre2_maketables layout,
// regexpr_tables_length bytes): the "C" locale's, with the Windows-1252 case
// pairs and without VT in \s. Built once, never changed.
inline constexpr std::size_t regexpr_tables_length = 1088;
const unsigned char* regexpr_character_tables();

}  // namespace kalvorin
