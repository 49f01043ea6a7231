#pragma once
// The filter dialect of regular expressions (TRegExpr's, under its default
// modifiers i- r+ s+ g+ m- x-) rewritten as an equivalent PCRE2 pattern.
#include <string>

namespace kalvorin {

// The PCRE2 pattern (8-bit, no UTF, compiled with DOTALL and DOLLAR_ENDONLY and
// the engine's Windows-1252 character tables) that matches exactly where the
// dialect pattern matches. Raises ERegExpr with the dialect's message for the
// empty pattern and for every pattern the dialect rejects.
std::string trx_to_pcre2(const std::string& pattern);

}  // namespace kalvorin
