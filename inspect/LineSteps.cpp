#include "inspect/LineSteps.h"

#include <utility>

namespace kalvorin::inspect {

TakenApart take_apart(const std::string& line, const StepAnswer& answer) {
    TakenApart out;
    std::string at_end;
    out.end = walk_line(line, [&](std::size_t k, const WrittenTest& t) -> std::optional<bool> {
        LineStep& s = out.steps.emplace_back();
        static_cast<WrittenTest&>(s) = t;
        if (s.mode() != MatchMode::none) {
            const std::optional<bool> found = answer(k, s);
            if (!found) return std::nullopt;
            s.value = *found != s.negated();
        }
        return s.value;
    }, at_end);
    if (out.end == TakenApart::End::expression)
        out.expression = std::move(at_end);
    else
        out.steps.back().line_before = std::move(at_end);
    return out;
}

}  // namespace kalvorin::inspect
