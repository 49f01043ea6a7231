#pragma once
// One field test as the editor and the bulk tab build it: keyword, operator,
// delimiter, text, delimiter. No widget here.
#include <optional>
#include <string>

namespace kalvorin::config {

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

    // The kind for a field number ('1' to '6'), an operator and a delimiter
    // character; nothing for another field number.
    static std::optional<TestKind> from_codes(char field, char op, char delimiter);

    // keyword + operator + delimiter + text + delimiter
    std::string test(const std::string& text) const;
    Refusal refusal(const std::string& text) const;
};

}  // namespace kalvorin::config
