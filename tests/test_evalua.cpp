// The expression evaluator: values of the rewriting cycles, conversion errors,
// and the irreducible texts that must end in an error instead of a loop.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <vector>

#include "CodigoComun/Errors.h"
#include "CodigoComun/EvaluaExpresion.h"

namespace kalvorin {
namespace {

using namespace evalua_detail;

struct ValueCase {
    std::string expression;
    std::int32_t value;
};

TEST(Evalua, ReducesToTheValueOfTheRewritingCycles) {
    const std::vector<ValueCase> cases = {
        {"1", 1},
        {"0", 0},
        {"1+0*1", 1},
        {"0*1+1", 0},  // "+" is folded before "*" of the same cycle
        {"(0*1)+1", 1},
        {"(0+1)*1", 1},
        {"1+(0*1)", 1},
        {"1+1+1", 3},
        {"1+1*1+1", 4},  // both "1+1" fold in one step
        {"(1+1)*(1+0+1)", 4},
        {"1 + 0", 1},
        {"0*0+0", 0},
        {"((1))", 1},
        {"(1)", 1},
        {" 1 *  1 ", 1},
        {"1A1", 2},  // placeholders are not reserved
        {"1M1", 1},
        {"L1)", 1},
        {"1 0", 10},  // blanks go first, so the digits join
        {"(1+1", 2},  // an unmatched "(" is dropped
        {"-1", -1},
        {"007", 7},
        // t is replaced as plain text everywhere, also inside longer numbers.
        {"(1+1)*(21+12)", 444},
        {"1+00", 10},
        {"2147483647", 2147483647},
        {"-2147483648", -2147483647 - 1},
        {"46340*46340", 2147395600},
        {"(1+0)*1", 1},
        {"1)(", 1},  // "(1)()": the groups pair up differently
        {"(1)(1)", 11},  // groups side by side join into one number
        {"1*(1+1)*1", 2},
        {"10+1+10", 21},
        {"2*2+2*2", 16},
        {"2+3*2+3", 25},
        {"12+12+1", 25},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("expression: " + c.expression);
        EXPECT_EQ(evalua(c.expression), c.value);
    }
}

TEST(Evalua, RaisesConversionErrorNamingTheReducedText) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"1x", "'1x' is not a valid integer value"},
        {"", "'' is not a valid integer value"},
        {"   ", "'' is not a valid integer value"},
        {"x1", "'x1' is not a valid integer value"},
        {"$10", "'$10' is not a valid integer value"},  // decimal only
        {"1\t1", "'1\t1' is not a valid integer value"},  // a tab is no blank
        {"-", "'-' is not a valid integer value"},
        {"--1", "'--1' is not a valid integer value"},
        {"()", "'' is not a valid integer value"},
        {"1)+(1", "'' is not a valid integer value"},  // right operand at the very end
        {"rwmsg=#0#", "'rwmsg=#0#' is not a valid integer value"},
        {"2147483648", "'2147483648' is not a valid integer value"},
        {"-2147483649", "'-2147483649' is not a valid integer value"},
        {"99999999999999999999", "'99999999999999999999' is not a valid integer value"},
        {"99999999999+1", "'99999999999' is not a valid integer value"},
        {"2147483647+1", "'2147483648' is not a valid integer value"},
        {"65536*65536", "'4294967296' is not a valid integer value"},
    };
    for (const auto& [expression, message] : cases) {
        SCOPED_TRACE("expression: " + expression);
        try {
            evalua(expression);
            ADD_FAILURE() << "no error raised";
        } catch (const EConvertError& e) {
            EXPECT_EQ(std::string(e.what()), message);
        }
    }
}

TEST(Evalua, IrreducibleTextRaisesFilterErrorNamingTheExpression) {
    const std::vector<std::string> cases = {
        "+1", "1+", "*1", "1*", "+", "1++1", "1+*1", "1*+1", "1+()", "()*1", ")", "1)", "(1))",
        "1\t+1", "1+\t1", "(+)", "1+01", "2*03", "(1+01)*1", "1+1+01",
    };
    for (const auto& expression : cases) {
        SCOPED_TRACE("expression: " + expression);
        try {
            evalua(expression);
            ADD_FAILURE() << "no error raised";
        } catch (const EFilterError& e) {
            EXPECT_NE(std::string(e.what()).find("'" + expression + "'"), std::string::npos) << e.what();
        }
    }
}

TEST(EvaluaDetail, DigitsAreExactlyTheTenDecimalDigits) {
    std::string digits;
    for (int c = 0; c < 256; ++c)
        if (es_digito(static_cast<char>(c))) digits += static_cast<char>(c);
    EXPECT_EQ(digits, "0123456789");
}

TEST(EvaluaDetail, OperatorsAreTheTwoOperatorsAndTheParentheses) {
    EXPECT_FALSE(hay_operador("10AML-x "));
    for (const std::string s : {"+", "*", "(", ")", "1+1", "(1"}) EXPECT_TRUE(hay_operador(s)) << s;
}

TEST(EvaluaDetail, ParenthesisPassUnwrapsPlainGroupsEverywhere) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"(1)+(1)", "1+1"},      // the same group elsewhere goes in the same step
        {"((2)", "(2"},          // the outer "(" waits as "L" and comes back
        {"(1+1)", "(1+1)"},      // a group with an operator stays
        {"((1)*(2))", "(1*2)"},
        {"(-1)", "-1"},
        {"(1+(2", "1+2"},        // no ")" at all: every "(" is deleted
        {"((2)(((2)", "(22"},    // the last ")" goes with a group: the "(" after it are deleted
        {"()", ""},
        {")", ")"},
    };
    for (const auto& [before, after] : cases) {
        std::string s = before;
        reduce_parentesis(s);
        EXPECT_EQ(s, after) << before;
    }
}

TEST(Evalua, NestingUpToTheLimitIsWorkedThroughAndDeeperIsRefused) {
    const std::size_t depth = kDeepestNesting;
    EXPECT_EQ(evalua(std::string(depth, '(') + "1" + std::string(depth, ')')), 1);
    std::string sum = "1";
    for (std::size_t i = 0; i < depth; ++i) sum = "(1+" + sum + ")";
    EXPECT_EQ(evalua(sum), static_cast<std::int32_t>(depth + 1));
    // "L" is read as "(", and an unmatched "(" counts as deep as a matched one.
    for (const std::string& deeper : {"(" + sum + ")", "L" + sum + ")", "(" + sum}) {
        try {
            evalua(deeper);
            ADD_FAILURE() << "no error for a depth of " << depth + 1;
        } catch (const EFilterError& e) {
            EXPECT_NE(std::string(e.what()).find("nested more than 256 deep"), std::string::npos) << e.what();
        }
    }
}

}  // namespace
}  // namespace kalvorin
