#include "tools/Lint.h"

#include <algorithm>
#include <map>
#include <optional>
#include <set>
#include <unordered_map>

#include "CodigoComun/CapturaSpam.h"
#include "CodigoComun/CodePage.h"
#include "CodigoComun/DefaultLists.h"
#include "CodigoComun/Errors.h"
#include "CodigoComun/FilterPlan.h"
#include "CodigoComun/ListLine.h"
#include "CodigoComun/RegExpr.h"
#include "CodigoComun/Texto.h"
#include "CodigoComun/TrxFacts.h"
#include "tools/LineFacts.h"
#include "tools/LineSyntax.h"

namespace kalvorin::lint {

namespace {

// Long enough for a repeat that can divide its input in many ways to exceed
// the engine's bounds at one start position, short enough that a pattern
// whose work merely grows with the text stays well inside them.
constexpr std::size_t kHostileLength = 1000;
// Texts made from a pattern's pieces grow by doubling from kHostileLength up
// to the longest part the plug-in hands over with its cap on: a pattern whose
// work grows with the square of the text outgrows its budget somewhere on the
// way, and the first length that does is the one reported.
constexpr std::size_t kLongestPart = 50000;

struct LineAt {
    std::size_t list = 0, number = 0;
};

// A line's place as the templates name it: its list, its number.
std::vector<std::string> place(LineAt at) { return {inspect::list_name(at.list), std::to_string(at.number)}; }

// What a pattern's findings say, each ready for its line.
struct PatternCheck {
    std::optional<Words> error;  // it does not compile, for every text or for a generated one
    std::optional<Words> cost;   // it runs out of its budget on a generated text
};

// The engine as the filter code runs it: a subject in normaliza's form. A
// pattern out of its budget passes its line over; any other error stops the
// scoring.
void try_texts(RegexPattern& compiled, const std::string& shown, const std::vector<HostileText>& texts,
               bool uppercase, PatternCheck& c) {
    for (const HostileText& t : texts) {
        const std::string length = std::to_string(t.text.size());
        try {
            compiled.exec(uppercase ? trim(plain_upper(t.text)) : t.text);
        } catch (const ERegExprTooCostly& e) {
            c.cost = Words{Says::regex_costly, {shown, length, e.what(), t.recipe}};
            return;
        } catch (const ERegExpr& e) {
            c.error = Words{Says::regex_fails, {shown, length, e.what(), t.recipe}};
            return;
        }
    }
}

PatternCheck check_pattern(const std::string& pattern, bool uppercase) {
    PatternCheck c;
    const std::string shown = "%" + pattern + "%";
    RegexPattern compiled(pattern);
    try {
        compiled.exec("");
    } catch (const ERegExpr& e) {
        c.error = Words{Says::regex_compile, {shown, e.what()}};
        return c;
    }
    try_texts(compiled, shown, trx_hostile_texts(pattern, kHostileLength), uppercase, c);
    for (std::size_t length = kHostileLength; !c.cost && !c.error; length *= 2) {
        const std::vector<HostileText> texts = trx_piece_texts(pattern, std::min(length, kLongestPart));
        if (texts.empty()) break;
        try_texts(compiled, shown, texts, uppercase, c);
        if (length >= kLongestPart) break;
    }
    return c;
}

bool is_placeholder(const std::string& line) {
    return std::find(kPlaceholderLines.begin(), kPlaceholderLines.end(), line) != kPlaceholderLines.end();
}

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

// Both readings of a line saved as UTF-8, each named: the plug-in's, and
// the one its writer saw.
std::optional<Remark> utf8_text(const std::string& line) {
    const bool mark = line.starts_with(kByteOrderMark);
    if (!mark && !looks_like_utf8(line)) return std::nullopt;
    const Says why = mark ? Says::utf8_mark : Says::utf8;
    if (const std::optional<std::string> fixed = utf8_fix(line))
        return Remark{{Says::utf8_readings, {line, *fixed}, why}, {Says::fix_utf8, {}}};
    return Remark{{Says::utf8_unfit, {line}, why}, {Says::fix_utf8_unfit, {}}};
}

// What to change in a line that stops the scoring: what the reading from
// the left finds first, else what the plug-in's steps tell.
Words stop_fix(const Words& stop, const LineSyntax& syntax) {
    if (stop.says == Says::stops_refused) return {Says::fix_overlong, {std::to_string(kLongestLine)}};
    if (syntax.fault) return *syntax.fault;
    if (!syntax.remarks.empty()) return syntax.remarks.front().fix;
    return {Says::fix_stops_other, {}};
}

Words never_found_fix(const NeverFound& n, const std::string& line) {
    const std::vector<std::string> values = {n.shown, std::to_string(column_of(line, n.shown))};
    switch (n.why) {
        case Says::why_nul: return {Says::fix_nul, values};
        case Says::why_lower: return {Says::fix_lower, values};
        default: return {Says::fix_empty_text, values};
    }
}

// The test whose delimited text is `delimited` (a pattern between its %),
// as the line holds it, and its column; the pattern alone, without a column,
// when an earlier test's digit brought it into the line.
std::vector<std::string> test_holding(const std::string& line, const std::string& delimited) {
    const std::size_t at = line.find(delimited);
    if (at == std::string::npos || at < kDelimiterAt) return {delimited, "?"};
    return {line.substr(at - kDelimiterAt, delimited.size() + kDelimiterAt), std::to_string(at - kDelimiterAt + 1)};
}

class Checker {
public:
    explicit Checker(bool uppercase) : uppercase_(uppercase), examiner_(uppercase) {}

