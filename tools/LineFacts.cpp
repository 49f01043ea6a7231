#include "tools/LineFacts.h"

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <map>
#include <random>
#include <tuple>
#include <unordered_map>

#include "CodigoComun/CapturaSpam.h"
#include "CodigoComun/Errors.h"
#include "CodigoComun/EvaluaExpresion.h"
#include "CodigoComun/FilterPlan.h"
#include "CodigoComun/Texto.h"
#include "CodigoComun/TrxFacts.h"
#include "inspect/LineSteps.h"
#include "CodigoComun/FieldTests.h"

namespace kalvorin::lint {

namespace {

// Up to this many distinct tests every combination of answers is tried;
// beyond, all false, all true, each one alone true and alone false, and a
// fixed random sample.
constexpr std::size_t kAllUpTo = 6;
constexpr std::size_t kRandomCombinations = 16;

using Answers = std::uint64_t;  // bit i: the answer of distinct test i, before negation

bool bit(Answers a, std::size_t i) { return i < 64 && ((a >> i) & 1U) != 0; }

std::vector<Answers> combinations(std::size_t n, bool& all) {
    std::vector<Answers> out;
    all = n <= kAllUpTo;
    if (all) {
        for (Answers a = 0; a < (Answers{1} << n); ++a) out.push_back(a);
        return out;
    }
    const Answers ones = ~Answers{0};
    out = {0, ones};
    for (std::size_t i = 0; i < 64 && i < n; ++i) {
        out.push_back(Answers{1} << i);
        out.push_back(ones & ~(Answers{1} << i));
    }
    std::mt19937_64 rng(n);
    for (std::size_t k = 0; k < kRandomCombinations; ++k) out.push_back(rng());
    return out;
}

// The test with its keyword in upper case, as la_descompone finds it.
std::string canonical_test(const PlannedTest& t) {
    return plain_upper(t.keyword) + t.test_text().substr(t.keyword.size());
}

// Why the search of a test never succeeds, whatever the message, if it does not.
std::optional<Says> never_found(MatchMode mode, const std::string& text, bool uppercase) {
    switch (mode) {
        case MatchMode::contains:
            if (text.empty()) return Says::why_empty_text;
            if (up_to_nul(text).empty()) return Says::why_nul;
            break;
        case MatchMode::word:
            if (text.empty()) return Says::why_empty_word;
            if (uppercase && trim(text).empty()) return Says::why_blank_word;
            break;
        case MatchMode::regexp:
            if (!uppercase) break;
            // A part in the plain upper-case form never holds a byte from a to z.
            try {
                if (trx_needs_lower_case(text)) return Says::why_lower;
            } catch (const ERegExpr&) {
                // A pattern that does not compile is a finding of its own.
            }
            break;
        case MatchMode::none: break;
    }
    return std::nullopt;
}

// Equal for tests that give the same answer for every message, before
// negation. The text's length comes first, so that no text, whatever bytes it
// holds, reads as the end of one key and the start of another.
std::string answer_key(const PlannedTest& t, bool uppercase) {
    const std::string text = t.mode() == MatchMode::regexp ? t.text : needle(t.mode(), t.text, uppercase);
    return std::to_string(static_cast<int>(t.mode())) + ' ' + std::to_string(t.part) + ' ' +
           std::to_string(text.size()) + ':' + text;
}

template <class Test>
void add_never_found(LineFacts& f, const std::vector<Test>& tests, bool uppercase) {
    for (const Test& t : tests) {
        if (t.mode() == MatchMode::none) continue;
        const std::optional<Says> why = never_found(t.mode(), t.text, uppercase);
        if (!why) continue;
        const std::string shown = t.test_text();
        const bool known = std::any_of(f.never_found.begin(), f.never_found.end(),
                                       [&](const NeverFound& n) { return n.shown == shown; });
        if (!known) f.never_found.push_back({shown, *why, t.negated()});
    }
}

// The error procesa raises for the test on the line as it then stands.
std::string procesa_error(const inspect::LineStep& s) {
    std::string line = s.line_before;
    try {
        procesa(line, s.keyword, s.op, s.delim, s.text);
    } catch (const KalvorinError& e) {
        return e.what();
    }
    return "no error";
}

// The plan's last test cannot be replaced; the error does not depend on the
// digits before it.
std::string fault_error(const LinePlan& plan) {
    const std::vector<PlannedTest>& tests = plan.tests();
    const PlannedTest& t = tests.back();
    const std::string before = plan.render(tests.size() - 1, std::string(tests.size(), '0'));
    return procesa_error({t.keyword, t.op, t.delim, t.text, t.part, before});
}

struct Outcome {
    std::optional<std::string> error;
    bool match = false;
};

template <class Evaluate>
Outcome outcome(Evaluate&& evaluate) {
    Outcome o;
    try {
        o.match = evaluate() > 0;
    } catch (const KalvorinError& e) {
        o.error = e.what();
    }
    return o;
}

template <class Test>
std::string values_text(const std::vector<Test>& tests, const std::string& digits) {
    std::string out;
    for (std::size_t k = 0; k < tests.size(); ++k)
        out += (out.empty() ? "" : ", ") + tests[k].test_text() + " = " + digits[k];
    return out;
}

// What the combinations gave.
struct Tally {
    bool all = false;  // every combination was tried
    std::size_t tried = 0, failed = 0, matched = 0;
    std::string first_error, failing_digits;
    std::vector<bool> matched_without;  // by test: a match with the test's digit 0
    std::vector<bool> missed_with;      // by test: no match, or an error, with the test's digit 1

