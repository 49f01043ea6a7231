#include "CodigoComun/EvaluaExpresion.h"

#include <algorithm>
#include <cstddef>
#include <limits>
#include <string_view>

#include "CodigoComun/Errors.h"
#include "CodigoComun/Texto.h"

namespace kalvorin {

namespace evalua_detail {

bool es_digito(char c) { return std::string_view("0987654321").find(c) != std::string_view::npos; }

bool hay_operador(const std::string& s) { return s.find_first_of("+*()") != std::string::npos; }

void cambia_caracter(std::string& s, char find, char replacement) {
    for (char& c : s)
        if (c == find) c = replacement;
}

void reduce_parentesis(std::string& s) {
    // A group is parked as soon as a "(", "+" or "*" comes before its first
    // ")", so each "(" needs only the first of those four after it, and
    // whether any ")" follows at all. Replacements only take characters away,
    // so the last ")" is looked for again after each one.
    std::size_t last_close = s.rfind(')');
    // Every "(" before q has become "L", and a replacement of a group that
    // starts with "(" cannot reach before q, so each search resumes at q.
    for (std::size_t q = s.find('('); q != std::string::npos; q = s.find('(', q)) {
        const std::size_t first = s.find_first_of("()+*", q + 1);
        const bool closes_first = first != std::string::npos && s[first] == ')';
        const bool closed_later = last_close != std::string::npos && last_close > q;
        if (!closes_first && closed_later) {
            s[q] = 'L';
            continue;
        }
        // Without any ")" after it the group is the lone "(" and its content
        // is empty, so every "(" left is deleted.
        const std::size_t k = closes_first ? first - q : 0;
        const std::string g = s.substr(q, k + 1);
        const std::string i = k == 0 ? std::string() : s.substr(q + 1, k - 1);
        s = replace_all(s, g, i);
        last_close = s.rfind(')');
    }
    cambia_caracter(s, 'L', '(');
}

}  // namespace evalua_detail

namespace {

using namespace evalua_detail;

constexpr std::int64_t kMin = std::numeric_limits<std::int32_t>::min();
constexpr std::int64_t kMax = std::numeric_limits<std::int32_t>::max();

[[noreturn]] void not_an_integer(std::string_view text) {
    throw EConvertError("'" + std::string(text) + "' is not a valid integer value");
}

// Decimal only: an optional "-" and at least one digit, within 32 bits.
std::int32_t to_int(std::string_view text) {
    const bool negative = !text.empty() && text.front() == '-';
    const std::string_view digits = negative ? text.substr(1) : text;
    if (digits.empty()) not_an_integer(text);
    std::int64_t value = 0;
    for (char c : digits) {
        if (c < '0' || c > '9') not_an_integer(text);
        value = value * 10 + (c - '0');
        if (value > kMax + 1) not_an_integer(text);
    }
    if (negative) value = -value;
    if (value < kMin || value > kMax) not_an_integer(text);
    return static_cast<std::int32_t>(value);
}

// A result out of range is refused like an operand out of range, with its
// own decimal text, rather than wrapping round.
std::int32_t checked_result(std::int64_t value) {
    if (value < kMin || value > kMax) not_an_integer(std::to_string(value));
    return static_cast<std::int32_t>(value);
}

// The digits that end just before position p (0-based).
std::string_view left_number(std::string_view s, std::size_t p) {
    std::size_t start = p;
    while (start > 0 && es_digito(s[start - 1])) --start;
    return s.substr(start, p - start);
}

// The digits that start just after position p, never taking in the last
// character of s: in a well-formed text that one is the closing ")".
std::string_view right_number(std::string_view s, std::size_t p) {
    std::size_t end = p + 1;
    while (end + 1 < s.size() && es_digito(s[end])) ++end;
    return s.substr(p + 1, end - (p + 1));
}

[[noreturn]] void irreducible(const std::string& expression, const std::string& why) {
    throw EFilterError("Expression '" + expression + "' cannot be evaluated: " + why);
}

// One operator pass: folds each `op` with a number on both sides into the
// number of its result, everywhere its text occurs, and parks the others as
// `placeholder`.
template <typename Fold>
void operator_pass(std::string& s, char op, char placeholder, Fold fold, const std::string& expression) {
    // Every `op` before the one found has been folded or parked, and no
    // replacement reaches before the left number, so each search resumes there.
    for (std::size_t p = s.find(op); p != std::string::npos; p = s.find(op, p)) {
        if (p == 0 || p + 1 >= s.size() || !es_digito(s[p - 1]) || !es_digito(s[p + 1])) {
            s[p] = placeholder;
            continue;
        }
        const std::string_view left = left_number(s, p);
        const std::int32_t l = to_int(left);
        const std::int32_t r = to_int(right_number(s, p));
        // t is built from the values, so "1+01" looks for "1+1"; when it does
        // not occur this operator could never be folded.
        const std::string t = int_to_str(l) + op + int_to_str(r);
        if (s.find(t) == std::string::npos) irreducible(expression, "'" + t + "' does not occur in '" + s + "'");
        const std::size_t left_start = p - left.size();
        s = replace_all(s, t, int_to_str(checked_result(fold(std::int64_t{l}, std::int64_t{r}))));
        p = left_start;
    }
}

std::string without_blanks(const std::string& s) {
    std::string out;
    out.reserve(s.size());
    for (char c : s)
        if (c != ' ') out += c;
    return out;
}

// The deepest nesting of groups, an "L" counting as the "(" it becomes.
std::size_t nesting(const std::string& s) {
    std::size_t depth = 0, deepest = 0;
    for (char c : s) {
        if (c == '(' || c == 'L') deepest = std::max(deepest, ++depth);
        if (c == ')' && depth > 0) --depth;
    }
    return deepest;
}

}  // namespace

std::int32_t evalua(const std::string& expression) {
    std::string s = without_blanks("(" + expression + ")");
    // The cycles needed grow with the depth and each costs the length of the
    // text, so beyond this depth an expression is refused, not worked through.
    // The pair added around it does not count.
    if (nesting(s) > kDeepestNesting + 1)
        irreducible(expression, "its parentheses are nested more than " + std::to_string(kDeepestNesting) + " deep");
    while (hay_operador(s)) {
        const std::string before = s;
        operator_pass(s, '+', 'A', [](std::int64_t l, std::int64_t r) { return l + r; }, expression);
        operator_pass(s, '*', 'M', [](std::int64_t l, std::int64_t r) { return l * r; }, expression);
        cambia_caracter(s, 'M', '*');
        cambia_caracter(s, 'A', '+');
        reduce_parentesis(s);
        // A cycle never lengthens the text, and one that shortens nothing only
        // swaps placeholders back and forth; unchanged, it would repeat forever.
        if (s == before && hay_operador(s)) irreducible(expression, "no step can reduce '" + s + "'");
    }
    return to_int(s);
}

}  // namespace kalvorin
