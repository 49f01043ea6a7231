// The configuration program's logic without its window: the text-box rules,
// the field tests, the list merge, the checks before a save and the bulk
// batches.
#include <gtest/gtest.h>

#include <string>
#include <utility>

#include "config/BulkBatch.h"
#include "config/FieldRules.h"
#include "config/FieldTest.h"
#include "config/FilterLists.h"
#include "config/ListChecks.h"
#include "support/TestSupport.h"

namespace kalvorin::config {
namespace {

// ------------------------------------------------------------------ text-box rules

struct Typed {
    const char16_t* before;
    const char16_t* after;  // the box's text after the change
    std::size_t cursor;     // where the change left the cursor
    const char16_t* kept;
    std::size_t kept_cursor;
};

class LimitTyped : public ::testing::TestWithParam<Typed> {};

TEST_P(LimitTyped, CutsWhatWasInsertedToTheRoomLeft) {
    const Typed& c = GetParam();
    const BoxEdit kept = limit_typed(c.before, {c.after, c.cursor}, 2);
    EXPECT_EQ(kept.text, std::u16string(c.kept));
    EXPECT_EQ(kept.cursor, c.kept_cursor);
}

INSTANTIATE_TEST_SUITE_P(
    LogSizeBox, LimitTyped,
    ::testing::Values(Typed{u"", u"5", 1, u"5", 1}, Typed{u"5", u"57", 2, u"57", 2},
                      // a paste keeps its first characters
                      Typed{u"", u"123", 3, u"12", 2}, Typed{u"5", u"5123", 4, u"51", 2},
                      Typed{u"5", u"1235", 3, u"15", 1},
                      // a full box takes nothing, wherever the cursor is
                      Typed{u"12", u"132", 2, u"12", 1}, Typed{u"12", u"712", 1, u"12", 0},
                      // a longer text set from code takes nothing more
                      Typed{u"100", u"1005", 4, u"100", 3}, Typed{u"100", u"5100", 1, u"100", 0},
                      // shortening is always allowed
                      Typed{u"100", u"10", 2, u"10", 2}, Typed{u"100", u"7", 1, u"7", 1},
                      // repeated characters: the same text whichever copy was typed
                      Typed{u"11", u"111", 1, u"11", 1}));

struct OneLine {
    const char16_t* after;
    std::size_t cursor;
    const char16_t* kept;
    std::size_t kept_cursor;
};

class FirstLineOnly : public ::testing::TestWithParam<OneLine> {};

TEST_P(FirstLineOnly, KeepsThePastedTextUpToItsFirstBreak) {
    const OneLine& c = GetParam();
    const BoxEdit kept = first_line_only({c.after, c.cursor});
    EXPECT_EQ(kept.text, std::u16string(c.kept));
    EXPECT_EQ(kept.cursor, c.kept_cursor);
}

INSTANTIATE_TEST_SUITE_P(Pastes, FirstLineOnly,
                         ::testing::Values(OneLine{u"abc", 3, u"abc", 3}, OneLine{u"ab\r\ncdXY", 6, u"abXY", 2},
                                           OneLine{u"Xa\nb\nc", 6, u"Xa", 2}, OneLine{u"\nabc", 1, u"abc", 0}));

// ------------------------------------------------------------------ field tests

struct Refused {
    char delimiter;
    const char* text;
    Refusal refusal;
};

class TextInATest : public ::testing::TestWithParam<Refused> {};

TEST_P(TextInATest, IsRefusedOnlyForTheChosenDelimiterOrAKeyword) {
    const Refused& c = GetParam();
    const TestKind kind = *TestKind::from_codes('2', '=', c.delimiter);
    EXPECT_EQ(kind.refusal(c.text), c.refusal) << c.text;
}

INSTANTIATE_TEST_SUITE_P(
    Texts, TextInATest,
    ::testing::Values(Refused{'#', "a#b", Refusal::Delimiter}, Refused{'%', "a#b", Refusal::None},
                      Refused{'"', "say \"hi\"", Refusal::Delimiter}, Refused{'#', "(x)*y+z%\"", Refusal::None},
                      Refused{'#', "about sbjct", Refusal::Keyword}, Refused{'#', "RwMsG", Refusal::Keyword},
                      Refused{'#', "my subject line", Refusal::None},
                      // only a to z fold: an accented letter is no keyword letter
                      Refused{'#', "sb\xCA" "ct", Refusal::None}));

// ------------------------------------------------------------------ the list after a save

struct Merge {
    const char* name;
    std::vector<std::string> list, waiting;
    std::string merged;
};

TEST(MergedList, KeepsLinesLongerThanTwoAndWaitingLinesLongerThanFive) {
    const Merge cases[] = {
        {"empty", {}, {}, ":"},
        {"list line lengths", {"ab", "abc", "", "::", ":"}, {}, "abc\r\n:"},
        {"waiting line lengths", {}, {"12345", "123456", ""}, "123456\r\n:"},
        {"order kept", {":T", ":mine"}, {"SNDER=#a#", "SBJCT=#b#"}, ":mine\r\nSNDER=#a#\r\nSBJCT=#b#\r\n:"},
        {"saved twice", {"SNDER=#a#", ":"}, {}, "SNDER=#a#\r\n:"},
    };
    for (const Merge& c : cases) EXPECT_EQ(merged_list(c.list, c.waiting), c.merged) << c.name;
}

// ------------------------------------------------------------------ checks before a save

// Only waiting lines that stop the scoring are asked about: a line whose
// pattern runs out of its budget is passed over for such a message instead.
TEST(FaultsInWaitingLines, AreTheLinesThatStopTheScoring) {
    ListsAfterSave after;
    after.lists.lines[1] = {"sbjct=#a#x", "mbody=%(ab%", "mbody=%(?:\\w+ )+INVOICE NO%", "sbjct=#b#x", "sbjct=#c#"};
    after.kept[1] = 1;
    const std::vector<lint::Finding> faults = faults_in_waiting_lines(after, true);
    ASSERT_EQ(faults.size(), 2u);
    EXPECT_EQ(std::make_pair(faults[0].number, faults[1].number), std::make_pair(std::size_t{4}, std::size_t{2}));
}

// ------------------------------------------------------------------ bulk batches

TEST(GenerateFromFile, TheStagingFileAsItsOwnSourceIsTakenAsItWas) {
    test::TempDir dir;
    const std::string staging = dir / "~tmp.dat";
    test::spit(staging, "lottery\r\nwin#big\r\nabc\r\n");
    const TestKind kind = *TestKind::from_codes('2', '=', '#');
    std::size_t bytes = 0;
    const BatchCount count = generate_from_file(kind, staging, staging, [&bytes](std::size_t n) { bytes += n; });
    EXPECT_EQ(count.written, 1u);
    EXPECT_EQ(count.with_delimiter, 1u);
    EXPECT_EQ(count.with_keyword, 0u);
    EXPECT_EQ(test::slurp(staging), "lottery\r\nwin#big\r\nabc\r\nSBJCT=#lottery#\r\n");
    EXPECT_EQ(bytes, 8u + 8u + 4u);
}

}  // namespace
}  // namespace kalvorin::config