    void line(LineAt at, const std::string& text) {
        if (!is_filter_line(text)) {
            if (!text.empty() && reads_as_filter(text)) ++report_.disabled_comments;
            return;
        }
        ++report_.filter_lines;
        const std::size_t first = report_.findings.size();
        const LineFacts f = examiner_.facts(text);
        const LineSyntax syntax = read_syntax(text);
        if (f.stop) add(at, Kind::stops, *f.stop, stop_fix(*f.stop, syntax));
        // A line whose pattern may raise, stopping the scoring or passing the
        // line over, does not decide every message.
        const bool decides_all = !patterns(at, text, f.patterns) && f.always_matches;
        if (decides_all)
            add(at, Kind::decides_all, {Says::decides_all, {}},
                syntax.number ? Words{Says::fix_decides_all_number,
                                      {syntax.number->first, std::to_string(syntax.number->second)}}
                              : Words{Says::fix_decides_all, {}});
        for (const NeverFound& n : f.never_found)
            add(at, n.negated ? Kind::always_holds : Kind::never_holds,
                {n.negated ? Says::always_holds : Says::never_holds, {n.shown}, n.why}, never_found_fix(n, text));
        // What the plug-in accepts is said only of a line that it evaluates;
        // a line that stops is told to change there.
        if (!f.stop)
            for (const Remark& r : syntax.remarks)
                add(at, r.what.says == Says::unclosed ? Kind::unclosed : Kind::no_operator, r.what, r.fix);
        if (const std::optional<Remark> utf8 = utf8_text(text)) add(at, Kind::utf8, utf8->what, utf8->fix);
        // After a line that decides every message, every line is unreachable,
        // which its finding says once.
        if (!shadowed_ && !is_placeholder(text)) redundancy(at, f);
        if (decides_all) shadowed_ = true;
        for (const TestRef& test : f.sufficient) sufficient_.try_emplace(test.key, at);
        std::stable_sort(report_.findings.begin() + static_cast<std::ptrdiff_t>(first), report_.findings.end(),
                         [](const Finding& a, const Finding& b) { return a.kind < b.kind; });
    }

