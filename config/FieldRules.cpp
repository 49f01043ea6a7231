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

bool fits_typed_length(const std::u16string& text, std::size_t max) { return text.size() <= max; }

}  // namespace kalvorin::config
