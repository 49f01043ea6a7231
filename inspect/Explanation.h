#pragma once
// How one filter line came to its value for a message: each field test's
// answer and where its text or pattern was found in its part.
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "CodigoComun/FieldTests.h"
#include "inspect/LineSteps.h"
#include "kalvorin/parts.h"

namespace kalvorin::inspect {

// A message as the filter code sees it.
struct SeenMessage {
    FieldParts parts;
    std::array<std::size_t, kPartCount> cut_from{};  // a part's length from the host when the cap cut it, else 0
};

// Byte offsets into a part as the filter code sees it, end not included.
struct Span {
    std::size_t begin = 0, end = 0;
};

struct TestExplained {
    LineStep step;
    // Where the mode found its text: the first occurrence (for the whole-word
    // mode the one it judges, bounded by separators or not), or the match.
    std::optional<Span> found;
    std::optional<std::string> error;  // what the mode raised
};

struct LineExplained {
    std::vector<TestExplained> tests;
    TakenApart::End end = TakenApart::End::expression;
    std::string expression;             // when the line was rewritten whole
    std::optional<std::int32_t> value;  // evalua's value of it
    std::optional<std::string> error;   // or what evalua raised
};

// REQUIRES: the searcher holds this message (Evaluation::score on it last),
// since the match modes read its upper-case flag.
LineExplained explain_line(const std::string& line, const SeenMessage& m);

// Where the raw message refers to an external image as haveimg finds it:
// the first "SRC=" and a quotation mark (or a backslash and one) before
// "HTTP", in any letter case.
std::optional<Span> image_reference(const SeenMessage& m);

}  // namespace kalvorin::inspect
