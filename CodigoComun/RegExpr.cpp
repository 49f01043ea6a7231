#include "CodigoComun/RegExpr.h"

#include "CodigoComun/Errors.h"

namespace kalvorin {
bool regexpr_exec(const std::string&, const std::string&) {
    throw ERegExpr("TRegExpr(comp): the regular-expression mode is not available yet");
}
}  // namespace kalvorin
