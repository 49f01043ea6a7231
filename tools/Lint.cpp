#include "tools/Lint.h"

#include <algorithm>
#include <map>
#include <optional>
#include <set>
#include <unordered_map>

#include "CodigoComun/CodePage.h"
#include "CodigoComun/DefaultLists.h"
#include "CodigoComun/Errors.h"
#include "CodigoComun/ListLine.h"
#include "CodigoComun/RegExpr.h"
#include "CodigoComun/Texto.h"
#include "CodigoComun/TrxFacts.h"
#include "tools/LineFacts.h"

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

std::string where(LineAt at) {
    return std::string(inspect::list_name(at.list)) + " line " + std::to_string(at.number);
}

// What a pattern's findings say, each ready for its line.
struct PatternCheck {
    std::optional<std::string> error;  // it does not compile, for every text or for a generated one
    std::optional<std::string> cost;   // it runs out of its budget on a generated text
};

// The engine as the filter code runs it: a subject in normaliza's form. A
// pattern out of its budget passes its line over; any other error stops the
// scoring.
void try_texts(RegexPattern& compiled, const std::vector<HostileText>& texts, bool uppercase, PatternCheck& c) {
    for (const HostileText& t : texts) {
        const std::string on = " for a text of " + std::to_string(t.text.size()) + " bytes";
        try {
            compiled.exec(uppercase ? trim(plain_upper(t.text)) : t.text);
        } catch (const ERegExprTooCostly& e) {
            c.cost = "too costly" + on + " (" + e.what() + "): " + t.recipe +
                     "; the line is passed over for a message like it";
            return;
        } catch (const ERegExpr& e) {
            c.error = "fails" + on + ": " + e.what() + " (" + t.recipe +
                      "); scoring stops here for a message like it";
            return;
        }
    }
}

PatternCheck check_pattern(const std::string& pattern, bool uppercase) {
    PatternCheck c;
    RegexPattern compiled(pattern);
    try {
        compiled.exec("");
    } catch (const ERegExpr& e) {
        c.error = std::string("does not compile: ") + e.what() + "; scoring stops here for every message that reaches it";
        return c;
    }
    try_texts(compiled, trx_hostile_texts(pattern, kHostileLength), uppercase, c);
    for (std::size_t length = kHostileLength; !c.cost && !c.error; length *= 2) {
        const std::vector<HostileText> texts = trx_piece_texts(pattern, std::min(length, kLongestPart));
        if (texts.empty()) break;
        try_texts(compiled, texts, uppercase, c);
        if (length >= kLongestPart) break;
    }
    return c;
}

bool is_placeholder(const std::string& line) {
    return std::find(kPlaceholderLines.begin(), kPlaceholderLines.end(), line) != kPlaceholderLines.end();
}

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";

std::optional<std::string> utf8_text(const std::string& line) {
    const bool mark = line.starts_with(kByteOrderMark);
    if (!mark && !looks_like_utf8(line)) return std::nullopt;
    const std::optional<std::string> fixed = utf8_fix(line);
    std::string out = mark ? "begins with a UTF-8 byte-order mark, which the plug-in reads as part of the line"
                           : "reads as UTF-8, but the plug-in reads lists as Windows-1252 and tests the line byte "
                             "for byte as it stands";
    if (fixed) return out + "; in Windows-1252 it is: " + *fixed;
    return out + "; it holds characters that Windows-1252 does not have";
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
        const LineFacts f = examiner_.facts(text);
        if (f.stop) add(at, Kind::stops, *f.stop);
        // A line whose pattern may raise, stopping the scoring or passing the
        // line over, does not decide every message.
        const bool decides_all = !patterns(at, f.patterns) && f.always_matches;
        if (decides_all)
            add(at, Kind::decides_all, "matches every message that reaches it, whatever its tests answer; "
                                       "no line after it decides");
        for (const NeverFound& n : f.never_found)
            add(at, Kind::never_holds,
                n.shown + (n.negated ? " always holds: " : " never holds: ") + n.why);
        if (const std::optional<std::string> utf8 = utf8_text(text)) add(at, Kind::utf8, *utf8);
        // After a line that decides every message, every line is unreachable,
        // which its finding says once.
        if (!shadowed_ && !is_placeholder(text)) redundancy(at, f);
        if (decides_all) shadowed_ = true;
        for (const TestRef& test : f.sufficient) sufficient_.try_emplace(test.key, at);
    }

    Report take() { return std::move(report_); }

private:
    void redundancy(LineAt at, const LineFacts& f) {
        const auto [same, fresh] = lines_.try_emplace(f.canonical, at);
        if (!fresh) {
            add(at, Kind::duplicate, "gives the same value as " + where(same->second) + " for every message, and " +
                                         where(same->second) + " decides first");
        } else if (f.never_matches) {
            add(at, Kind::never_decides, "no answers of its tests make it match");
        } else {
            earlier_tests(at, f.required);
        }
    }

    void add(LineAt at, Kind kind, std::string text) {
        report_.findings.push_back({at.list, at.number, kind, std::move(text)});
    }

    // Whether one of the patterns may raise: it does not compile, or it runs
    // out of its budget on a text.
    bool patterns(LineAt at, const std::vector<std::string>& list) {
        bool raises = false;
        for (const std::string& p : std::set<std::string>(list.begin(), list.end())) {
            auto found = patterns_.find(p);
            if (found == patterns_.end()) found = patterns_.emplace(p, check_pattern(p, uppercase_)).first;
            const PatternCheck& c = found->second;
            raises = raises || c.error || c.cost;
            if (c.error) add(at, Kind::regex_error, "%" + p + "% " + *c.error);
            if (c.cost) add(at, Kind::regex_cost, "%" + p + "% is " + *c.cost);
        }
        return raises;
    }

    // An earlier line that a test this line needs is enough for matches
    // whenever this one does.
    void earlier_tests(LineAt at, const std::vector<TestRef>& required) {
        for (const TestRef& test : required) {
            const auto earlier = sufficient_.find(test.key);
            if (earlier == sufficient_.end()) continue;
            add(at, Kind::never_decides,
                where(earlier->second) + " matches whenever " + test.shown +
                    " holds, which this line needs, and decides first");
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
        case Kind::utf8: return "utf-8";
        case Kind::duplicate: return "duplicate";
        case Kind::never_decides: return "never-decides";
    }
    return "?";
}

std::vector<Finding> by_severity(std::vector<Finding> findings) {
    std::stable_sort(findings.begin(), findings.end(),
                     [](const Finding& a, const Finding& b) { return a.kind < b.kind; });
    return findings;
}

std::optional<std::string> utf8_fix(const std::string& line) {
    if (!line.starts_with(kByteOrderMark) && !looks_like_utf8(line)) return std::nullopt;
    return utf8_to_cp1252(line);
}

Report check(const inspect::FilterLists& lists, bool uppercase) {
    Checker checker(uppercase);
    for (std::size_t list = 0; list < lists.lines.size(); ++list)
        for (std::size_t i = 0; i < lists.lines[list].size(); ++i) checker.line({list, i + 1}, lists.lines[list][i]);
    return checker.take();
}

}  // namespace kalvorin::lint
