#pragma once
// The rules of the window's one-line text boxes, without the widgets: what a
// box keeps of a change. Texts are the box's UTF-16 code units.
#include <cstddef>
#include <string>

namespace kalvorin::config {

// A box's text and cursor position after a change.
struct BoxEdit {
    std::u16string text;
    std::size_t cursor;
};

// A one-line box, as the platform's single-line edit box: of a text pasted or
// dropped in, only what comes before its first line break is kept, and the
// box's own text around it stays.
BoxEdit first_line_only(BoxEdit edit);

// A box that takes at most `max` typed characters, as the platform's edit box
// with a text limit: what a change inserted (it ends at the cursor) is cut to
// the room left, so a paste keeps its first characters. A text set from code
// may be longer; it takes nothing more, but may be shortened.
BoxEdit limit_typed(const std::u16string& before, BoxEdit after, std::size_t max);

}  // namespace kalvorin::config
