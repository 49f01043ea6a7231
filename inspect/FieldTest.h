#pragma once
// One field test as the window's editor and bulk tab and kalvorin-host's
// proposals compose it: keyword, operator, delimiter, text, delimiter; and
// the editor's group of tests joined by AND or OR.
#include <optional>
#include <string>
#include <vector>

namespace kalvorin::inspect {

// Why a text cannot stand between the delimiters of a test.
enum class Refusal {
    None,
    // The delimiter would end the text early.
    Delimiter,
    // A field keyword inside the text could be taken for the start of another test.
    Keyword,
};

struct TestKind {
    std::string keyword;
    char op;
    char delimiter;

    // The kind for a field number (field_code), an operator and a delimiter
    // character; nothing for another field number.
    static std::optional<TestKind> from_codes(char field, char op, char delimiter);

    // keyword + operator + delimiter + text + delimiter
    std::string test(const std::string& text) const;
    Refusal refusal(const std::string& text) const;
};

inline constexpr char kAnd = '*';
inline constexpr char kOr = '+';

// "(" + the lines joined by the joiner (kAnd or kOr) + ")", as AND and OR
// leave them on the editor's working line.
std::string group(const std::vector<std::string>& lines, char joiner);

}  // namespace kalvorin::inspect
