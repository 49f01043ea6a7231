// The dialect's parser and the fitting of counts, each on its own.
#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "CodigoComun/TrxEmitter.h"
#include "CodigoComun/TrxParser.h"
#include "CodigoComun/Errors.h"

namespace kalvorin::trx {
namespace {

TEST(TrxParser, GroupsCapturesAndRepeats) {
    struct Case {
        std::string pattern;
        std::size_t branches;
        int captures;
        std::size_t first_branch_items;
    };
    const Case cases[] = {
        {"a|b|", 3, 0, 1},
        {"(a)(?:b)\\1", 1, 1, 3},
        {"((a)|b)c{2,3}?", 1, 2, 2},
        {"(?i)x(?#note)", 1, 0, 3},  // the modifier and the comment stay as empty items
    };
    for (const Case& c : cases) {
        const ParsedPattern p = parse(c.pattern);
        EXPECT_EQ(p.branches.size(), c.branches) << c.pattern;
        EXPECT_EQ(p.captures, c.captures) << c.pattern;
        EXPECT_EQ(p.branches.front().size(), c.first_branch_items) << c.pattern;
    }
    const ParsedPattern lazy = parse("c{2,3}?");
    const Node& repeat = lazy.branches.front().front();
    EXPECT_EQ(repeat.kind, Node::Kind::repeat);
    EXPECT_EQ(repeat.min, 2u);
    EXPECT_EQ(repeat.max, 3u);
    EXPECT_TRUE(repeat.lazy);
}

TEST(TrxParser, RejectsWithTheDialectsMessages) {
    const std::pair<std::string, std::string> cases[] = {
        {"", "TRegExpr(exec): Not Assigned Expression Property"},
        {"a(b", "TRegExpr(comp): ParseReg Unmatched () (pos 3)"},
        {"a**", "TRegExpr(comp): Nested *?+ (pos 3)"},
        {"(a*)*", "TRegExpr(comp): *+ Operand Could Be Empty (pos 5)"},
    };
    for (const auto& [pattern, message] : cases) {
        try {
            parse(pattern);
            ADD_FAILURE() << pattern;
        } catch (const ERegExpr& e) {
            EXPECT_EQ(std::string(e.what()), message);
        }
    }
}

TEST(TrxFitting, CountsFittedToTheSubjectsLength) {
    struct Case {
        unsigned long min, max;
        Width width;
        std::size_t length;
        std::optional<Counts> fitted;
    };
    const Case cases[] = {
        {3, 5, 1, 2, std::nullopt},      // three runs cannot fit in two bytes
        {3, 5, 1, 4, Counts{3, kUnbounded}},  // five cannot either, so no maximum is needed
        {3, 5, 1, 5, Counts{3, 5}},
        {2, 2, 4, 7, std::nullopt},
        {2, 2, 4, 8, Counts{2, 2}},
        {9, 9, 0, 3, Counts{4, kUnbounded}},  // an empty-able operand: one more than the length will do
        {0, kUnbounded, 1, 0, Counts{0, kUnbounded}},
    };
    for (const Case& c : cases)
        EXPECT_EQ(fit_to_subject(c.min, c.max, c.width, c.length), c.fitted)
            << c.min << "," << c.max << " width " << c.width << " length " << c.length;
}

TEST(TrxFitting, LengthClassesFollowTheFitting) {
    const Fitting f(parse("a{3,5}(b{0,2}){9}"));  // the second operand can match empty
    EXPECT_NE(f.length_class(2), f.length_class(3));
    EXPECT_NE(f.length_class(3), f.length_class(4));  // the empty-able operand's minimum follows the length
    EXPECT_NE(f.length_class(4), f.length_class(5));
    EXPECT_EQ(f.length_class(9), f.length_class(10));
    EXPECT_EQ(f.length_class(100), f.length_class(100000));
}

}  // namespace
}  // namespace kalvorin::trx
