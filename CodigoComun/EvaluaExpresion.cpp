#include "CodigoComun/EvaluaExpresion.h"

#include "CodigoComun/Errors.h"

namespace kalvorin {
std::int32_t evalua(const std::string& expression) {
    throw EFilterError("evaluator under construction: " + expression);
}
}  // namespace kalvorin
