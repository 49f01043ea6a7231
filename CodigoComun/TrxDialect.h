#pragma once
// The filter dialect of regular expressions (TRegExpr's, under its default
// modifiers i- r+ s+ g+ m- x-) rewritten as an equivalent PCRE2 pattern.
#include <cstddef>
#include <string>

namespace kalvorin {

// The PCRE2 pattern (8-bit, no UTF, compiled with DOTALL and DOLLAR_ENDONLY and
// the engine's Windows-1252 character tables) that matches a subject of at
// most subject_length bytes exactly when the dialect pattern matches it.
// Counted repeats are fitted to that length, so the result tells only whether
// a match exists, not where. Raises ERegExpr with the
// dialect's message for the empty pattern and for every pattern the dialect
// rejects, whatever the length.
std::string trx_to_pcre2(const std::string& pattern, std::size_t subject_length);

}  // namespace kalvorin
