#include "inspect/LineSteps.h"

#include <string_view>

#include "CodigoComun/CapturaSpam.h"
#include "CodigoComun/Texto.h"

namespace kalvorin::inspect {

namespace {

std::string char_at(const std::string& line, std::size_t pos) {
    return pos < line.size() ? line.substr(pos, 1) : std::string();
}

LineStep step_at(const std::string& line, std::size_t p, std::size_t part) {
    LineStep s;
    s.keyword = line.substr(p, kFieldKeywords[part].size());
    s.op = char_at(line, p + 5);
    s.delim = char_at(line, p + 6);
    s.part = part;
    if (!s.delim.empty()) {
        const std::size_t close = line.find(s.delim[0], p + 7);
        s.text = line.substr(p + 7, close == std::string::npos ? std::string::npos : close - (p + 7));
    }
    return s;
}

}  // namespace

TakenApart take_apart(const std::string& line, const StepAnswer& answer) {
    TakenApart out;
    std::string current = line;
    for (std::size_t part = 0; part < kFieldKeywords.size(); ++part) {
        for (std::size_t p = plain_upper(current).find(kFieldKeywords[part]); p != std::string::npos;
             p = plain_upper(current).find(kFieldKeywords[part])) {
            LineStep& s = out.steps.emplace_back(step_at(current, p, part));
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
