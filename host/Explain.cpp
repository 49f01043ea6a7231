#include "host/Explain.h"

#include <algorithm>
#include <cstdio>
#include <string_view>

#include "CodigoComun/ConfigSys.h"
#include "CodigoComun/FilterPlan.h"
#include "inspect/ListFiles.h"

namespace kalvorin::host {

namespace {

using inspect::LineExplained;
using inspect::Span;
using inspect::TakenApart;
using inspect::TestExplained;

constexpr std::size_t kContext = 24;   // bytes shown on each side of a match
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

std::string test_line(const TestExplained& t, const inspect::SeenMessage& m, bool last, TakenApart::End end) {
    const inspect::LineStep& s = t.step;
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

void print_line(std::ostream& out, const LineExplained& line, const inspect::SeenMessage& m) {
    for (std::size_t i = 0; i < line.tests.size(); ++i)
        out << test_line(line.tests[i], m, i + 1 == line.tests.size(), line.end) << "\n";
    if (line.end != TakenApart::End::expression) return;
    out << "    expression " << line.expression;
    if (line.value) out << " = " << *line.value << (*line.value > 0 ? ", a match" : ", no match") << "\n";
    else out << ": " << line.error.value_or("") << "\n";
}

void print_cap(std::ostream& out, const inspect::SeenMessage& m, bool up50kb) {
    if (!up50kb) {
        out << "  cap: off (up50kb), every part taken whole\n";
        return;
    }
    std::string cut;
    for (std::size_t k = 0; k < m.cut_from.size(); ++k) {
        if (m.cut_from[k] == 0) continue;
        cut += (cut.empty() ? "" : ", ") + std::string(kFieldKeywords[k]) + " cut from " +
               std::to_string(m.cut_from[k]) + " to 50000 bytes";
    }
    out << "  cap: " << (cut.empty() ? "no part above 50000 bytes" : cut) << "\n";
}

std::string image_reason(const inspect::Verdict& v, const inspect::PassSettings& s) {
    const std::string rule = "extimg is \"" + s.extimg + "\"";
    switch (v.image) {
        case inspect::ImageRule::unchanged: return rule + ": the score stands";
        case inspect::ImageRule::kept:
            return rule + (s.extimg == "susp" ? " but a list decided" : " but the score is neither 0 nor the suspect score") +
                   ": the score stands";
        case inspect::ImageRule::to_suspect: return rule + " and no list decided: the suspect score";
        case inspect::ImageRule::to_trash:
            return rule + (v.list_score == 0 ? " and no list decided" : " and the score was the suspect score") +
                   ": the trash score";
        case inspect::ImageRule::no_image: break;
    }
    return std::string();
}

void print_image(std::ostream& out, const inspect::Explained& e, const inspect::Evaluation& ev,
                 const inspect::SeenMessage& m) {
    const inspect::Verdict& v = e.verdict;
    if (v.error) {
        out << "  external image: not looked for, the scoring stopped\n";
    } else if (v.image == inspect::ImageRule::no_image || !e.image_at) {
        out << "  external image: none referred to\n";
    } else {
        out << "  external image: referred to at " << e.image_at->begin << ": "
            << excerpt(m.parts.back(), *e.image_at) << "; " << image_reason(v, ev.settings()) << "\n";
    }
}

}  // namespace

inspect::HostParts host_parts(const MessageParts& parts) { return parts.text; }

std::string describe_line(const inspect::Evaluation& ev, std::size_t base, inspect::LineAt at) {
    return std::string(inspect::list_name(at.list)) + " line " + std::to_string(at.number) + ": " +
           ev.line(base, at);
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

Explainer::Explainer(std::ostream& out)
    : out_(out),
      ev_(inspect::PassSettings::from_store(), {inspect::read_lists(get_basefolder())}) {}

bool Explainer::message(const std::string& label, const MessageParts& parts) {
    const inspect::SeenMessage m = inspect::see(host_parts(parts), ev_.settings());
    const inspect::Explained e = ev_.explain(m);
    const inspect::Verdict& v = e.verdict;
    out_ << v.score << "\t" << label << "\n";
    if (v.decided) {
        out_ << "  decided by " << describe_line(ev_, 0, *v.decided) << "\n";
    } else if (v.stopped) {
        out_ << "  scoring stopped at " << describe_line(ev_, 0, *v.stopped) << "\n";
    } else if (v.error) {
        out_ << "  scoring stopped before the list pass\n";
    } else {
        out_ << "  no line decides\n";
    }
    if (e.line) print_line(out_, *e.line, m);
    if (v.error) out_ << "  error: " << *v.error << "\n  score reached: " << v.score << "\n";
    print_cap(out_, m, ev_.settings().up50kb);
    print_image(out_, e, ev_, m);
    return v.error.has_value();
}

}  // namespace kalvorin::host
