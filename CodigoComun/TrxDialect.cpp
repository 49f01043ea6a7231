#include "CodigoComun/TrxDialect.h"

#include "CodigoComun/TrxEmitter.h"
#include "CodigoComun/TrxParser.h"

namespace kalvorin {

// The whole pattern is checked before anything is dropped for the subject's sake.
std::string trx_to_pcre2(const std::string& pattern, std::size_t subject_length) {
    return trx::emit(trx::parse(pattern), subject_length);
}

}  // namespace kalvorin
