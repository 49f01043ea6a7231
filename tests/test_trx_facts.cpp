// What the translator tells the list checker of a pattern, through its public
// header alone.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "CodigoComun/Errors.h"
#include "CodigoComun/TrxFacts.h"

namespace kalvorin {
namespace {

TEST(TrxFacts, WhetherEveryMatchNeedsALowerCaseLetter) {
    struct Case {
        const char* pattern;
        bool needs;
    };
    const Case cases[] = {
        {"viagra", true},
        {"VIAGRA", false},
        {"(?i)viagra", false},  // caseless literals match the upper case too
        {"X[a-z]", true},
        {"[a-zA-Z]", false},    // a set with other bytes
        {"[a-z]+X", true},
        {"[a-z]*X", false},     // a repeat that may run no time
        {"[a-z]{2,}X", true},
        {"a|b", true},
        {"a|B", false},         // one branch without
        {"(x|y)Z", true},
        {"Z(?:x|)", false},     // an empty branch
        {"\\d\\w", false},
        {"\\x61", true},        // an escaped a is still an a
    };
    for (const Case& c : cases) EXPECT_EQ(trx_needs_lower_case(c.pattern), c.needs) << c.pattern;
}

TEST(TrxFacts, PatternsTheDialectRejectsRaiseItsError) {
    for (const char* pattern : {"", "(abc", "a{3,2}"}) {
        EXPECT_THROW(trx_needs_lower_case(pattern), ERegExpr) << pattern;
        EXPECT_THROW(trx_hostile_texts(pattern, 100), ERegExpr) << pattern;
        EXPECT_THROW(trx_piece_texts(pattern, 100), ERegExpr) << pattern;
    }
}

void expect_texts(const std::vector<HostileText>& texts, const std::vector<HostileText>& expected, const char* pattern) {
    ASSERT_EQ(texts.size(), expected.size()) << pattern;
    for (std::size_t i = 0; i < texts.size(); ++i) {
        EXPECT_EQ(texts[i].text, expected[i].text) << pattern << " text " << i;
        EXPECT_EQ(texts[i].recipe, expected[i].recipe) << pattern << " text " << i;
    }
}

TEST(TrxFacts, HostileTexts) {
    struct Case {
        const char* pattern;
        std::size_t length;
        std::vector<HostileText> texts;
    };
    const auto made = [](const std::string& run, char end) {
        return "\"" + run + "\" repeated, then \"" + std::string(1, end) + "\" and a sketch of the pattern";
    };
    const Case cases[] = {
        // One repeat over one form takes a step per byte: no texts.
        {"X+Y", 100, {}},
        {"a*", 100, {}},
        // A repeat over alternatives: its operand's sketch, the end byte, the
        // whole pattern's sketch; the near miss "ab" is the same text again.
        {"(ab|a)+c", 12, {{"abababab!abc", made("ab", '!')}}},
        // The end byte is one the pattern does not hold.
        {"(!+!+)+", 8, {{"!!!!~!!", made("!!", '~')}, {"!!!!!~!!", made("!", '~')}}},
        // Two repeats, each run at least once in the sketch, then the near miss.
        {"[a-c]x*y*", 10,
         {{"xxxxxx!axy", made("x", '!')}, {"yyyyyy!axy", made("y", '!')}, {"axaxax!axy", made("ax", '!')}}},
        // Too short for a run and the sketch: one run still goes in.
        {"[a-c]x*y*", 3, {{"x!axy", made("x", '!')}, {"y!axy", made("y", '!')}, {"ax!axy", made("ax", '!')}}},
    };
    for (const Case& c : cases) expect_texts(trx_hostile_texts(c.pattern, c.length), c.texts, c.pattern);
}

TEST(TrxFacts, PieceTexts) {
    struct Case {
        const char* pattern;
        std::size_t length;
        std::vector<HostileText> texts;
    };
    const auto words = [](const std::string& word, const std::string& tail) {
        return "\"" + word + "\" repeated, then \"" + tail + "\", made from its own pieces";
    };
    const Case cases[] = {
        {"[a-z]+@[a-z]+\\.com|(?:ab)+c", 100, {}},  // no repeat over a repeat or alternatives
        // Words of two bytes other than the literals', as many as fit before
        // the end byte and what follows the group.
        {"(?:\\w+ )+INVOICE NO", 20, {{"aa aa aa !INVOICE NO", words("aa ", "!INVOICE NO")}}},
        // Too short for a word and the rest: one word still goes in.
        {"(?:\\w+ )+INVOICE NO", 5, {{"aa !INVOICE NO", words("aa ", "!INVOICE NO")}}},
        // What precedes the group comes first; a literal is a literal.
        {"x(a|b)+c", 7, {{"xaaaa!c", "\"x\", then " + words("a", "!c")}}},
        // The second branch, and a group inside a group: what follows the
        // inner one is the rest of the outer run, then what follows that.
        {"q|(?:(?:a|b)+c)+d", 8,
         {{"aacaac!d", words("aac", "!d")}, {"aaaaa!cd", words("a", "!cd")}}},
        // A group that must run three times also gets two runs whose repeats
        // are as long as the length allows.
        {"(.*a){3}", 12,
         {{"bbabbabba!", words("bba", "!")},
          {"bbbbabbbba!", "\"ba\" 2 times with each repeat in it run 4 times, then \"!\", made from its own pieces"}}},
    };
    for (const Case& c : cases) expect_texts(trx_piece_texts(c.pattern, c.length), c.texts, c.pattern);
}

}  // namespace
}  // namespace kalvorin
