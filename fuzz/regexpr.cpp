// The regular-expression mode: a pattern in the filter dialect run on
// subjects twice, translated afresh for each subject and kept compiled for
// its subjects' length classes. Both must give the same answer or error.
//
// Input: the pattern, then up to four subjects, separated by two NULs.
#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "CodigoComun/Errors.h"
#include "CodigoComun/RegExpr.h"
#include "fuzz/FuzzSupport.h"

namespace {

using namespace kalvorin;
using fuzz::finding;
using fuzz::shown;

constexpr std::size_t kMaxSubjects = 4;

template <class Run>
std::string outcome(Run run, bool& too_costly) {
    try {
        return run() ? "match" : "no match";
    } catch (const ERegExprTooCostly& e) {
        // The text decides this: a kept pattern compiled for its length
        // class may meet the budget's edge where the literal road does not.
        too_costly = true;
        return std::string("ERegExpr: ") + e.what();
    } catch (const ERegExpr& e) {
        return std::string("ERegExpr: ") + e.what();
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    std::vector<std::string> f = fuzz::fields(data, size);
    const std::string pattern = f[0];
    f.erase(f.begin());
    if (f.empty()) f.emplace_back();
    if (f.size() > kMaxSubjects) f.resize(kMaxSubjects);
    RegexPattern kept(pattern);
    for (const std::string& subject : f) {
        bool too_costly = false;
        const std::string fresh = outcome([&] { return regexpr_exec(pattern, subject); }, too_costly);
        const std::string again = outcome([&] { return kept.exec(subject); }, too_costly);
        if (!too_costly && fresh != again)
            finding("pattern '" + shown(pattern) + "' on '" + shown(subject) + "': translated afresh " + shown(fresh) +
                    ", kept " + shown(again));
    }
    return 0;
}