    void add(const std::string& digits, const Outcome& o) {
        ++tried;
        matched_without.resize(digits.size());
        missed_with.resize(digits.size());
        for (std::size_t k = 0; k < digits.size(); ++k) {
            if (digits[k] == '0' && o.match && !o.error) matched_without[k] = true;
            if (digits[k] == '1' && (!o.match || o.error)) missed_with[k] = true;
        }
        if (o.error && failed++ == 0) {
            first_error = *o.error;
            failing_digits = digits;
        }
        if (o.match && !o.error) ++matched;
    }

    // stepped: the line was taken apart anew for each combination.
    // failing_values: the tests' values in the first combination that failed.
    void conclude(LineFacts& f, bool stepped, const std::string& failing_values) const {
        f.never_matches = all && failed == 0 && matched == 0;
        f.always_matches = all && failed == 0 && matched == tried;
        if (failed == 0) return;
        if (failed == tried) {
            f.stop = Words{stepped ? Says::stepped_all : Says::stops_all, {first_error}};
            return;
        }
        f.stop = Words{stepped ? Says::stepped_some : Says::stops_some,
                       {failing_values, first_error, std::to_string(failed), std::to_string(tried)}};
    }
};

// Each test of a plan takes the answer of its distinct (mode, part, compared
// text), negated or not; a test whose delimiter selects no mode is always 0,
// and one whose search never succeeds always has its operator's value for
// "not found".
class TiedTests {
public:
    TiedTests(const std::vector<PlannedTest>& tests, bool uppercase)
        : tests_(tests), answer_of_(tests.size(), -1), fixed_(tests.size(), '0') {
        std::map<std::string, std::ptrdiff_t> distinct;
        for (std::size_t k = 0; k < tests.size(); ++k) {
            const PlannedTest& t = tests[k];
            if (t.mode() == MatchMode::none) continue;
            if (never_found(t.mode(), t.text, uppercase)) {
                fixed_[k] = t.negated() ? '1' : '0';
                continue;
            }
            const auto at = distinct.try_emplace(answer_key(t, uppercase), static_cast<std::ptrdiff_t>(distinct.size()));
            answer_of_[k] = at.first->second;
        }
        distinct_ = distinct.size();
    }
    std::size_t distinct() const { return distinct_; }
    bool open(std::size_t k) const { return answer_of_[k] >= 0; }
    std::string digits(Answers a) const {
        std::string out = fixed_;
        for (std::size_t k = 0; k < tests_.size(); ++k)
            if (open(k)) out[k] = bit(a, static_cast<std::size_t>(answer_of_[k])) != tests_[k].negated() ? '1' : '0';
        return out;
    }
    // Which test stands in each slot and how it is tied, as text.
    std::string ties(const std::vector<std::size_t>& slots) const {
        std::string out;
        for (const std::size_t k : slots) {
            out += std::to_string(k) + ':' + (open(k) ? std::to_string(answer_of_[k]) : std::string("fixed ") + fixed_[k]);
            out += tests_[k].negated() ? "- " : "+ ";
        }
        return out;
    }

private:
    const std::vector<PlannedTest>& tests_;
    std::vector<std::ptrdiff_t> answer_of_;
    std::string fixed_;  // the digit of a test that is not open
    std::size_t distinct_ = 0;
};

// Lines of one shape (the same text around their tests, the same test in
// each slot, the same ties) give the same expressions for the same answers,
// so their combinations are evaluated once. A line that holds the byte that
// marks a test's place in the shape has none.
constexpr char kSlot = '\x01';

std::optional<std::string> slotted(const std::string& line, const LinePlan& plan) {
    if (line.find(kSlot) != std::string::npos) return std::nullopt;
    const std::size_t n = plan.tests().size();
    return plan.render(n, std::string(n, kSlot));
}

// A line compared as written: equal only to the same line. Its own prefix
// keeps it apart from every canonical form of slots, whatever bytes it holds.
std::string as_written(const std::string& line) { return "as written " + line; }

// Lines of equal canonical form give the same value for every message: the
// same text around their tests, and in each slot a test of the same answer
// and operator.
std::string canonical_line(const std::string& line, const std::optional<std::string>& around, const LinePlan& plan,
                           bool uppercase) {
    if (!around) return as_written(line);
    std::string out = "slots " + *around + '\0';
    for (const std::size_t k : plan.slot_tests()) {
        const PlannedTest& t = plan.tests()[k];
        out += t.op + ' ' + answer_key(t, uppercase) + '\0';
    }
    return out;
}

// The tests without which the line never matched, and those with which it
// always did.
void implied_tests(LineFacts& f, const std::vector<PlannedTest>& tests, const TiedTests& tied, const Tally& tally,
                   bool uppercase) {
    if (!tally.all || tally.matched == 0) return;
    for (std::size_t k = 0; k < tests.size(); ++k) {
        if (!tied.open(k)) continue;
        const TestRef ref{tests[k].op + ' ' + answer_key(tests[k], uppercase), canonical_test(tests[k])};
        if (!tally.matched_without[k]) f.required.push_back(ref);
        if (!tally.missed_with[k]) f.sufficient.push_back(ref);
    }
}

Tally planned_tally(LinePlan& plan, const TiedTests& tied) {
    Tally tally;
    const std::size_t n = plan.tests().size();
    for (const Answers a : combinations(tied.distinct(), tally.all)) {
        const std::string digits = tied.digits(a);
        tally.add(digits, outcome([&] { return evalua(plan.render(n, digits)); }));
    }
    return tally;
}

// A line whose tests stand where la_descompone will find them whatever the
// answers: its plan, one value per combination.
LineFacts planned_facts(const std::string& line, LinePlan& plan, std::unordered_map<std::string, Tally>& shapes,
                        bool uppercase) {
    const std::vector<PlannedTest>& tests = plan.tests();
    LineFacts f;
    for (const PlannedTest& t : tests)
        if (t.mode() == MatchMode::regexp) f.patterns.push_back(t.text);
    add_never_found(f, tests, uppercase);
    if (!tests.empty() && tests.back().fault != PlannedTest::Fault::none) {
        f.canonical = as_written(line);
        f.stop = Words{Says::stops_apart, {fault_error(plan)}};
        return f;
    }
    const TiedTests tied(tests, uppercase);
    const std::optional<std::string> around = slotted(line, plan);
    f.canonical = canonical_line(line, around, plan, uppercase);
    const std::optional<std::string> shape =
        around ? std::optional<std::string>(*around + '\0' + tied.ties(plan.slot_tests())) : std::nullopt;
    const auto known = shape ? shapes.find(*shape) : shapes.end();
    const Tally tally = known != shapes.end() ? known->second : planned_tally(plan, tied);
    if (shape && known == shapes.end()) shapes.emplace(*shape, tally);
    tally.conclude(f, false, values_text(tests, tally.failing_digits));
    implied_tests(f, tests, tied, tally, uppercase);
    return f;
}

// The outcome of la_descompone's steps and evalua for one combination.
Outcome stepped_outcome(const inspect::TakenApart& apart) {
    if (apart.end != inspect::TakenApart::End::expression) return {procesa_error(apart.steps.back()), false};
    return outcome([&] { return evalua(apart.expression); });
}

// A line whose tests stand where earlier tests' digits put them: the steps
// are run for each combination, the answers given by step.
LineFacts stepped_facts(const std::string& line, bool uppercase) {
    LineFacts f;
    f.canonical = as_written(line);
    Tally tally;
    std::string failing_values;
    // An answer can change which tests the later steps meet, so the answers
    // are walked as a tree: each run takes the answers chosen so far and
    // "no" for the tests beyond, and the next run turns its last "no" into
    // "yes". Every combination is tried when the walk ends within its runs.
    std::vector<bool> chosen;
    // Each run costs the line's length for each of its steps; past this much
    // work the walk stops there, and nothing is claimed for every combination.
    constexpr std::size_t kMostWork = std::size_t{1} << 27;
    std::size_t work = 0;
    for (std::size_t run = 0;; ++run) {
        if (run == std::size_t{1} << kAllUpTo || work > kMostWork) break;
        std::vector<bool> path;
        const inspect::TakenApart apart = inspect::take_apart(line, [&](std::size_t, const inspect::LineStep&) {
            const bool answer = path.size() < chosen.size() && chosen[path.size()];
            path.push_back(answer);
            return answer;
        });
        for (const inspect::LineStep& s : apart.steps)
            if (s.mode() == MatchMode::regexp) f.patterns.push_back(s.text);
        add_never_found(f, apart.steps, uppercase);
        const Outcome o = stepped_outcome(apart);
        if (o.error && tally.failed == 0) {
            std::string digits;
            for (const inspect::LineStep& s : apart.steps) digits += s.value ? '1' : '0';
            failing_values = values_text(apart.steps, digits);
        }
        tally.add(std::string(), o);
        work += (apart.steps.size() + 1) * line.size();
        while (!path.empty() && path.back()) path.pop_back();
        if (path.empty()) {
            tally.all = true;
            break;
        }
        path.back() = true;
        chosen = std::move(path);
    }
    tally.conclude(f, true, failing_values);
    return f;
}

}  // namespace

struct LineExaminer::Shapes {
    std::unordered_map<std::string, Tally> tallies;
};

LineExaminer::LineExaminer(bool uppercase) : uppercase_(uppercase), shapes_(std::make_unique<Shapes>()) {}

LineExaminer::~LineExaminer() = default;

LineFacts LineExaminer::facts(const std::string& line) {
    if (const std::optional<std::string> why = overlong(line)) {
        LineFacts f;
        f.canonical = as_written(line);
        f.stop = Words{Says::stops_refused, {*why}};
        return f;
    }
    LinePlan plan = plan_line(line);
    return plan.by_values() ? stepped_facts(line, uppercase_) : planned_facts(line, plan, shapes_->tallies, uppercase_);
}

bool reads_as_filter(const std::string& comment) {
    // Without its ":" a line longer than a line may be would be refused.
    if (overlong(comment.substr(1))) return false;
    LinePlan plan = plan_line(comment.substr(1));
    if (plan.by_values() || plan.tests().empty()) return false;
    for (const PlannedTest& t : plan.tests())
        if (t.fault != PlannedTest::Fault::none || t.mode() == MatchMode::none) return false;
    return !outcome([&] { return plan.value(std::string(plan.tests().size(), '1')); }).error;
}

}  // namespace kalvorin::lint
