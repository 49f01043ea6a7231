#include "inspect/LineSteps.h"

#include <string_view>

#include "CodigoComun/CapturaSpam.h"
#include "CodigoComun/Texto.h"

namespace kalvorin::inspect {

TakenApart take_apart(const std::string& line, const StepAnswer& answer) {
    TakenApart out;
    std::string current = line;
    for (std::size_t part = 0; part < kFieldKeywords.size(); ++part) {
        for (std::size_t p = plain_upper(current).find(kFieldKeywords[part]); p != std::string::npos;
             p = plain_upper(current).find(kFieldKeywords[part])) {
            LineStep& s = out.steps.emplace_back();
            static_cast<WrittenTest&>(s) = read_test(current, p, part);
            if (s.mode() != MatchMode::none) {
                const std::optional<bool> found = answer(out.steps.size() - 1, s);
                if (!found) {
                    s.line_before = current;
                    out.end = TakenApart::End::stopped;
                    return out;
                }
                s.value = *found != s.negated();
            }
            if (s.delim.empty()) {
                s.line_before = current;
                out.end = TakenApart::End::no_delimiter;
                return out;
            }
            if (replace_test(current, s.test_text(), s.value ? "1" : "0") == 0) {
                s.line_before = current;  // nothing was replaced
                out.end = TakenApart::End::not_in_line;
                return out;
            }
        }
    }
    out.expression = std::move(current);
    return out;
}

}  // namespace kalvorin::inspect
