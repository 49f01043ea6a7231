#include "CodigoComun/CapturaSpam.h"

#include "CodigoComun/Errors.h"

namespace kalvorin {
void searcher::searcher_init(const std::string&, const std::string&, const std::string&, const std::string&,
                             const std::string&, const std::string&, bool) {}
bool searcher::filtred(const std::string& line) { throw EFilterError("filter code under construction: " + line); }
bool searcher::haveimg() { return false; }
void searcher::trace_on() {}
void searcher::trace_off() {}
}  // namespace kalvorin
