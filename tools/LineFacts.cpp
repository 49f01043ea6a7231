#include "tools/LineFacts.h"

#include <cstddef>
#include <cstdint>
#include <map>
#include <random>
#include <tuple>

#include "CodigoComun/CapturaSpam.h"
#include "CodigoComun/Errors.h"
#include "CodigoComun/EvaluaExpresion.h"
#include "CodigoComun/FilterPlan.h"
#include "CodigoComun/Texto.h"
#include "inspect/LineSteps.h"

namespace kalvorin::lint {

namespace {

// Up to this many distinct tests every combination of answers is tried;
// beyond, all false, all true, each one alone true and alone false, and a
// fixed random sample.
constexpr std::size_t kAllUpTo = 12;
constexpr std::size_t kRandomCombinations = 64;

constexpr const char* kEveryMessage = "; scoring stops here for every message that reaches it";

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

std::string canonical_line(const std::string& line, const std::vector<PlannedTest>& tests) {
    std::string out = line;
    for (const PlannedTest& t : tests) out = replace_all(out, t.test_text(), canonical_test(t));
    return out;
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
        out += (out.empty() ? "" : ", ") + tests[k].test_text() + " is " + digits[k];
    return out;
}

// What the combinations gave.
struct Tally {
    bool all = false;  // every combination was tried
    std::size_t tried = 0, failed = 0, matched = 0;
    std::string first_error, failing_values;
    std::vector<bool> matched_without;  // by test: a match with the test's digit 0

    void add(const std::string& digits, const std::string& values, const Outcome& o) {
        ++tried;
        if (o.error) {
            if (failed++ == 0) {
                first_error = *o.error;
                failing_values = values;
            }
            return;
        }
        if (!o.match) return;
        ++matched;
        matched_without.resize(digits.size());
        for (std::size_t k = 0; k < digits.size(); ++k)
            if (digits[k] == '0') matched_without[k] = true;
    }

    std::optional<std::string> stop(const std::string& what) const {
        if (failed == 0) return std::nullopt;
        if (failed == tried) return what + ": " + first_error + kEveryMessage;
        return what + " when " + failing_values + ": " + first_error +
               "; scoring stops here for the messages that give its tests those values (" + std::to_string(failed) +
               " of " + std::to_string(tried) + " combinations)";
    }

    void conclude(LineFacts& f, const std::string& what) const {
        f.stop = stop(what);
        f.never_matches = all && failed == 0 && matched == 0;
    }
};

// Each test of a plan takes the answer of its distinct (mode, part, text),
// negated or not; a test whose delimiter selects no mode is always 0.
class TiedTests {
public:
    explicit TiedTests(const std::vector<PlannedTest>& tests) : tests_(tests), answer_of_(tests.size(), -1) {
        std::map<std::tuple<MatchMode, std::size_t, std::string>, std::ptrdiff_t> distinct;
        for (std::size_t k = 0; k < tests.size(); ++k) {
            const PlannedTest& t = tests[k];
            if (t.mode() == MatchMode::none) continue;
            const auto at = distinct.try_emplace({t.mode(), t.part, t.text}, static_cast<std::ptrdiff_t>(distinct.size()));
            answer_of_[k] = at.first->second;
        }
        distinct_ = distinct.size();
    }
    std::size_t distinct() const { return distinct_; }
    bool open(std::size_t k) const { return answer_of_[k] >= 0; }
    std::string digits(Answers a) const {
        std::string out(tests_.size(), '0');
        for (std::size_t k = 0; k < tests_.size(); ++k)
            if (open(k) && bit(a, static_cast<std::size_t>(answer_of_[k])) != tests_[k].negated()) out[k] = '1';
        return out;
    }

private:
    const std::vector<PlannedTest>& tests_;
    std::vector<std::ptrdiff_t> answer_of_;
    std::size_t distinct_ = 0;
};

// The tests without which the line never matched.
std::vector<std::string> required_tests(const std::vector<PlannedTest>& tests, const TiedTests& tied, Tally tally) {
    std::vector<std::string> out;
    if (tally.matched == 0) return out;
    tally.matched_without.resize(tests.size());
    for (std::size_t k = 0; k < tests.size(); ++k)
        if (tied.open(k) && !tally.matched_without[k]) out.push_back(canonical_test(tests[k]));
    return out;
}

// A line whose tests stand where la_descompone will find them whatever the
// answers: its plan, one value per combination.
LineFacts planned_facts(const std::string& line, LinePlan& plan) {
    const std::vector<PlannedTest>& tests = plan.tests();
    LineFacts f;
    f.canonical = canonical_line(line, tests);
    for (const PlannedTest& t : tests)
        if (t.mode() == MatchMode::regexp) f.patterns.push_back(t.text);
    if (!tests.empty() && tests.back().fault != PlannedTest::Fault::none) {
        f.stop = "cannot be taken apart: " + fault_error(plan) + kEveryMessage;
        return f;
    }
    const TiedTests tied(tests);
    Tally tally;
    for (const Answers a : combinations(tied.distinct(), tally.all)) {
        const std::string digits = tied.digits(a);
        tally.add(digits, values_text(tests, digits), outcome([&] { return plan.value(digits); }));
    }
    tally.conclude(f, "cannot be evaluated");
    f.required = required_tests(tests, tied, tally);
    if (tests.size() == 1 && tally.failed == 0 && f.required.size() == 1) f.single = f.required.front();
    return f;
}

// The outcome of la_descompone's steps and evalua for one combination.
Outcome stepped_outcome(const inspect::TakenApart& apart) {
    if (apart.end != inspect::TakenApart::End::expression) return {procesa_error(apart.steps.back()), false};
    return outcome([&] { return evalua(apart.expression); });
}

// A line whose tests stand where earlier tests' digits put them: the steps
// are run for each combination, the answers given by step.
LineFacts stepped_facts(const std::string& line) {
    LineFacts f;
    f.canonical = line;
    const inspect::TakenApart first = inspect::take_apart(line, [](std::size_t, const inspect::LineStep&) { return false; });
    for (const inspect::LineStep& s : first.steps)
        if (s.mode() == MatchMode::regexp) f.patterns.push_back(s.text);
    Tally tally;
    for (const Answers a : combinations(first.steps.size(), tally.all)) {
        const inspect::TakenApart apart = inspect::take_apart(
            line, [a](std::size_t i, const inspect::LineStep& s) { return bit(a, i) != s.negated(); });
        std::string digits;
        for (const inspect::LineStep& s : apart.steps) digits += s.value ? '1' : '0';
        tally.add(std::string(), values_text(apart.steps, digits), stepped_outcome(apart));
    }
    tally.conclude(f, "cannot be taken apart or evaluated");
    return f;
}

}  // namespace

LineFacts line_facts(const std::string& line) {
    LinePlan plan = plan_line(line);
    return plan.by_values() ? stepped_facts(line) : planned_facts(line, plan);
}

bool reads_as_filter(const std::string& comment) {
    LinePlan plan = plan_line(comment.substr(1));
    if (plan.by_values() || plan.tests().empty()) return false;
    for (const PlannedTest& t : plan.tests())
        if (t.fault != PlannedTest::Fault::none || t.mode() == MatchMode::none) return false;
    return !outcome([&] { return plan.value(std::string(plan.tests().size(), '1')); }).error;
}

}  // namespace kalvorin::lint
