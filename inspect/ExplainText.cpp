#include "inspect/ExplainText.h"

#include <algorithm>
#include <cstdio>
#include <string_view>

#include "CodigoComun/ExtImgRule.h"
#include "CodigoComun/FilterPlan.h"
#include "inspect/ListFiles.h"

namespace kalvorin::inspect {

namespace {

constexpr std::size_t kContext = 24;     // bytes shown on each side of a match
constexpr std::size_t kMatchShown = 60;  // a longer match shows its two ends

// The indents and the " -> 1" of a test are the account's layout, the same in
// every language: they stay outside the templates.


Told mode_told(MatchMode mode) {
    switch (mode) {
        case MatchMode::contains: return Told::mode_contains;
        case MatchMode::word: return Told::mode_word;
        case MatchMode::regexp: return Told::mode_pattern;
        case MatchMode::none: break;
    }
    return Told::mode_none;
}

// Where the test's mode looked and what it found, in words.
std::string finding(const TestExplained& t, const std::string& part, bool answer, const Wording& w) {
    if (t.error) return told(Told::raises, w, {*t.error});
    if (!t.found) return told(t.step.mode() == MatchMode::regexp ? Told::no_match : Told::not_found, w);
    const std::string at = std::to_string(t.found->begin);
    const std::string shown = excerpt(part, *t.found);
    if (t.step.mode() == MatchMode::regexp) return told(Told::matches_at, w, {at, shown});
    return told(answer ? Told::found_at : Told::not_whole_word, w, {at, shown});
}

std::string test_line(const TestExplained& t, const SeenMessage& m, bool last, TakenApart::End end,
                      const Wording& w) {
    const LineStep& s = t.step;
    std::string said;
    if (s.mode() == MatchMode::none) {
        said = s.delim.empty() ? told(Told::cut_off, w) : told(Told::no_mode, w, {s.delim});
    } else {
        const bool answer = s.value != s.negated();
        said = told(Told::looked_in, w,
                    {told(mode_told(s.mode()), w), std::string(kFieldKeywords[s.part]),
                     finding(t, m.parts[s.part], answer, w)});
        if (s.negated()) said = told(Told::negated, w, {said});
    }
    if (last && end == TakenApart::End::no_delimiter) said = told(Told::not_apart, w, {said});
    if (last && end == TakenApart::End::not_in_line) said = told(Told::not_in_line, w, {said});
    const std::string out = "    " + (s.delim.empty() ? s.keyword + s.op : s.test_text()) + "  " + said;
    if (last && end != TakenApart::End::expression) return out;
    return out + " -> " + (s.value ? "1" : "0");
}

void line_lines(std::vector<std::string>& out, const LineExplained& line, const SeenMessage& m, const Wording& w) {
    for (std::size_t i = 0; i < line.tests.size(); ++i)
        out.push_back(test_line(line.tests[i], m, i + 1 == line.tests.size(), line.end, w));
    if (line.end != TakenApart::End::expression) return;
    if (line.value)
        out.push_back("    " + told(*line.value > 0 ? Told::expression_match : Told::expression_no_match, w,
                                    {line.expression, std::to_string(*line.value)}));
    else
        out.push_back("    " + told(Told::expression_error, w, {line.expression, line.error.value_or("")}));
}

std::string cap_line(const SeenMessage& m, bool up50kb, const Wording& w) {
    if (!up50kb) return "  " + told(Told::cap_off, w);
    std::string cut;
    for (std::size_t k = 0; k < m.cut_from.size(); ++k) {
        if (m.cut_from[k] == 0) continue;
        cut += (cut.empty() ? "" : ", ") +
               told(Told::cap_cut, w, {std::string(kFieldKeywords[k]), std::to_string(m.cut_from[k])});
    }
    return "  " + told(Told::cap, w, {cut.empty() ? told(Told::cap_none, w) : cut});
}

// What the rule did, for image_line, which asks only once an image was found.
Told image_reason(const Verdict& v, const PassSettings& s) {
    switch (v.image) {
        case ImageRule::kept:
            return extimg_rule(s.extimg) == ExtImgRule::suspect ? Told::image_kept_list : Told::image_kept_score;
        case ImageRule::to_suspect: return Told::image_suspect;
        case ImageRule::to_trash: return v.list_score == 0 ? Told::image_trash : Told::image_trash_suspect;
        case ImageRule::unchanged:
        case ImageRule::no_image: break;
    }
    return Told::image_stands;
}

std::string image_line(const Explained& e, const PassSettings& s, const SeenMessage& m, const Wording& w) {
    const Verdict& v = e.verdict;
    if (v.error) return "  " + told(Told::image_stopped, w);
    if (v.image == ImageRule::no_image || !e.image_at) return "  " + told(Told::image_none, w);
    return "  " + told(Told::image_at, w,
                       {std::to_string(e.image_at->begin), excerpt(m.parts.back(), *e.image_at),
                        told(image_reason(v, s), w, {s.extimg})});
}

}  // namespace

void escaped(std::string& out, std::string_view bytes) {
    for (const char c : bytes) {
        const auto u = static_cast<unsigned char>(c);
        if (c == '\n') out += "\\n";
        else if (c == '\r') out += "\\r";
        else if (c == '\t') out += "\\t";
        else if (u < 32 || u == 127) {
            char hex[5];
            std::snprintf(hex, sizeof hex, "\\x%02X", u);
            out += hex;
        } else {
            out += c;
        }
    }
}

std::string describe_line(const Evaluation& ev, std::size_t base, LineAt at, const Wording& w) {
    return told(Told::line_at, w, {std::string(list_name(at.list)), std::to_string(at.number), ev.line(base, at)});
}

std::string excerpt(const std::string& part, Span span) {
    const std::size_t from = span.begin > kContext ? span.begin - kContext : 0;
    const std::size_t to = std::min(part.size(), span.end + kContext);
    const std::string_view text = part;
    std::string out = from > 0 ? "..." : "";
    escaped(out, text.substr(from, span.begin - from));
    out += "[[";
    const std::string_view match = text.substr(span.begin, span.end - span.begin);
    if (match.size() <= kMatchShown) {
        escaped(out, match);
    } else {
        escaped(out, match.substr(0, kMatchShown / 2));
        out += "...";
        escaped(out, match.substr(match.size() - kMatchShown / 2));
    }
    out += "]]";
    escaped(out, text.substr(span.end, to - span.end));
    if (to < part.size()) out += "...";
    return out;
}

std::vector<std::string> account_lines(const Evaluation& ev, const SeenMessage& m, const Explained& e,
                                       std::size_t base, const Wording& w) {
    const Verdict& v = e.verdict;
    std::vector<std::string> out;
    if (v.decided) out.push_back("  " + told(Told::decided_by, w, {describe_line(ev, base, *v.decided, w)}));
    else if (v.stopped) out.push_back("  " + told(Told::stopped_at, w, {describe_line(ev, base, *v.stopped, w)}));
    else if (v.error) out.push_back("  " + told(Told::stopped_before, w));
    else out.push_back("  " + told(Told::no_line, w));
    if (e.line) line_lines(out, *e.line, m, w);
    for (const LineAt& at : v.passed_over)
        out.push_back("  " + told(Told::passed_over, w, {describe_line(ev, base, at, w)}));
    if (v.error) {
        out.push_back("  " + told(Told::error, w, {*v.error}));
        out.push_back("  " + told(Told::score_reached, w, {std::to_string(v.score)}));
    }
    out.push_back(cap_line(m, ev.settings().up50kb, w));
    out.push_back(image_line(e, ev.settings(), m, w));
    return out;
}

std::string decider(const Verdict& v, const Wording& w) {
    if (v.error) return told(Told::decider_stopped, w);
    if (v.decided) return list_name(v.decided->list);
    return told(v.score != 0 ? Told::decider_image : Told::decider_none, w);
}

std::string account(const Evaluation& ev, std::size_t base, const Verdict& v, const Wording& w) {
    if (v.stopped) return told(Told::stopped_at_why, w, {describe_line(ev, base, *v.stopped, w), *v.error});
    if (v.error) return told(Told::stopped_before_why, w, {*v.error});
    if (v.decided) return describe_line(ev, base, *v.decided, w);
    return told(v.score != 0 ? Told::no_line_image : Told::no_line, w);
}

}  // namespace kalvorin::inspect
