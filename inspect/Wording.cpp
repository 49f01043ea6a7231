#include "inspect/Wording.h"

#include <array>

#include "CodigoComun/LogLines.h"

namespace kalvorin::inspect {

namespace {

// In Told's order; the English language file holds these lines as they are.
constexpr std::array<std::string_view, static_cast<std::size_t>(Told::count)> kEnglish = {
    "%1 line %2: %3",
    "decided by %1",
    "scoring stopped at %1",
    "scoring stopped before the list pass",
    "no line decides",
    "passed over: the pattern is too costly for this text: %1",
    "error: %1",
    "score reached: %1",
    "cut off before its delimiter",
    "\"%1\" selects no match mode",
    "contains",
    "whole word",
    "pattern",
    "no mode",
    "%1 in %2: %3",
    "%1, negated",
    "%1: the line cannot be taken apart here",
    "%1: the test is not in the line as rewritten, the line cannot be taken apart here",
    "raises %1",
    "no match",
    "not found",
    "matches at %1: %2",
    "first found at %1: %2, not a whole word",
    "found at %1: %2",
    "expression %1 = %2, a match",
    "expression %1 = %2, no match",
    "expression %1: %2",
    "cap: off (up50kb), every part taken whole",
    "cap: %1",
    "%1 cut from %2 to 50000 bytes",
    "no part above 50000 bytes",
    "external image: not looked for, the scoring stopped",
    "external image: none referred to",
    "external image: referred to at %1: %2; %3",
    "extimg is \"%1\": the score stands",
    "extimg is \"%1\" but a list decided: the score stands",
    "extimg is \"%1\" but the score is neither 0 nor the suspect score: the score stands",
    "extimg is \"%1\" and no list decided: the suspect score",
    "extimg is \"%1\" and no list decided: the trash score",
    "extimg is \"%1\" and the score was the suspect score: the trash score",
    "scoring stopped at %1 (%2)",
    "scoring stopped before the list pass (%1)",
    "no line decides, the external-image rule scores",
    "%1: cut by the cap from %2 to 50000 bytes, as the filters saw it",
    "%1: the log trimmed %2 (blanks or line ends) from its ends; tests that look at them may answer differently",
    "%1 character",
    "%1 characters",
    "at least %1 character",
    "at least %1 characters",
    "%1: not recovered whole from the log; tests on it may answer differently",
    "before: %1",
    "after:  %1",
    "none",
    "image",
    "stopped",
};

// The log writes the same words; an account read beside the log says them alike.
static_assert(kEnglish[static_cast<std::size_t>(Told::passed_over)].substr(0, log_lines::kPassedOver.size()) ==
              log_lines::kPassedOver);

}  // namespace

std::string_view english_template(Told t) { return kEnglish[static_cast<std::size_t>(t)]; }

std::string told(Told t, const Wording& wording, std::initializer_list<std::string> values) {
    const std::string given = wording ? wording(t) : std::string();
    const std::string_view tmpl = given.empty() ? english_template(t) : std::string_view(given);
    std::string out;
    for (std::size_t i = 0; i < tmpl.size(); ++i) {
        const char next = i + 1 < tmpl.size() ? tmpl[i + 1] : '\0';
        if (tmpl[i] != '%' || !(next == '%' || (next >= '1' && next <= '9'))) {
            out += tmpl[i];
            continue;
        }
        ++i;
        if (next == '%') out += '%';
        else if (const auto v = static_cast<std::size_t>(next - '1'); v < values.size()) out += values.begin()[v];
    }
    return out;
}

}  // namespace kalvorin::inspect
