#pragma once
// The expression evaluator: reduces a text of numbers, "+", "*", parentheses
// and blanks to its value by rewriting the text itself.
#include <cstdint>
#include <string>

namespace kalvorin {

// Raises EConvertError when the reduced text is not a decimal integer, and
// EFilterError when no reduction cycle can change the text.
std::int32_t evalua(const std::string& expression);

namespace evalua_detail {
bool es_digito(char c);
bool hay_operador(const std::string& s);
void cambia_caracter(std::string& s, char find, char replacement);
void reduce_parentesis(std::string& s);
}  // namespace evalua_detail

}  // namespace kalvorin
