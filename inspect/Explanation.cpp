#include "inspect/Explanation.h"

#include "CodigoComun/CapturaSpam.h"
#include "CodigoComun/Errors.h"
#include "CodigoComun/EvaluaExpresion.h"

namespace kalvorin::inspect {

namespace {

struct Located {
    bool answer = false;
    std::optional<Span> found;
};

// The mode's answer from the filter code's own matcher, and where.
Located locate(const LineStep& s, const std::string& part) {
    ModeMatch m;
    switch (s.mode()) {
        case MatchMode::contains: m = match_texto(s.text, part); break;
        case MatchMode::word: m = match_palabra(s.text, part); break;
        case MatchMode::regexp: m = match_regexp(s.text, part); break;
        case MatchMode::none: break;
    }
    Located l{m.answer, std::nullopt};
    if (m.at) l.found = Span{m.at->first, m.at->second};
    return l;
}

}  // namespace

LineExplained explain_line(const std::string& line, const SeenMessage& m) {
    std::vector<std::optional<Span>> found;
    std::optional<std::string> raised;
    const TakenApart apart = take_apart(line, [&](std::size_t index, const LineStep& s) -> std::optional<bool> {
        found.resize(index + 1);
        try {
            const Located l = locate(s, m.parts[s.part]);
            found[index] = l.found;
            return l.answer;
        } catch (const ERegExpr& e) {
            raised = e.what();
            return std::nullopt;
        }
    });
    found.resize(apart.steps.size());
    LineExplained out;
    for (std::size_t i = 0; i < apart.steps.size(); ++i) out.tests.push_back({apart.steps[i], found[i], {}});
    if (raised) out.tests.back().error = raised;
    out.end = apart.end;
    out.expression = apart.expression;
    if (apart.end == TakenApart::End::expression) {
        try {
            out.value = evalua(apart.expression);
        } catch (const KalvorinError& e) {
            out.error = e.what();
        }
    }
    return out;
}

std::optional<Span> image_reference(const SeenMessage& m) {
    const auto at = image_source_at(m.parts.back());
    if (!at) return std::nullopt;
    return Span{at->first, at->second};
}

}  // namespace kalvorin::inspect
