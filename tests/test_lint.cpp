// kalvorin-lint: each kind of finding on a small list that has it, and the
// program's output and exit statuses.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "CodigoComun/CapturaSpam.h"
#include "CodigoComun/DefaultLists.h"
#include "CodigoComun/Errors.h"
#include "CodigoComun/FileNames.h"
#include "CodigoComun/RegExpr.h"
#include "CodigoComun/Texto.h"
#include "CodigoComun/TrxFacts.h"
#include "support/TestSupport.h"
#include "tools/Lint.h"

namespace kalvorin::lint {
namespace {

struct Expected {
    std::size_t list, number;
    Kind kind;
    std::string part_of_text;
};

struct Case {
    const char* name;
    std::vector<std::string> secure, trash;
    std::vector<Expected> findings;
    bool uppercase = true;
};

std::string shown(const Report& r) {
    std::string out;
    for (const Finding& f : r.findings)
        out += std::to_string(f.list) + ":" + std::to_string(f.number) + " " + kind_name(f.kind) + " " +
               english(f.what, Style::raw) + "\n";
    return out;
}

TEST(Lint, FindsEachKindOfProblemAndOnlyThere) {
    const Case cases[] = {
        {"sound lines", {":Secure", "snder=#@family.org#", "(sbjct=#a#+sbjct=#b#)*mbody=\"c\""}, {"sbjct=#a#+mbody=#x#"}, {}},
        {"an expression that never reduces", {"sbjct=#a#x"}, {},
         {{0, 1, Kind::stops, "'0x' is not a valid integer value; scoring stops here for every message"}}},
        {"a number too big only when the test is true", {"sbjct=#a# 0 0 0 0 0 0 0 0 0 0"}, {},
         {{0, 1, Kind::stops, "when sbjct=#a# = 1: '10000000000' is not a valid integer value"}}},
        {"a line beyond the longest a line may be", {"sbjct=#a#+" + std::string(65536, ' ') + "1"}, {},
         {{0, 1, Kind::stops, "is refused: The filter line of 65547 bytes is longer than the 65536 bytes a line may have"}}},
        {"parentheses nested too deep", {std::string(257, '(') + "sbjct=#a#" + std::string(257, ')')}, {},
         {{0, 1, Kind::stops, "nested more than 256 deep; scoring stops here for every message"}}},
        // Tests are met in keyword order; the first faulty one stops the line.
        {"two tests that cannot be taken apart", {"sbjct=#a+snder=x"}, {},
         {{0, 1, Kind::stops, "Field test 'snder=xx' does not occur in the line"}}},
        {"a test without its closing delimiter", {}, {"sbjct=#b"},
         {{1, 1, Kind::stops, "cannot be taken apart: Field test 'sbjct=#b#' does not occur in the line"}}},
        {"a pattern that does not compile", {"sbjct=%(abc%"}, {},
         {{0, 1, Kind::regex_error, "Unmatched () (pos 4)"}}},
        {"nested repeats", {}, {"rwmsg=%(X+X+)+Y%", "rwmsg=%(?i)(\\w+\\s?){2,4}viagra%", "rwmsg=%X+Y+Z%"},
         {{1, 1, Kind::regex_cost, "Pattern Too Costly"},
          {1, 2, Kind::regex_cost, "; the line is passed over for a message like it"}}},
        {"patterns see the message in upper case", {}, {"rwmsg=%(X+X+)+Y%", "rwmsg=%(x+x+)+y%"},
         {{1, 1, Kind::regex_cost, "Pattern Too Costly"}, {1, 2, Kind::never_holds, "needs a lower-case letter"},
          {1, 2, Kind::never_decides, "no answers"}}},
        {"patterns see the message as it is", {}, {"rwmsg=%(x+x+)+y%"},
         {{1, 1, Kind::regex_cost, "Pattern Too Costly"}}, false},
        {"the same line again, keywords in other letter case", {"sbjct=#a#*mbody=#b#"}, {"x", "SBJCT=#a#*MBody=#b#"},
         {{1, 1, Kind::stops, "'x' is not a valid integer value"},
          {1, 2, Kind::duplicate, "the same value as secure line 1"}}},
        {"an earlier line matches on a test that this line needs", {"(sbjct=#win#)", "mbody=\"x\"+attch=#y#"},
         {"(mbody=#x#+mbody=#y#)*sbjct=#win#", "mbody=#x#*sbjct=#winner#", "sbjct-#win#*mbody=#x#",
          "MBODY=\"x\"*snder=#z#", "mbody=\"x\"+snder=#z#"},
         {{1, 1, Kind::never_decides, "secure line 1 matches whenever SBJCT=#win# holds"},
          {1, 4, Kind::never_decides, "secure line 2 matches whenever MBODY=\"x\" holds"}}},
        {"lines of one shape whose tests stand in another order",
         {"RWMSG=#c#", "(SNDER=#a#+SBJCT=#b#)*RWMSG=#c#", "(RWMSG=#c#+SBJCT=#b#)*SNDER=#a#"}, {},
         {{0, 2, Kind::never_decides, "secure line 1 matches whenever RWMSG=#c# holds"}}},
        {"lines that decide every message, and nothing after them is claimed", {"1", "sbjct=#zz#+1"},
         {"sbjct=#zz#+1"},
         {{0, 1, Kind::decides_all, "matches every message"}, {0, 2, Kind::decides_all, "matches every message"},
          {1, 1, Kind::decides_all, "matches every message"}}},
        {"tests whose search never succeeds", {"sbjct=##", "mbody=%viagra%+sbjct=#a#", "attch=%\\.exe$%*1",
                                               "sbjct-\" \"*sbjct=#b#"},
         {"mbody=%(?i)viagra%", "mbody=%VIAGRA%", "mbody=%[a-z]?X%", "mbody=%a|B%"},
         {{0, 1, Kind::never_holds, "sbjct=## never holds: an empty text"},
          {0, 1, Kind::never_decides, "no answers"},
          {0, 2, Kind::never_holds, "mbody=%viagra% never holds: with the upper-case option on"},
          {0, 3, Kind::never_holds, "a lower-case letter"},
          {0, 3, Kind::never_decides, "no answers"},
          {0, 4, Kind::always_holds, "always holds: a word of blanks"}}},
        {"patterns as written when the option is off", {"mbody=%viagra%", "sbjct=\" \""}, {}, {}, false},
        {"a line saved as UTF-8", {"mbody=#caf\xC3\xA9#", "mbody=#caf\xE9#", "\xEF\xBB\xBF:Secure"}, {},
         {{0, 1, Kind::utf8, "Read as UTF-8, as it was written: mbody=#caf\xE9#"},
          {0, 3, Kind::stops, "not a valid integer"},
          {0, 3, Kind::utf8, "byte-order mark"}}},
        {"the same tests in other letter case under the option", {"SBJCT=#INVOICE#*mbody=\"Win \""},
         {"sbjct=#invoice#*MBODY=\"WIN\""}, {{1, 1, Kind::duplicate, "the same value as secure line 1"}}},
        {"and not without it", {"SBJCT=#INVOICE#"}, {"sbjct=#invoice#"}, {}, false},
        {"a test that an earlier digit brings into the line", {"sbjct=snder=#a#1+rwmsg=#b#0"}, {}, {}},
        {"and one that makes the number too big", {"sbjct=snder=#a#1+rwmsg=#b#0000000000+1"}, {},
         {{0, 1, Kind::stops, "'10000000000' is not a valid integer value"}}},
        {"a line that matches or stops on its pattern", {"1+rwmsg=%(X+X+)+Y%"}, {"snder=#a#"},
         {{0, 1, Kind::regex_cost, "Pattern Too Costly"}}},
        {"texts that hold the byte between keys", {std::string("snder=\"x\0= 2 0 y\"+snder=\"z\"", 27)},
         {std::string("snder=\"x\"+snder=\"y\0= 2 0 z\"", 27)}, {}, false},
        {"a line that nothing makes match", {"sbjct=/x/", "sbjct=#a#*0"}, {},
         {{0, 1, Kind::never_decides, "no answers"}, {0, 2, Kind::never_decides, "no answers"}}},
        // Every answer of up to six distinct tests is tried, so a line of six
        // that nothing makes match is said to be so; of seven only a sample
        // is, which proves nothing.
        {"six distinct tests that nothing makes match",
         {"(sbjct=#a#*sbjct-#a#)*sbjct=#b#*sbjct=#c#*sbjct=#d#*sbjct=#e#*sbjct=#f#"}, {},
         {{0, 1, Kind::never_decides, "no answers"}}},
        {"seven, which are only sampled",
         {"(sbjct=#a#*sbjct-#a#)*sbjct=#b#*sbjct=#c#*sbjct=#d#*sbjct=#e#*sbjct=#f#*sbjct=#g#"}, {}, {}},
        {"a keyword inside a later test's text", {"rwmsg=#snder=#a## 0 0 0 0 0 0 0 0 0 0"}, {},
         {{0, 1, Kind::stops, "when snder=#a# = 0, rwmsg=#0# = 1: '10000000000'"}}},
    };
    for (const Case& c : cases) {
        inspect::FilterLists lists;
        lists.lines[0] = c.secure;
        lists.lines[1] = c.trash;
        const Report r = check(lists, c.uppercase);
        ASSERT_EQ(r.findings.size(), c.findings.size()) << c.name << "\n" << shown(r);
        for (std::size_t i = 0; i < c.findings.size(); ++i) {
            const Finding& f = r.findings[i];
            const Expected& e = c.findings[i];
            EXPECT_EQ(std::make_tuple(f.list, f.number, f.kind), std::make_tuple(e.list, e.number, e.kind)) << c.name;
            const std::string text = english(f.what, Style::raw);
            EXPECT_NE(text.find(e.part_of_text), std::string::npos) << c.name << ": " << text;
        }
    }
}

// Each finding says what to change and where, readably: control characters
// shown, a long line's reason not buried behind its echo, both readings of a
// UTF-8 line named, and what the plug-in accepts but hardly means said too.
TEST(Lint, EachFindingSaysWhatToChangeAndWhere) {
    struct Case {
        std::string line;
        Kind kind;
        std::string fix, what;
    };
    const std::string deep = std::string(300, '(') + "sbjct=#a#" + std::string(300, ')');
    const Case cases[] = {
        {"sbjct=#lottery#)*(mbody=#winner#", Kind::stops, "remove the ')' at column 16", "'' is not a valid"},
        {"sbjct=#a#\t", Kind::stops, "remove the '\\t' at column 10", "'0\\t' is not a valid"},
        {"foo=#x#", Kind::stops, "'foo' at column 1 is no field keyword", "'foo=#x#' is not"},
        {deep, Kind::stops, "nested 300 deep, past 256 from the '(' at column 257", "(601 bytes) cannot be evaluated: its"},
        {"sbjct=#a#+", Kind::stops, "the '+' at column 10 has no test after it", "no step can reduce"},
        {"sbjct=#a#+(mbody=#b#", Kind::stops, "close the '(' at column 11", "cannot be evaluated"},
        {"sbjct=#a+snder=x", Kind::stops, "sbjct=#a+snder=x at column 1 has no closing '#'", "does not occur"},
        {"mbody=#caf\xC3\xA9#", Kind::utf8, "save the list as Windows-1252",
         "as the plug-in reads it: mbody=#caf\xC3\xA9#. Read as UTF-8, as it was written: mbody=#caf\xE9#"},
        {"sbjct-##", Kind::always_holds, "between the delimiters of the test sbjct-## at column 1", "always holds"},
        {"sbjct=#zz#+1", Kind::decides_all, "the number 1 at column 12", "matches every message"},
        {"mbody=#a#*rwmsg=%viagra%", Kind::never_holds, "rwmsg=%viagra% at column 11 in upper case", "never holds"},
        {"(sbjct=#a#+mbody=#b#", Kind::unclosed, "close the '(' at column 1", "never closed"},
        {"sbjct=#a# mbody=#b#", Kind::no_operator, "between sbjct=#a# and mbody=#b# at column 11", "side by side"},
        {"mbody=%(ab%", Kind::regex_error, "the test mbody=%(ab% at column 1", "does not compile"},
    };
    for (const Case& c : cases) {
        inspect::FilterLists lists;
        lists.lines[0] = {c.line};
        const Report r = check(lists, true);
        const auto f = std::find_if(r.findings.begin(), r.findings.end(), [&](const Finding& x) { return x.kind == c.kind; });
        ASSERT_NE(f, r.findings.end()) << c.line << "\n" << shown(r);
        EXPECT_NE(english(f->fix).find(c.fix), std::string::npos) << c.line << ": " << english(f->fix);
        EXPECT_NE(english(f->what).find(c.what), std::string::npos) << c.line << ": " << english(f->what);
        EXPECT_LT(english(f->what).size(), 400u) << c.line;
    }
}

// The window's English texts are kalvorin-lint's, line for line.
TEST(Lint, TheEnglishLanguageFileHoldsTheCheckersTexts) {
    const std::string file = test::slurp(std::string(KALVORIN_SOURCE_DIR) + "/resources/lang.eng.txt");
    std::vector<std::string> lines;
    for (std::size_t from = 0, end; (end = file.find("\r\n", from)) != std::string::npos; from = end + 2)
        lines.push_back(file.substr(from, end - from));
    constexpr std::size_t kFirst = 160;
    ASSERT_GT(lines.size(), kFirst + static_cast<std::size_t>(Says::count));
    for (std::size_t s = 0; s < static_cast<std::size_t>(Says::count); ++s)
        EXPECT_EQ(lines[kFirst - 1 + s], english_template(static_cast<Says>(s))) << "line " << kFirst + s;
}

// A pattern whose work grows faster than its text is reported with the
// length of the first text, doubling up to the longest part, that takes it
// out of its budget; one whose work grows with its text never is.
TEST(Lint, ReportsPatternsWhoseWorkOutgrowsTheirText) {
    struct Case { const char* pattern; bool costly, uppercase = false; };
    const Case cases[] = {
        {"(?:\\w+ )+INVOICE NO", true}, {"(?:\\w+ )+INVOICE NO", true, true}, {"(a+)+b", true},
        {"(a|a)+b", true}, {"(\\w+\\s?)+x", true}, {"(.*a){12}", true}, {"(a|aa)+c", true},
        {"\\d+\\d+\\d+x", true}, {"(?i)(\\w+\\s?){2,4}casino", true}, {"(?:[a-z]+\\.)+com", true},
        {"free money", false}, {"\\bword\\b", false}, {"[a-z]+@[a-z]+\\.com", false},
        {"^Subject:.*free", false}, {"viagra|cialis|levitra", false}, {"(?i)viagra|cialis", false},
        {"\\d{3}-\\d{4}", false}, {"(?:\\d{1,3}\\.){3}\\d{1,3}", false}, {"(?i)(?:viagra|cialis)+", false},
        // Only one start position can begin a match.
        {"^(?:\\w+ )+INVOICE NO", false},
    };
    for (const Case& c : cases) {
        inspect::FilterLists lists;
        lists.lines[1] = {std::string("mbody=%") + c.pattern + "%"};
        const Report r = check(lists, c.uppercase);
        if (!c.costly) {
            EXPECT_EQ(shown(r), "") << c.pattern;
            continue;
        }
        ASSERT_EQ(r.findings.size(), 1u) << c.pattern << "\n" << shown(r);
        const Finding& finding = r.findings[0];
        const std::string text = english(finding.what, Style::raw);
        EXPECT_EQ(finding.kind, Kind::regex_cost) << c.pattern;
        const std::string before = std::string("%") + c.pattern + "% is too costly for a text of ";
        ASSERT_EQ(text.substr(0, before.size()), before) << text;
        const std::size_t length = std::stoul(text.substr(before.size()));
        EXPECT_LE(length, 50000u) << text;
        // The first length that does: half of it passes.
        for (const HostileText& t : trx_piece_texts(c.pattern, length > 1000 ? length / 2 : 0)) {
            RegexPattern p(c.pattern);
            EXPECT_NO_THROW(p.exec(c.uppercase ? trim(plain_upper(t.text)) : t.text)) << text;
        }
        EXPECT_NE(text.find("; the line is passed over for a message like it"), std::string::npos) << text;
    }
}

// The placeholders that start-up writes stand in all three lists; a fresh
// install checks clean.
TEST(Lint, TheListsOfAFreshInstallAreClean) {
    inspect::FilterLists lists;
    for (std::size_t i = 0; i < lists.lines.size(); ++i) {
        lists.lines[i] = {kListTitles[i], kDefaultComment};
        lists.lines[i].insert(lists.lines[i].end(), kPlaceholderLines.begin(), kPlaceholderLines.end());
        lists.lines[i].push_back(":");
    }
    for (const bool uppercase : {true, false}) EXPECT_EQ(shown(check(lists, uppercase)), "");
}

TEST(Lint, UTF8FixOnlyForTextsTheCodePageHolds) {
    EXPECT_EQ(utf8_fix("sbjct=#\xE2\x82\xAC" "5#"), "sbjct=#\x80" "5#");
    EXPECT_EQ(utf8_fix("\xEF\xBB\xBFsbjct=#a#"), "sbjct=#a#");
    EXPECT_EQ(utf8_fix("sbjct=#\xE2\x86\x92#"), std::nullopt);  // an arrow
    EXPECT_EQ(utf8_fix("sbjct=#caf\xE9#"), std::nullopt);
    EXPECT_EQ(utf8_fix("sbjct=#\xC0\xAF#"), std::nullopt);  // an overlong form
    EXPECT_EQ(utf8_fix("sbjct=#a#"), std::nullopt);
}

TEST(Lint, BySeverityKeepsLineOrderWithinAKind) {
    const auto at = [](std::size_t list, std::size_t number, Kind kind, const char* mark) {
        return Finding{list, number, kind, {Says::line_at, {mark}}, {}};
    };
    const std::vector<Finding> f =
        by_severity({at(0, 1, Kind::duplicate, "a"), at(0, 2, Kind::stops, "b"), at(1, 1, Kind::duplicate, "c"),
                     at(2, 5, Kind::utf8, "d")});
    std::string order;
    for (const Finding& x : f) order += x.what.values[0];
    EXPECT_EQ(order, "bdac");
}

TEST(Lint, CountsCommentLinesThatReadAsFilterLines) {
    inspect::FilterLists lists;
    lists.lines[2] = {":Suspect filters", ": <-- this is a comment", ":snder=#old@x.org#", ": sbjct=\"a\"*mbody=#b#",
                      ": the snder=#x# test", ":", "",
                      // Without its ":" it would be refused as too long.
                      ":snder=#x#+" + std::string(kLongestLine, ' ') + "1"};
    const Report r = check(lists, true);
    EXPECT_EQ(r.disabled_comments, 2u);
    EXPECT_EQ(r.filter_lines, 0u);
    EXPECT_TRUE(r.findings.empty());
}

#ifndef _WIN32
// The native program, started as a child; kalvorin-lint.exe has its own
// tests under Wine (test_e2e_lint_win.cpp).
class LintProgram : public test::HiveTest {
protected:
    test::RunResult lint(std::vector<std::string> args) const {
        args.insert(args.begin(), test::dist("kalvorin-lint"));
        return test::run(args);
    }
    void lists(const std::string& secure) const {
        for (const char* name : kListNames) test::spit(base() + name + kTextSuffix, ":\r\n");
        test::spit(base() + "secure" + kTextSuffix, secure);
    }
};

TEST_F(LintProgram, StoredFolderTabSeparatedRowsAndExitStatuses) {
    set_basefolder_setting(tmp_ / "base");
    lists("sbjct=#a#\r\n:sbjct=#b#\r\nsbjct=#a#\tx\r\n");
    const test::RunResult r = lint({"--format", "tsv"});
    EXPECT_EQ(r.status, 1) << r.err;
    EXPECT_EQ(r.out,
              "list\tline\tkind\tfinding\ttext\tchange\n"
              "secure\t3\tstops\tcannot be evaluated: '0\\tx' is not a valid integer value; scoring stops here for "
              "every message that reaches it\tsbjct=#a#\\tx\tremove the '\\t' at column 10: between the tests only "
              "numbers, + * ( ) and blanks may stand\n"
              "-\t-\tdisabled-comments\t1 comment line reads as a filter line without its ':'\t\t\n");
    lists("sbjct=#a#\r\n");
    EXPECT_EQ(lint({tmp_ / "base"}).out, "0 problems in 1 filter line\n");
    EXPECT_EQ(lint({tmp_ / "base"}).status, 0);
    EXPECT_EQ(lint({tmp_ / "missing"}).status, 2);
    EXPECT_EQ(lint({"--format", "csv"}).status, 2);
}

// The stored base folder is read by the rules of its files; a folder named on
// the command line is read as given.
TEST_F(LintProgram, AListLinkedFromTheStoredFolderIsNotFollowed) {
    set_basefolder_setting(tmp_ / "base");
    lists("sbjct=#a#\r\n");
    test::spit(tmp_ / "elsewhere.txt", "sbjct=#a#\r\n");
    std::filesystem::remove(base() + "secure" + kTextSuffix);
    std::filesystem::create_symlink(tmp_ / "elsewhere.txt", base() + "secure" + kTextSuffix);
    const test::RunResult stored = lint({});
    EXPECT_EQ(stored.status, 2);
    EXPECT_NE(stored.err.find("Is a symbolic link, not followed"), std::string::npos) << stored.err;
    EXPECT_EQ(lint({tmp_ / "base"}).status, 0);
}

TEST_F(LintProgram, TheDemoListsAreClean) {
    const test::RunResult r = lint({std::string(KALVORIN_SOURCE_DIR) + "/resources/demo/base"});
    EXPECT_EQ(r.status, 0) << r.out;
}

#endif  // _WIN32

}  // namespace
}  // namespace kalvorin::lint
