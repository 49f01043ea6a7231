// Many texts found in one pass: the first occurrence of each, as a search for
// each text alone would find it.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "CodigoComun/FieldTests.h"
#include "CodigoComun/TextSet.h"
#include "platform/find_bytes.h"

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

constexpr TextSet::Form kForms[] = {TextSet::Form::one_by_one, TextSet::Form::dense, TextSet::Form::sparse};

// Every form, and the one chosen by size, answers as a search for each text alone.
void expect_every_form(const std::vector<std::string>& texts, const std::string& subject) {
    const std::vector<std::size_t> expected = one_by_one(texts, subject);
    EXPECT_EQ(TextSet(texts).first_ends(subject), expected) << subject;
    for (const TextSet::Form form : kForms)
        EXPECT_EQ(TextSet(texts, form).first_ends(subject), expected) << subject << " form " << static_cast<int>(form);
}

// As find gives it, also where a view is empty and may hold no pointer.
TEST(FindBytes, FindsWhatFindFinds) {
    const std::string_view none;
    const std::pair<std::string_view, std::string_view> cases[] = {
        {none, none},    {"abc", none}, {none, "a"},      {"ab", "abc"},
        {"abcabc", "ca"}, {"abc", "c"},  {"abc", "d"},     {"aab", "ab"},
        {"abc", "abc"},   {std::string_view("xx\0y", 4), std::string_view("\0y", 2)},
    };
    for (const auto& [subject, text] : cases)
        EXPECT_EQ(platform::find_bytes(subject, text), subject.find(text)) << subject << " / " << text;
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
    for (const Case& c : cases) expect_every_form(c.texts, c.subject);
}

// Few letters make texts that overlap and nest; bytes on both sides of 0x80
// check that none is taken as a negative number.
TEST(TextSet, RandomTextsOverSmallAlphabets) {
    std::mt19937 rng(5);
    for (const std::string& alphabet : {std::string("abc\0", 4), std::string("\0\x01\x7F\x80\xFE\xFF" "ab", 8)})
        for (int round = 0; round < 1000; ++round) {
            const auto word = [&](std::size_t max) {
                std::string s(1 + rng() % max, 'a');
                for (char& c : s) c = alphabet[rng() % alphabet.size()];
                return s;
            };
            std::vector<std::string> texts;
            for (std::size_t n = 1 + rng() % 12; n > 0; --n) {
                const std::string w = word(5);
                if (std::find(texts.begin(), texts.end(), w) == texts.end()) texts.push_back(w);
            }
            const std::string subject = word(60);
            expect_every_form(texts, subject);
            if (HasFailure()) return;
        }
}

// The dense table is kept for small sets only; a long text of varied bytes
// takes the sparse form, whose answers stay the same.
TEST(TextSet, FormFollowsTheTextsSize) {
    std::mt19937 rng(7);
    std::vector<std::string> texts = {"he", "she", "his", "hers", "h", "e", "rs"};
    EXPECT_EQ(TextSet(texts).form(), TextSet::Form::dense);
    EXPECT_EQ(TextSet(std::vector<std::string>(texts.begin(), texts.begin() + 3)).form(), TextSet::Form::one_by_one);
    // A long text is not searched one by one, whose time would be its length
    // times the subject's.
    EXPECT_NE(TextSet({"he", std::string(65, 'a') + "b"}).form(), TextSet::Form::one_by_one);
    std::string varied(10000, 0);
    for (char& c : varied) c = static_cast<char>(rng());
    texts.push_back(varied);
    texts.push_back(varied.substr(5000, 20));
    const std::string subject = "ushers " + varied.substr(0, 7000) + varied;
    EXPECT_EQ(TextSet(texts).form(), TextSet::Form::sparse);
    expect_every_form(texts, subject);
}

// A test first met after the message's searches were built (a line taken
// apart by its values, at its first message) is answered as if it had been
// met before: in its own mode, and for each message after.
TEST(FieldTests, ATestMetAfterTheSearchesWereBuiltIsAnsweredInItsMode) {
    constexpr std::size_t kBody = 2;  // MBODY
    FieldParts parts{"", "", "a winner takes it", "", "", ""};
    FieldTests tests(parts);
    const int early = tests.add(MatchMode::contains, kBody, "takes");
    tests.new_message(true);
    EXPECT_TRUE(tests.answer(early));
    struct Late {
        MatchMode mode;
        const char* text;
        bool first, second;  // the answers for "a winner takes it", then "win it"
    };
    const Late late[] = {
        {MatchMode::word, "win", false, true},      {MatchMode::word, "winner", true, false},
        {MatchMode::contains, "win", true, true},   {MatchMode::contains, "lose", false, false},
        {MatchMode::word, "WINNER", true, false},
    };
    std::vector<int> numbers;
    for (const Late& l : late) {
        numbers.push_back(tests.add(l.mode, kBody, l.text));
        EXPECT_EQ(tests.answer(numbers.back()), l.first) << l.text;
    }
    parts[kBody] = "win it";
    tests.new_message(true);
    for (std::size_t i = 0; i < std::size(late); ++i) EXPECT_EQ(tests.answer(numbers[i]), late[i].second) << late[i].text;
    EXPECT_FALSE(tests.answer(early));
}

}  // namespace
}  // namespace kalvorin
