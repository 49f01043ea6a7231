#include "inspect/FieldTest.h"

#include <string_view>

#include "CodigoComun/FilterPlan.h"
#include "CodigoComun/Texto.h"

namespace kalvorin::inspect {

namespace {

// Only a to z are folded, as the filter code folds them when it looks for keywords.
bool names_a_field(const std::string& text) {
    const std::string upper = plain_upper(text);
    for (std::string_view keyword : kFieldKeywords)
        if (upper.find(keyword) != std::string::npos) return true;
    return false;
}

}  // namespace

std::optional<TestKind> TestKind::from_codes(char field, char op, char delimiter) {
    if (field < field_code(0) || field >= field_code(kPartCount)) return std::nullopt;
    return TestKind{std::string(kFieldKeywords[static_cast<std::size_t>(field - field_code(0))]), op, delimiter};
}

std::string TestKind::test(const std::string& text) const { return keyword + op + delimiter + text + delimiter; }

Refusal TestKind::refusal(const std::string& text) const {
    if (text.find(delimiter) != std::string::npos) return Refusal::Delimiter;
    if (names_a_field(text)) return Refusal::Keyword;
    return Refusal::None;
}

std::string group(const std::vector<std::string>& lines, char joiner) {
    std::string out = "(";
    for (std::size_t i = 0; i < lines.size(); ++i) out += (i ? std::string(1, joiner) : "") + lines[i];
    return out + ")";
}

}  // namespace kalvorin::inspect
