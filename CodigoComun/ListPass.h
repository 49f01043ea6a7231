#pragma once
// The list pass's rules, shared by the plug-in, the tools that replay its
// scoring and the window's filter test: how the parts reach the filter code,
// which lines are tried and the lists' scores. The external-image rule that
// follows the pass is in ExtImgRule.h.
#include <cstddef>
#include <cstdint>
#include <string>

#include "CodigoComun/CapturaSpam.h"
#include "CodigoComun/Errors.h"
#include "CodigoComun/ListLine.h"

namespace kalvorin {

// Under the up50kb option a part reaches the filter code cut to this many
// bytes (50000, not 50 KiB).
inline constexpr std::size_t kPartCap = 50000;

// Cuts the part as the option asks; whether it was cut.
inline bool cap_part(std::string& part, bool up50kb) {
    if (!up50kb || part.size() <= kPartCap) return false;
    part.resize(kPartCap);
    return true;
}

// The filter code never sees an empty part: it gets ":" instead.
inline void fill_if_empty(std::string& part) {
    if (part.empty()) part.assign(1, ':');
}

// A score of 0 means "no list matched", so no list may score 0.
inline void replace_zero_scores(std::int32_t& secure, std::int32_t& trash, std::int32_t& suspect) {
    if (secure == 0) secure = -1;
    if (trash == 0) trash = 1;
    if (suspect == 0) suspect = 1;
}

// What one line of a list did for the message.
enum class LineOutcome {
    no_match,     // a comment, or a filter line that does not match
    match,        // the line decides
    passed_over,  // a pattern of the line ran out of its work budget on this message
};

// One line of a list: a comment is passed over, a filter line goes to
// filtred as it stands. A line whose pattern is too costly for this message's
// text decides nothing for it and the pass goes on: the sender writes the
// text, and would otherwise switch every later line off. Raises what else
// filtred raises (a pattern that does not compile, a line that cannot be
// evaluated): those fail alike for every message.
inline LineOutcome try_line(const std::string& line) {
    if (!is_filter_line(line)) return LineOutcome::no_match;
    try {
        return searcher::filtred(line) ? LineOutcome::match : LineOutcome::no_match;
    } catch (const ERegExprTooCostly&) {
        return LineOutcome::passed_over;
    }
}

}  // namespace kalvorin