    Report take() { return std::move(report_); }

private:
    void redundancy(LineAt at, const LineFacts& f) {
        const auto [same, fresh] = lines_.try_emplace(f.canonical, at);
        if (!fresh) {
            add(at, Kind::duplicate, {Says::duplicate, place(same->second)}, {Says::fix_duplicate, place(same->second)});
        } else if (f.never_matches) {
            add(at, Kind::never_decides, {Says::never_matches, {}}, {Says::fix_never_matches, {}});
        } else {
            earlier_tests(at, f.required);
        }
    }

    void add(LineAt at, Kind kind, Words what, Words fix) {
        report_.findings.push_back({at.list, at.number, kind, std::move(what), std::move(fix)});
    }

    // Whether one of the patterns may raise: it does not compile, or it runs
    // out of its budget on a text.
    bool patterns(LineAt at, const std::string& line, const std::vector<std::string>& list) {
        bool raises = false;
        for (const std::string& p : std::set<std::string>(list.begin(), list.end())) {
            auto found = patterns_.find(p);
            if (found == patterns_.end()) found = patterns_.emplace(p, check_pattern(p, uppercase_)).first;
            const PatternCheck& c = found->second;
            raises = raises || c.error || c.cost;
            const std::vector<std::string> test = test_holding(line, "%" + p + "%");
            if (c.error) add(at, Kind::regex_error, *c.error, {Says::fix_regex_error, test});
            if (c.cost) add(at, Kind::regex_cost, *c.cost, {Says::fix_regex_cost, test});
        }
        return raises;
    }

    // An earlier line that a test this line needs is enough for matches
    // whenever this one does.
    void earlier_tests(LineAt at, const std::vector<TestRef>& required) {
        for (const TestRef& test : required) {
            const auto earlier = sufficient_.find(test.key);
            if (earlier == sufficient_.end()) continue;
            std::vector<std::string> values = place(earlier->second);
            values.push_back(test.shown);
            add(at, Kind::never_decides, {Says::earlier_decides, values}, {Says::fix_earlier, values});
            return;
        }
    }

    bool uppercase_;
    bool shadowed_ = false;  // a line before decides every message
    LineExaminer examiner_;
    Report report_;
    std::unordered_map<std::string, LineAt> lines_;    // canonical line -> its first place
    std::unordered_map<std::string, LineAt> sufficient_;  // test's key -> the first line it makes match
    std::map<std::string, PatternCheck> patterns_;
};

}  // namespace

const char* kind_name(Kind kind) {
    switch (kind) {
        case Kind::stops: return "stops";
        case Kind::regex_error: return "regex-error";
        case Kind::regex_cost: return "regex-cost";
        case Kind::decides_all: return "decides-all";
        case Kind::never_holds: return "never-holds";
        case Kind::always_holds: return "always-holds";
        case Kind::unclosed: return "unclosed";
        case Kind::no_operator: return "no-operator";
        case Kind::utf8: return "utf-8";
        case Kind::duplicate: return "duplicate";
        case Kind::never_decides: return "never-decides";
    }
    return "?";
}

Says label(Kind kind) { return static_cast<Says>(static_cast<std::size_t>(kind)); }

std::vector<Finding> by_severity(std::vector<Finding> findings) {
    std::stable_sort(findings.begin(), findings.end(),
                     [](const Finding& a, const Finding& b) { return a.kind < b.kind; });
    return findings;
}

std::optional<std::string> utf8_fix(const std::string& line) {
    if (!line.starts_with(kByteOrderMark) && !looks_like_utf8(line)) return std::nullopt;
    return utf8_to_cp1252(line);
}

Report check(const inspect::FilterLists& lists, bool uppercase, const FirstLines& passed_over,
             const BetweenLines& between) {
    Checker checker(uppercase);
    std::size_t total = 0, done = 0;
    for (const std::vector<std::string>& list : lists.lines) total += list.size();
    for (std::size_t list = 0; list < lists.lines.size(); ++list)
        for (std::size_t i = 0; i < lists.lines[list].size(); ++i, ++done) {
            if (between) between(done, total);
            if (i >= passed_over[list]) checker.line({list, i + 1}, lists.lines[list][i]);
        }
    return checker.take();
}

}  // namespace kalvorin::lint
