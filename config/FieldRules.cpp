#include "config/FieldRules.h"

#include <algorithm>

namespace kalvorin::config {

namespace {
bool is_break(char16_t c) { return c == u'\r' || c == u'\n'; }
}  // namespace

// The box never holds a break, so every break lies in the text just
// inserted, which ends at the cursor.
BoxEdit first_line_only(BoxEdit edit) {
    std::u16string& input = edit.text;
    const auto first = std::find_if(input.cbegin(), input.cend(), is_break);
    if (first == input.cend()) return edit;
    const auto last = std::find_if(input.crbegin(), input.crend(), is_break);
    const std::size_t from = static_cast<std::size_t>(first - input.cbegin());
    const std::size_t to = std::max<std::size_t>(edit.cursor, static_cast<std::size_t>(input.crend() - last));
    input.erase(from, to - from);
    edit.cursor = from;
    return edit;
}

BoxEdit limit_typed(const std::u16string& before, BoxEdit after, std::size_t max) {
    const std::u16string& text = after.text;
    if (text.size() <= before.size() || text.size() <= max) return after;
    // The inserted text lies between the part kept before it, which ends no
    // later than the cursor, and the part kept after it.
    const std::size_t limit = std::min(after.cursor, before.size());
    std::size_t prefix = 0;
    while (prefix < limit && before[prefix] == text[prefix]) ++prefix;
    std::size_t suffix = 0;
    while (prefix + suffix < before.size() && before[before.size() - 1 - suffix] == text[text.size() - 1 - suffix])
        ++suffix;
    const std::size_t kept = prefix + suffix;
    const std::size_t room = kept < max ? max - kept : 0;
    after.text = text.substr(0, prefix + room) + text.substr(text.size() - suffix);
    after.cursor = prefix + room;
    return after;
}

}  // namespace kalvorin::config
