// Random filter lines and expressions: evalua and filtred always return or
// raise one of the named errors. A loop would hang the test until CTest's
// timeout; a crash or a memory fault shows under the sanitizer build.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "CodigoComun/CapturaSpam.h"
#include "platform/errors.h"
#include "CodigoComun/EvaluaExpresion.h"
#include "support/TestSupport.h"

namespace kalvorin {
namespace {

class Generator {
public:
    explicit Generator(unsigned seed) : rng_(seed) {}

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

    std::string line() {
        static const std::vector<std::string> glue = {"+", "*", "(", ")", " ", "1", "0", "x", "-", "()"};
        std::string s;
        for (std::size_t n = 1 + below(6); n > 0; --n) s += below(2) ? field_test() : pick(glue);
        return s;
    }

private:
    std::mt19937 rng_;
};

// The errors evalua and filtred may raise; anything else is a fault.
template <typename F>
void expect_named_outcome(const std::string& input, F run) {
    try {
        run();
    } catch (const EConvertError&) {
    } catch (const EFilterError&) {
    } catch (const ERegExpr&) {
    } catch (const std::exception& e) {
        ADD_FAILURE() << "unexpected error for [" << input << "]: " << e.what();
    }
}

TEST(FilterRandom, EvaluaAlwaysEnds) {
    Generator g(20240611);
    for (int i = 0; i < 50000; ++i) {
        const std::string e = g.expression(24);
        expect_named_outcome(e, [&] { evalua(e); });
    }
}

class FilterRandomLines : public test::HiveTest {};

TEST_F(FilterRandomLines, FiltredAlwaysEnds) {
    set_basefolder_setting(tmp_ / "base");
    Generator g(7);
    for (bool uppercase : {true, false}) {
        searcher::searcher_init("A Friend", "You win caf\xE9", "none", "win.zip", "X: 1", "src=\"http", uppercase);
        for (int i = 0; i < 20000; ++i) {
            const std::string line = g.line();
            expect_named_outcome(line, [&] { searcher::filtred(line); });
        }
    }
}

TEST_F(FilterRandomLines, TracedDecompositionAlwaysEnds) {
    set_basefolder_setting(tmp_ / "base");
    Generator g(11);
    searcher::searcher_init("none", "none", "none", "none", "none", "none", true);
    searcher::trace_on();
    for (int i = 0; i < 500; ++i) {
        const std::string line = g.line();
        expect_named_outcome(line, [&] { searcher::filtred(line); });
    }
    searcher::trace_off();
}

}  // namespace
}  // namespace kalvorin
