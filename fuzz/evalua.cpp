// The expression evaluator against the rewriting cycles carried out step by
// step as the filter language defines them: the same value, or the same
// kind of error.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <string>
#include <variant>

#include "CodigoComun/Errors.h"
#include "CodigoComun/EvaluaExpresion.h"
#include "CodigoComun/Texto.h"
#include "fuzz/FuzzSupport.h"

namespace {

using kalvorin::fuzz::finding;
using kalvorin::fuzz::shown;

// The reference is slow on purpose; longer texts are only run for crashes.
constexpr std::size_t kCompared = 600;

// The error's message, which like every message ends at the first NUL.
struct ConvertError {
    std::string message;
};
struct Irreducible {};
using Outcome = std::variant<std::int32_t, ConvertError, Irreducible>;

bool digit(char c) { return c >= '0' && c <= '9'; }

ConvertError not_an_integer(const std::string& text) {
    return {("'" + text + "' is not a valid integer value").c_str()};
}

std::int32_t to_int(const std::string& text) {
    std::size_t at = text.size() > 1 && text[0] == '-' ? 1 : 0;
    if (at == text.size()) throw not_an_integer(text);
    std::int64_t value = 0;
    for (; at < text.size(); ++at) {
        if (!digit(text[at])) throw not_an_integer(text);
        value = value * 10 + (text[at] - '0');
        if (value > std::int64_t{1} << 31) throw not_an_integer(text);
    }
    if (text[0] == '-') value = -value;
    if (value > std::numeric_limits<std::int32_t>::max()) throw not_an_integer(text);
    return static_cast<std::int32_t>(value);
}

std::int32_t in_range(std::int64_t value) {
    if (value < std::numeric_limits<std::int32_t>::min() || value > std::numeric_limits<std::int32_t>::max())
        throw not_an_integer(std::to_string(value));
    return static_cast<std::int32_t>(value);
}

// One operator pass: the first `op` each time, from the start of the text.
void operator_pass(std::string& s, char op, char placeholder) {
    for (std::size_t p = s.find(op); p != std::string::npos; p = s.find(op)) {
        if (p == 0 || p + 1 >= s.size() || !digit(s[p - 1]) || !digit(s[p + 1])) {
            s[p] = placeholder;
            continue;
        }
        std::size_t start = p;
        while (start > 0 && digit(s[start - 1])) --start;
        std::size_t end = p + 1;
        while (end + 1 < s.size() && digit(s[end])) ++end;
        const std::int32_t l = to_int(s.substr(start, p - start));
        const std::int32_t r = to_int(s.substr(p + 1, end - p - 1));
        const std::string t = std::to_string(l) + op + std::to_string(r);
        if (s.find(t) == std::string::npos) throw Irreducible{};
        const std::int64_t value = op == '+' ? std::int64_t{l} + r : std::int64_t{l} * r;
        s = kalvorin::replace_all(s, t, std::to_string(in_range(value)));
    }
}

void swap_back(std::string& s, char placeholder, char op) {
    for (char& c : s)
        if (c == placeholder) c = op;
}

// Positions in rest are 1-based, 0 when absent.
void parenthesis_pass(std::string& s) {
    for (std::size_t q = s.find('('); q != std::string::npos; q = s.find('(')) {
        const std::string rest = s.substr(q + 1) + "(+*";
        auto at = [&](char c) {
            const std::size_t i = rest.find(c);
            return i == std::string::npos ? 0 : i + 1;
        };
        const std::size_t k = at(')');
        if (k > at('(') || k > at('+') || k > at('*')) {
            s[q] = 'L';
            continue;
        }
        const std::string g = s.substr(q, k + 1);
        const std::string i = k == 0 ? std::string() : s.substr(q + 1, k - 1);
        s = kalvorin::replace_all(s, g, i);
    }
    swap_back(s, 'L', '(');
}

// Deeper than the evaluator works through, counting "L" as "(" and the
// added outer pair not at all.
bool too_deep(const std::string& s) {
    std::size_t depth = 0, deepest = 0;
    for (char c : s) {
        if (c == '(' || c == 'L') deepest = std::max(deepest, ++depth);
        if (c == ')' && depth > 0) --depth;
    }
    return deepest > kalvorin::kDeepestNesting + 1;
}

Outcome reference(const std::string& expression) {
    std::string s;
    for (char c : "(" + expression + ")")
        if (c != ' ') s += c;
    if (too_deep(s)) return Irreducible{};
    try {
        while (s.find_first_of("+*()") != std::string::npos) {
            const std::string before = s;
            operator_pass(s, '+', 'A');
            operator_pass(s, '*', 'M');
            swap_back(s, 'M', '*');
            swap_back(s, 'A', '+');
            parenthesis_pass(s);
            if (s == before) return Irreducible{};
        }
        return to_int(s);
    } catch (const ConvertError& e) {
        return e;
    } catch (const Irreducible& e) {
        return e;
    }
}

Outcome product(const std::string& expression) {
    try {
        return kalvorin::evalua(expression);
    } catch (const kalvorin::EConvertError& e) {
        return ConvertError{e.what()};
    } catch (const kalvorin::EFilterError&) {
        return Irreducible{};
    }
}

std::string describe(const Outcome& o) {
    if (const auto* v = std::get_if<std::int32_t>(&o)) return "value " + std::to_string(*v);
    if (const auto* e = std::get_if<ConvertError>(&o)) return "conversion error " + shown(e->message);
    return "irreducible";
}

bool same(const Outcome& a, const Outcome& b) {
    if (a.index() != b.index()) return false;
    if (const auto* v = std::get_if<std::int32_t>(&a)) return *v == std::get<std::int32_t>(b);
    if (const auto* e = std::get_if<ConvertError>(&a)) return e->message == std::get<ConvertError>(b).message;
    return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string expression(reinterpret_cast<const char*>(data), size);
    const Outcome got = product(expression);
    if (size > kCompared) return 0;
    const Outcome want = reference(expression);
    if (!same(got, want))
        finding("evalua('" + shown(expression) + "') gives " + describe(got) + ", the cycles give " + describe(want));
    return 0;
}
