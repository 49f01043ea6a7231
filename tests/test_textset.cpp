// Many texts found in one pass: the first occurrence of each, as a search for
// each text alone would find it.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <vector>

#include "CodigoComun/TextSet.h"

namespace kalvorin {
namespace {

std::vector<std::size_t> one_by_one(const std::vector<std::string>& texts, const std::string& subject) {
    std::vector<std::size_t> ends;
    for (const std::string& t : texts) {
        const std::size_t p = subject.find(t);
        ends.push_back(p == std::string::npos ? TextSet::npos : p + t.size());
    }
    return ends;
}

TEST(TextSet, FirstEndsOfTextsThatOverlapAndNest) {
    struct Case {
        std::vector<std::string> texts;
        std::string subject;
    };
    const Case cases[] = {
        {{"he", "she", "his", "hers"}, "ushers"},
        {{"a", "aa", "aaa"}, "baaab"},
        {{"abcd", "bc", "c"}, "abcabcd"},
        {{"x"}, ""},
        {{std::string("\0b", 2), "\xE9"}, std::string("a\0b\xE9", 4)},
        {{"WIN", "IN", "N!"}, "WIN WIN!"},
        {{"he", "she", "his", "hers", "h", "e", "rs", "x"}, "ushers his"},  // enough texts for the automaton
    };
    for (const Case& c : cases)
        EXPECT_EQ(TextSet(c.texts).first_ends(c.subject), one_by_one(c.texts, c.subject)) << c.subject;
}

TEST(TextSet, RandomTextsOverASmallAlphabet) {
    std::mt19937 rng(5);
    const auto word = [&](std::size_t max) {
        std::string s(1 + rng() % max, 'a');
        for (char& c : s) c = "abc\0"[rng() % 4];
        return s;
    };
    for (int round = 0; round < 2000; ++round) {
        std::vector<std::string> texts;
        for (std::size_t n = 1 + rng() % 8; n > 0; --n) {
            const std::string w = word(4);
            if (std::find(texts.begin(), texts.end(), w) == texts.end()) texts.push_back(w);
        }
        const std::string subject = word(40);
        ASSERT_EQ(TextSet(texts).first_ends(subject), one_by_one(texts, subject)) << subject;
    }
}

}  // namespace
}  // namespace kalvorin
