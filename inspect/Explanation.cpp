#include "inspect/Explanation.h"

#include <string_view>

#include "CodigoComun/CapturaSpam.h"
#include "CodigoComun/Errors.h"
#include "CodigoComun/EvaluaExpresion.h"
#include "CodigoComun/RegExpr.h"
#include "CodigoComun/Texto.h"
#include "platform/ansi.h"

namespace kalvorin::inspect {

namespace {

// How far into the part trim's form begins.
std::size_t leading_blanks(const std::string& part) {
    std::size_t n = 0;
    while (n < part.size() && static_cast<unsigned char>(part[n]) <= 32) ++n;
    return n;
}

// How far into the part normaliza's form begins: it is trimmed only under
// the upper-case option.
std::size_t form_offset(const std::string& part, bool uppercase) { return uppercase ? leading_blanks(part) : 0; }

std::optional<Span> span_at(std::size_t pos, std::size_t length, std::size_t offset) {
    if (pos == std::string::npos) return std::nullopt;
    return Span{offset + pos, offset + pos + length};
}

// busca_texto's search: both texts end at their first NUL, and compare in
// ANSI upper case under the option.
std::optional<Span> find_contains(const std::string& text, const std::string& part, bool uppercase) {
    const std::string_view t = up_to_nul(text);
    const std::string_view s = up_to_nul(part);
    if (t.empty()) return std::nullopt;
    return span_at(uppercase ? platform::ansi_upper(s).find(platform::ansi_upper(t)) : s.find(t), t.size(), 0);
}

// busca_palabra's search: it judges only the first occurrence.
std::optional<Span> find_word(const std::string& text, const std::string& part, bool uppercase) {
    const std::string w = normaliza(text);
    if (w.empty()) return std::nullopt;
    return span_at(normaliza(part).find(w), w.size(), form_offset(part, uppercase));
}

struct Located {
    bool answer = false;
    std::optional<Span> found;
};

// The mode's answer from the filter code's own match functions, and where.
Located locate(const LineStep& s, const std::string& part, bool uppercase) {
    switch (s.mode()) {
        case MatchMode::contains: return {busca_texto(s.text, part), find_contains(s.text, part, uppercase)};
        case MatchMode::word: return {busca_palabra(s.text, part), find_word(s.text, part, uppercase)};
        case MatchMode::regexp: {
            const std::optional<RegexMatch> r = regexpr_find(s.text, normaliza(part));
            if (!r) return {};
            const std::size_t offset = form_offset(part, uppercase);
            return {true, Span{offset + r->begin, offset + r->end}};
        }
        case MatchMode::none: break;
    }
    return {};
}

}  // namespace

LineExplained explain_line(const std::string& line, const SeenMessage& m) {
    std::vector<std::optional<Span>> found;
    std::optional<std::string> raised;
    const TakenApart apart = take_apart(line, [&](std::size_t index, const LineStep& s) -> std::optional<bool> {
        found.resize(index + 1);
        try {
            const Located l = locate(s, m.parts[s.part], m.uppercase);
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
    const std::string& raw = m.parts.back();
    const std::string form = trim(plain_upper(raw));
    const std::string_view searched = up_to_nul(form);
    std::optional<Span> first;
    for (const std::string_view needle : {std::string_view("SRC=\"HTTP"), std::string_view("SRC=\\\"HTTP")}) {
        const std::optional<Span> at = span_at(searched.find(needle), needle.size(), leading_blanks(raw));
        if (at && (!first || at->begin < first->begin)) first = at;
    }
    return first;
}

}  // namespace kalvorin::inspect
