// Random filter lines and expressions: evalua and filtred always return or
// raise one of the named errors. A loop would hang the test until CTest's
// timeout; a crash or a memory fault shows under the sanitizer build.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "CodigoComun/CapturaSpam.h"
#include "CodigoComun/Errors.h"
#include "CodigoComun/EvaluaExpresion.h"
#include "support/RandomFilters.h"
#include "support/TestSupport.h"

namespace kalvorin {
namespace {

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
    test::RandomFilters g(20240611);
    for (int i = 0; i < 50000; ++i) {
        const std::string e = g.expression(24);
        expect_named_outcome(e, [&] { evalua(e); });
    }
}

class FilterRandomLines : public test::HiveTest {};

TEST_F(FilterRandomLines, FiltredAlwaysEnds) {
    set_basefolder_setting(tmp_ / "base");
    test::RandomFilters g(7);
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
    test::RandomFilters g(11);
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
