#pragma once
// The expression evaluator: reduces a text of numbers, "+", "*", parentheses
// and blanks to its value by rewriting the text itself.
#include <cstddef>
#include <cstdint>
#include <string>

namespace kalvorin {

// The deepest nesting of parentheses that evalua works through.
inline constexpr std::size_t kDeepestNesting = 256;

// Raises EConvertError when the reduced text is not a decimal integer or a
// number leaves the signed 32-bit range, and EFilterError when the text can no
// longer be reduced although an operator is left or when its parentheses are
// nested deeper than kDeepestNesting.
std::int32_t evalua(const std::string& expression);

namespace evalua_detail {
// Membership in "0987654321".
bool es_digito(char c);
// Does the text hold any of "+", "*", "(", ")"?
bool hay_operador(const std::string& s);
// Replaces every occurrence of `find` by `replacement`.
void cambia_caracter(std::string& s, char find, char replacement);
// The parenthesis pass: unwraps every group that holds no operator and no
// other group, parking the "(" of the others as "L" until the pass ends.
void reduce_parentesis(std::string& s);
}  // namespace evalua_detail

}  // namespace kalvorin
