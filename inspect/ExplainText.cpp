#include "inspect/ExplainText.h"

#include <algorithm>
#include <cstdio>
#include <string_view>

#include "CodigoComun/ExtImgRule.h"
#include "CodigoComun/FilterPlan.h"
#include "CodigoComun/LogLines.h"
#include "inspect/ListFiles.h"

namespace kalvorin::inspect {

namespace {

constexpr std::size_t kContext = 24;     // bytes shown on each side of a match
constexpr std::size_t kMatchShown = 60;  // a longer match shows its two ends

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

const char* mode_name(MatchMode mode) {
    switch (mode) {
        case MatchMode::contains: return "contains";
        case MatchMode::word: return "whole word";
        case MatchMode::regexp: return "pattern";
        case MatchMode::none: break;
    }
    return "no mode";
}

// Where the test's mode looked and what it found, in words.
std::string finding(const TestExplained& t, const std::string& part, bool answer) {
    if (t.error) return "raises " + *t.error;
    if (!t.found) return t.step.mode() == MatchMode::regexp ? "no match" : "not found";
    const std::string where = std::to_string(t.found->begin) + ": " + excerpt(part, *t.found);
    if (t.step.mode() == MatchMode::regexp) return "matches at " + where;
    if (!answer) return "first found at " + where + ", not a whole word";
    return "found at " + where;
}

std::string test_line(const TestExplained& t, const SeenMessage& m, bool last, TakenApart::End end) {
    const LineStep& s = t.step;
    std::string out = "    " + (s.delim.empty() ? s.keyword + s.op : s.test_text()) + "  ";
    if (s.mode() == MatchMode::none) {
        out += s.delim.empty() ? "cut off before its delimiter" : "\"" + s.delim + "\" selects no match mode";
    } else {
        const bool answer = s.value != s.negated();
        out += std::string(mode_name(s.mode())) + " in " + std::string(kFieldKeywords[s.part]) + ": " +
               finding(t, m.parts[s.part], answer);
        if (s.negated()) out += ", negated";
    }
    if (last && end == TakenApart::End::no_delimiter) return out + ": the line cannot be taken apart here";
    if (last && end == TakenApart::End::not_in_line)
        return out + ": the test is not in the line as rewritten, the line cannot be taken apart here";
    if (last && end == TakenApart::End::stopped) return out;
    return out + " -> " + (s.value ? "1" : "0");
}

void line_lines(std::vector<std::string>& out, const LineExplained& line, const SeenMessage& m) {
    for (std::size_t i = 0; i < line.tests.size(); ++i)
        out.push_back(test_line(line.tests[i], m, i + 1 == line.tests.size(), line.end));
    if (line.end != TakenApart::End::expression) return;
    std::string text = "    expression " + line.expression;
    if (line.value)
        text += " = " + std::to_string(*line.value) + (*line.value > 0 ? ", a match" : ", no match");
    else
        text += ": " + line.error.value_or("");
    out.push_back(std::move(text));
}

std::string cap_line(const SeenMessage& m, bool up50kb) {
    if (!up50kb) return "  cap: off (up50kb), every part taken whole";
    std::string cut;
    for (std::size_t k = 0; k < m.cut_from.size(); ++k) {
        if (m.cut_from[k] == 0) continue;
        cut += (cut.empty() ? "" : ", ") + std::string(kFieldKeywords[k]) + " cut from " +
               std::to_string(m.cut_from[k]) + " to 50000 bytes";
    }
    return "  cap: " + (cut.empty() ? std::string("no part above 50000 bytes") : cut);
}

std::string image_reason(const Verdict& v, const PassSettings& s) {
    const std::string rule = "extimg is \"" + s.extimg + "\"";
    switch (v.image) {
        case ImageRule::unchanged: return rule + ": the score stands";
        case ImageRule::kept:
            return rule + (extimg_rule(s.extimg) == ExtImgRule::suspect ? " but a list decided" : " but the score is neither 0 nor the suspect score") +
                   ": the score stands";
        case ImageRule::to_suspect: return rule + " and no list decided: the suspect score";
        case ImageRule::to_trash:
            return rule + (v.list_score == 0 ? " and no list decided" : " and the score was the suspect score") +
                   ": the trash score";
        case ImageRule::no_image: break;
    }
    return std::string();
}

std::string image_line(const Explained& e, const PassSettings& s, const SeenMessage& m) {
    const Verdict& v = e.verdict;
    if (v.error) return "  external image: not looked for, the scoring stopped";
    if (v.image == ImageRule::no_image || !e.image_at) return "  external image: none referred to";
    return "  external image: referred to at " + std::to_string(e.image_at->begin) + ": " +
           excerpt(m.parts.back(), *e.image_at) + "; " + image_reason(v, s);
}

}  // namespace

std::string describe_line(const Evaluation& ev, std::size_t base, LineAt at) {
    return std::string(list_name(at.list)) + " line " + std::to_string(at.number) + ": " + ev.line(base, at);
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
                                       std::size_t base) {
    const Verdict& v = e.verdict;
    std::vector<std::string> out;
    if (v.decided) out.push_back("  decided by " + describe_line(ev, base, *v.decided));
    else if (v.stopped) out.push_back("  scoring stopped at " + describe_line(ev, base, *v.stopped));
    else if (v.error) out.push_back("  scoring stopped before the list pass");
    else out.push_back("  no line decides");
    if (e.line) line_lines(out, *e.line, m);
    for (const LineAt& at : v.passed_over)
        out.push_back("  " + std::string(log_lines::kPassedOver) + ": " + describe_line(ev, base, at));
    if (v.error) {
        out.push_back("  error: " + *v.error);
        out.push_back("  score reached: " + std::to_string(v.score));
    }
    out.push_back(cap_line(m, ev.settings().up50kb));
    out.push_back(image_line(e, ev.settings(), m));
    return out;
}

std::string decider(const Verdict& v) {
    if (v.error) return "stopped";
    if (v.decided) return list_name(v.decided->list);
    if (v.score != 0) return "image";
    return "none";
}

std::string account(const Evaluation& ev, std::size_t base, const Verdict& v) {
    if (v.stopped) return "scoring stopped at " + describe_line(ev, base, *v.stopped) + " (" + *v.error + ")";
    if (v.error) return "scoring stopped before the list pass (" + *v.error + ")";
    if (v.decided) return describe_line(ev, base, *v.decided);
    return v.score != 0 ? "no line decides, the external-image rule scores" : "no line decides";
}

}  // namespace kalvorin::inspect
