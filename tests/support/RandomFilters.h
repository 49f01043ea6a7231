#pragma once
// Random filter lines, expressions and message parts for the random tests.
#include <random>
#include <string>
#include <vector>

namespace kalvorin::test {

class RandomFilters {
public:
    explicit RandomFilters(unsigned seed) : rng_(seed) {}

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
        static const std::vector<std::string> ops = {"=", "=", "-", ":", ""};
        static const std::vector<std::string> delims = {"#", "#", "\"", "/", "%", ""};
        static const std::vector<std::string> texts = {"win", "", "a b", "WIN", "caf\xE9", "CAF\xC9", "#", "\"",
                                                       "snder", "rwmsg", "+", "(", "1", "\xFF", std::string(1, '\0')};
        const std::string delim = pick(delims);
        std::string t = keyword() + pick(ops) + delim;
        for (std::size_t n = below(3); n > 0; --n) t += pick(texts);
        if (below(5) != 0) t += delim;
        return t;
    }

    // A test as the editor writes it, with texts that the parts below hold
    // (or nearly), digits that later tests could take in, and patterns whose
    // counts depend on the subject's length, some of them faulty.
    std::string sound_test() {
        static const std::vector<std::string> ops = {"=", "=", "=", "-"};
        static const std::vector<std::string> words = {"win",  "WIN",   "free", "Free offer", " win ", "caf\xE9",
                                                       "\xC9T\xC9", "1",   "10",   "0",          "x1y",   "a",
                                                       "http", "viagra", "src=", "bob@",       "!",     ""};
        static const std::vector<std::string> patterns = {
            "win",        "(?i)free\\s+offer", "W.N",          "^A",         "[0-9]{2,}",  "(ab){3}",
            "a{2,40}",    ".{0,20}win",        "(a*){5}",      "x{100}",     "\\d+",       "i",
            "(?i)caf\xC9", "\\bwin\\b",        "[A-Z]{7,}",    "1|0",        "(?m)^X$",    "(w|i){2,3000}n"};
        static const std::vector<std::string> faulty = {"(abc", "", "a**", "[z-a]"};
        const std::size_t mode = below(3);
        const std::string op = pick(ops);
        if (mode == 2) return keyword() + op + "%" + (below(25) ? pick(patterns) : pick(faulty)) + "%";
        const std::string delim = mode == 0 ? "#" : "\"";
        return keyword() + op + delim + pick(words) + delim;
    }

    // Mostly sound lines joined as the editor joins them, some malformed.
    std::string line() {
        static const std::vector<std::string> glue = {"+", "*", "(", ")", " ", "1", "0", "x", "-", "()"};
        std::string s;
        for (std::size_t n = 1 + below(6); n > 0; --n) s += below(2) ? field_test() : pick(glue);
        return s;
    }

    std::string sound_line() {
        std::string s = sound_test();
        for (std::size_t n = below(4); n > 0; --n) {
            const std::string joined = s + (below(2) ? "+" : "*") + sound_test();
            s = below(2) ? "(" + joined + ")" : joined;
        }
        return s;
    }

    // A list line: comments, empty lines, a blank before a test, lines whose
    // tests stand in each other's way, now and then a malformed one.
    std::string list_line() {
        static const std::vector<std::string> odd = {":comment", ":", "", " :x", "sbjct=#xsnder=#a##",
                                                     "snder=#a#snder=#a#", "(sbjct=#1#+snder=#0#)*sbjct=#1#",
                                                     "sbjct=#1#+sbjct=#snder=#a##", "sbjct=#0#+sbjct=#snder=#a##",
                                                     "sbjctsnder=#a#", "sbjct=snder=#a#a+1", "sbjct=#xsnder=#a#"};
        const std::size_t kind = below(40);
        if (kind < 3) return pick(odd);
        if (kind == 3) return line();
        return sound_line();
    }

    // A message part built from the words the tests look for, with blanks,
    // accents, line breaks and now and then a NUL.
    std::string part(std::size_t max_words) {
        static const std::vector<std::string> words = {
            "win",   "WIN",  "Win!",  "free",     "offer", "Free offer", "caf\xE9", "\xE9t\xE9", "10",
            "x1y",   "aaaa", "ababab", "http://x", "src=\"http", "SRC=\\\"Http", "bob@example.net", " ", "\r\n", "\t",
            "viagra", "-",   "X",     std::string(1, '\0'), "w", "i", "n"};
        std::string s;
        for (std::size_t n = below(max_words + 1); n > 0; --n) s += pick(words) + (below(3) ? " " : "");
        return s;
    }

private:
    std::string keyword() {
        static const std::vector<std::string> keywords = {"snder", "SBJCT", "mBoDy", "attch", "HEADR", "rwmsg"};
        return pick(keywords);
    }

    std::mt19937 rng_;
};

}  // namespace kalvorin::test
