#pragma once
// Random filter lines and expressions for tests: often malformed, with every
// keyword spelling, delimiter, accented letters and NUL bytes; and
// well-formed lines in every match mode.
#include <random>
#include <string>
#include <vector>

namespace kalvorin::test {

class LineGenerator {
public:
    explicit LineGenerator(unsigned seed) : rng_(seed) {}

    std::size_t below(std::size_t n) { return std::uniform_int_distribution<std::size_t>(0, n - 1)(rng_); }

    template <typename T>
    const T& pick(const std::vector<T>& v) {
        return v[below(v.size())];
    }

    // Digits, operators, parentheses, blanks, placeholders and stray bytes.
    std::string expression(std::size_t max_length) {
        static const std::vector<std::string> pieces = {"0", "1", "1", "7", "00", "12", "+", "+", "*", "*", "(",
                                                        "(", ")", ")", " ", "A", "M", "L", "-", "x", "\t"};
        std::string s;
        for (std::size_t n = below(max_length + 1); n > 0; --n) s += pick(pieces);
        return s;
    }

    // A field test, often malformed: any keyword spelling, operator and
    // delimiter, texts that may hold delimiters or keywords, no closing
    // delimiter, or a cut before the operator.
    std::string field_test() {
        static const std::vector<std::string> keywords = {"snder", "SBJCT", "mBoDy", "attch", "HEADR", "rwmsg"};
        static const std::vector<std::string> ops = {"=", "=", "-", ":", ""};
        static const std::vector<std::string> delims = {"#", "#", "\"", "/", "%", ""};
        static const std::vector<std::string> texts = {"win", "", "a b", "WIN", "caf\xE9", "CAF\xC9", "#", "\"",
                                                       "snder", "rwmsg", "+", "(", "1", "\xFF", std::string(1, '\0')};
        const std::string delim = pick(delims);
        std::string t = pick(keywords) + pick(ops) + delim;
        for (std::size_t n = below(3); n > 0; --n) t += pick(texts);
        if (below(5) != 0) t += delim;
        return t;
    }

    // A well-formed field test: keyword, operator, delimiter, text, delimiter.
    std::string valid_field_test() {
        static const std::vector<std::string> keywords = {"snder", "SBJCT", "mBoDy", "attch", "HEADR", "rwmsg"};
        static const std::vector<std::string> modes = {"#", "\"", "%"};
        static const std::vector<std::string> texts = {"win", "WIN", "caf\xE9", "CAF\xC9", "\xFF", "\x9F", "a b",
                                                       "offer", "free money", "\xE0la"};
        static const std::vector<std::string> patterns = {"w.n", "caf[\xE9" "e]", "^a", "b$", "(?i)WIN", "o+f",
                                                          "[\xC0-\xDE]", "\\d{2,}", "x|y"};
        const std::string mode = pick(modes);
        return pick(keywords) + (below(4) ? "=" : "-") + mode + (mode == "%" ? pick(patterns) : pick(texts)) + mode;
    }

    // Well-formed field tests joined by "+" and "*", sometimes in parentheses.
    std::string valid_line() {
        std::string s = valid_field_test();
        for (std::size_t n = below(3); n > 0; --n) {
            const std::string next = valid_field_test();
            s = below(3) ? s + (below(2) ? "+" : "*") + next : "(" + s + ")*" + next;
        }
        return s;
    }

    std::string line() {
        static const std::vector<std::string> glue = {"+", "*", "(", ")", " ", "1", "0", "x", "-", "()"};
        std::string s;
        for (std::size_t n = 1 + below(6); n > 0; --n) s += below(2) ? field_test() : pick(glue);
        return s;
    }

private:
    std::mt19937 rng_;
};

}  // namespace kalvorin::test
