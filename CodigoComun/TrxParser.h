#pragma once
// The parser of the filter dialect of regular expressions (TRegExpr's, under
// its default modifiers i- r+ s+ g+ m- x-).
#include <string>

#include "CodigoComun/TrxTree.h"

namespace kalvorin::trx {

// The parsed pattern. Raises ERegExpr with the dialect's message for the empty
// pattern and for every pattern the dialect rejects.
ParsedPattern parse(const std::string& pattern);

}  // namespace kalvorin::trx
