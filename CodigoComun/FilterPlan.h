#pragma once
// A filter line decomposed ahead of the messages: its field tests in the order
// la_descompone meets them, and the line as a template from which every trace
// line and the final expression are written once the tests' values are known.
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "kalvorin/parts.h"

namespace kalvorin {

// Where a field test's operator, delimiter and text stand, counted from
// where its keyword begins.
inline constexpr std::size_t kOperatorAt = kKeywordLength;
inline constexpr std::size_t kDelimiterAt = kKeywordLength + 1;
inline constexpr std::size_t kTextAt = kKeywordLength + 2;

// The match mode a delimiter selects.
enum class MatchMode { none, contains, word, regexp };
MatchMode mode_of(const std::string& delim);

// A field test as written in a line.
struct WrittenTest {
    std::string keyword, op, delim, text;  // as written in the line
    std::size_t part = 0;                  // index into kFieldKeywords

    MatchMode mode() const { return mode_of(delim); }
    bool negated() const { return op == "-"; }
    // keyword + operator + delimiter + text + delimiter, as procesa replaces it.
    std::string test_text() const { return keyword + op + delim + text + delim; }
};

// The test whose keyword (that of `part`) stands at p, read as la_descompone
// reads it: the operator and the delimiter are the two bytes after the
// keyword, either missing at the line's end, and the text runs from there to
// the next delimiter, or to the line's end when none follows.
WrittenTest read_test(const std::string& line, std::size_t p, std::size_t part);

struct PlannedTest : WrittenTest {
    enum class Fault { none, no_delimiter, not_in_line };
    Fault fault = Fault::none;  // procesa raises at this test; it is the plan's last
    int query = -1;             // the owner's number for (mode, part, text)
};

class LinePlan {
public:
    // Whether where the tests stand depends on the values of earlier ones (a
    // digit that takes part in a later test); such a line is decomposed anew
    // for every message, and tests() and render() are not used.
    bool by_values() const { return by_values_; }
    std::vector<PlannedTest>& tests() { return tests_; }
    const std::vector<PlannedTest>& tests() const { return tests_; }
    // The line as it stands before test k is replaced, earlier tests written
    // as digits[j]; k = tests().size() gives the expression.
    std::string render(std::size_t k, const std::string& digits) const;
    // The same, appended to out.
    void render_into(std::string& out, std::size_t k, const std::string& digits) const;
    // The length of render(k, ...), whatever the digits.
    std::size_t length_before(std::size_t k) const { return lengths_[k]; }
    // The test whose digit fills each slot, in the order the slots stand in
    // the line (which need not be the order la_descompone meets the tests).
    std::vector<std::size_t> slot_tests() const;
    // evalua of the expression for these digits (one per test), raising what
    // it raises. A line meets few combinations, so the answers are kept.
    std::int32_t value(const std::string& digits);

private:
    friend LinePlan plan_line(const std::string& line);
    struct Piece {
        std::string text;  // a slot keeps the text it replaced
        int test = -1;     // the test whose digit fills the slot, -1 for plain text
    };
    struct Value {
        std::string digits;
        std::int32_t value = 0;
        enum class Error { none, convert, filter } error = Error::none;
        std::string message;
    };
    bool by_values_ = false;
    std::vector<PlannedTest> tests_;
    std::vector<Piece> pieces_;
    std::vector<std::size_t> lengths_;  // by k, as length_before gives them
    std::vector<Value> values_;
};

// la_descompone's steps on the line, with every test's value left open.
LinePlan plan_line(const std::string& line);

// How la_descompone's steps on a line ended: the line rewritten into an
// expression; a test cut off before its delimiter, or one that does not
// occur in the line (procesa raises at the last step); or the caller stopped
// them.
enum class WalkEnd { expression, no_delimiter, not_in_line, stopped };

// The value written for test number k as the steps meet it (true: "1"), or
// nothing to stop the steps there.
using TestValue = std::function<std::optional<bool>(std::size_t k, const WrittenTest&)>;

// la_descompone's steps on the line, each test's value known as it is met.
// at_end gets the expression, or the line as it stood when the steps ended
// early (the last test not replaced).
WalkEnd walk_line(const std::string& line, const TestValue& value, std::string& at_end);

}  // namespace kalvorin
