// The regular-expression mode: the dialect's answers on the cases file, the
// mode's edge cases, its messages, and the work bound.
#include <gtest/gtest.h>

#include <fstream>
#include <string>
#include <vector>

#include "CodigoComun/Errors.h"
#include "CodigoComun/RegExpr.h"

namespace kalvorin {
namespace {

// ---- The cases file ------------------------------------------------------------

struct DialectCase {
    int line;
    std::string pattern, subject, expected, note;
};

int hex_digit(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

// \n \r \t \\ and \xHH stand for one byte; any other pair stays as written.
std::string decode(const std::string& field) {
    std::string out;
    for (std::size_t k = 0; k < field.size(); ++k) {
        if (field[k] != '\\' || k + 1 == field.size()) {
            out += field[k];
            continue;
        }
        const char c = field[k + 1];
        if (c == 'n' || c == 'r' || c == 't' || c == '\\') {
            out += c == 'n' ? '\n' : c == 'r' ? '\r' : c == 't' ? '\t' : '\\';
            ++k;
        } else if (c == 'x' && k + 3 < field.size() && hex_digit(field[k + 2]) >= 0 &&
                   hex_digit(field[k + 3]) >= 0) {
            out += static_cast<char>(hex_digit(field[k + 2]) * 16 + hex_digit(field[k + 3]));
            k += 3;
        } else {
            out += '\\';
        }
    }
    return out;
}

std::vector<std::string> split_tabs(const std::string& line) {
    std::vector<std::string> fields(1);
    for (char c : line) {
        if (c == '\t') fields.emplace_back();
        else fields.back() += c;
    }
    return fields;
}

std::vector<DialectCase> load_cases() {
    std::ifstream in(KALVORIN_TEST_DATA "/regex-cases.tsv", std::ios::binary);
    std::vector<DialectCase> cases;
    std::string line;
    for (int n = 1; std::getline(in, line); ++n) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const auto f = split_tabs(line);
        if (f.size() < 3) continue;
        cases.push_back({n, decode(f[0]), decode(f[1]), f[2], f.size() > 3 ? f[3] : ""});
    }
    return cases;
}

class DialectCases : public ::testing::TestWithParam<DialectCase> {};

TEST_P(DialectCases, GivesTheDialectsAnswer) {
    const DialectCase& c = GetParam();
    SCOPED_TRACE("line " + std::to_string(c.line) + ": " + c.note);
    if (c.expected == "ERROR") {
        EXPECT_THROW(regexpr_exec(c.pattern, c.subject), ERegExpr);
        return;
    }
    ASSERT_TRUE(c.expected == "MATCH" || c.expected == "NOMATCH") << c.expected;
    try {
        EXPECT_EQ(regexpr_exec(c.pattern, c.subject), c.expected == "MATCH");
    } catch (const ERegExpr& e) {
        ADD_FAILURE() << "raised " << e.what();
    }
}

INSTANTIATE_TEST_SUITE_P(RegexCasesFile, DialectCases, ::testing::ValuesIn(load_cases()),
                         [](const auto& info) { return "line" + std::to_string(info.param.line); });

TEST(DialectCasesFile, IsThere) { EXPECT_GT(load_cases().size(), 250u); }

// ---- The mode's edge cases -------------------------------------------------------

struct Case {
    const char* pattern;
    std::string subject;
    bool matches;
};

class ModeAnswers : public ::testing::TestWithParam<Case> {};

TEST_P(ModeAnswers, Match) {
    const Case& c = GetParam();
    EXPECT_EQ(regexpr_exec(c.pattern, c.subject), c.matches) << c.pattern;
}

INSTANTIATE_TEST_SUITE_P(
    EdgeCases, ModeAnswers,
    ::testing::Values(
        // the subject arrives upper-cased when the uppercase option is on
        Case{"viagra", "VIAGRA", false}, Case{"VIAGRA", "VIAGRA", true}, Case{"(?i)viagra", "VIAGRA", true},
        // anchors and dot against line breaks
        Case{"^abc", "xyz\nabc", false}, Case{"^abc", "abc\nxyz", true}, Case{"a.c", "a\nc", true},
        Case{"abc$", "abc\n", false}, Case{"(?m)^abc$", "x\r\nabc\r\ny", true},
        // multiline $ first: only the end of the subject is a start position
        Case{"(?m)$", "a\nb", true}, Case{"(?m)$|x", "axb", true}, Case{"(?m)(?:$|b)", "a\nb", true},
        // text after a NUL is invisible, a NUL in the pattern is the end
        Case{"b", std::string("a\0b", 3), false}, Case{"a\\x{}", "a", true}, Case{"a\\x00b", "ab", false},
        // Windows-1252 case pairs, both ways
        Case{"(?i)\xC9t\xC9", "\xE9T\xE9", true}, Case{"(?i)\x9F", "\xFF", true}, Case{"(?i)\xB5", "\xCC", false},
        Case{"(?i)(\xE9)\\1", "\xE9\xC9", true}, Case{"(?i)\xDF", "S", false},
        // counts beyond PCRE2's own limit
        Case{"ba{0,70000}c", "bc", true}, Case{"^a{2,99999999}$", "aaa", true}, Case{"a{70000,}", "aaa", false},
        // repeats that the dialect's engine crashes on, or stops with an error
        Case{"(a{0,2})+b", "aab", true}, Case{"(?:a{0,1})*c", "c", true}, Case{"(a|ab){1,2}c", "abc", true},
        Case{"(?-g)((a|b)?x)+y", "axbxy", true},
        Case{"((((((((((((a)+)+)+)+)+)+)+)+)+)+)+)+b", "aab", true},
        // (?-g) and (?x) details
        Case{"(?-g)a{2,}?b", "aaab", true}, Case{"(?x)a ?b", "ab", true}, Case{"(?x)[ ]a", " a", true},
        Case{"(?x)a\\ b", "a b", true}, Case{"(?x) a # note\r b", "ab", true}));

// Under i a range holds the upper cases of its ends and what lies between;
// its first byte is no member of its own.
INSTANTIATE_TEST_SUITE_P(
    CaselessRanges, ModeAnswers,
    ::testing::Values(Case{"(?i)[\\xe0-\\xff]", "\xE0", false}, Case{"(?i)[\\xe0-\\xff]", "\xC0", false},
                      Case{"(?i)[^\\xe0-\\xff]", "\xC0", true}, Case{"(?i)[\\xe1-\\xff]", "\xC1", false},
                      Case{"(?i)[Z-a]", "z", false}, Case{"(?i)[_-a]", "_", false},
                      Case{"(?i)[a-Z]", "q", true}, Case{"(?i)[x-z-]", "-", true},
                      Case{"(?i)[-a]", "-", true}, Case{"[a-c-e]", "d", false}, Case{"[a-c-e]", "-", true}));

// Counts up to 99,999,999, on operands of every kind, answered on the
// subject at hand.
INSTANTIATE_TEST_SUITE_P(
    CountedRepeats, ModeAnswers,
    ::testing::Values(
        Case{"(ab){1,4000}", "ab", true}, Case{"(?:a|b){1,3300}", "a", true},
        Case{"(?:<[^>]*>){0,1300}", "<b>", true}, Case{"^(?:<[^>]*>){2,1300}$", "<b>", false},
        Case{"(?:[a-z]+\\s+){1,1400}", "ab ", true}, Case{"(?:[a-z]+\\s+){2,1400}", "ab cd", false},
        Case{"[a-z]{1,99999999}", "abc", true}, Case{"[ab]{99999999}", "ab", false},
        Case{"x{0,99999999}x", "x", true}, Case{".{0,99999999}x", "abcx", true},
        Case{"\\d{1,99999999}\\.", "12 3.", true}, Case{"\\d{1,99999999}\\.", "12 3", false},
        Case{"\\d{1,99999999}\\.", "12 .3", false}, Case{"^x{1,99999999}$", "xxz", false},
        Case{"b\\w{0,99999999}z", "bay z", false}, Case{"a{1,99999999}?b", "aaab", true},
        Case{"a{1,99999999}?b", "aaa", false}, Case{"^x{1,1000000}$", "xxxxxxxxxxz", false},
        Case{"(ab){1,70000}", "ab", true}, Case{"(?:ab){70000}", "ab", false},
        Case{"(a|b){2,100000}c", "abc", true},
        // a minimum beyond the subject
        Case{"a{3}", "aa", false}, Case{"a{3}|b", "aab", true}, Case{"(?:ab){2}", "aba", false},
        Case{"x(?:a{4}){2}", "xaaaaaaaa", true}, Case{"x(?:a{4}){2}", "xaaaaaaa", false},
        Case{"((a{99999999}){99999999}){99999999}", "a", false},
        Case{"x(ab){3}|(c)\\2", "cc", true}, Case{"x(ab){3}|(c)\\2", "xab", false},
        // a huge maximum on a group
        Case{"^(?:ab){2,99999999}$", "ababab", true}, Case{"^(?:ab){2,99999999}$", "aba", false},
        Case{"(a|bc){3,99999999}d", "abcad", true}, Case{"(a|bc){3,99999999}d", "abcd", false},
        // lazy forms
        Case{"(?:ab){2,99999999}?c", "ababc", true}, Case{"(?-g)x{1,99999999}y", "xxy", true},
        Case{"a{3,99999999}?", "aa", false}, Case{"(?-g)(?:a|b){2,99999999}c", "abc", true},
        // backreferences, which may be empty
        Case{"(a)(?:\\1b){2,99999999}c", "aababc", true}, Case{"(a)(?:\\1b){2,99999999}c", "aabc", false},
        Case{"(a)\\1{2,99999999}", "aa", false}, Case{"(a)\\1{2,99999999}", "aaa", true},
        Case{"(a?)\\1{5,99999999}b", "b", true}, Case{"(a|b)(?:x\\1){1,99999999}$", "bxbxb", true},
        // operands that can match empty under a counted group
        Case{"(?:a{0,2}){99999999}b", "b", true}, Case{"^(?:a{0,1}){3,99999999}$", "aaaaa", true},
        Case{"^(?:a{0,1}b?){3,99999999}$", "abbab", true}, Case{"^(?:a{0,1}){0,99999999}c", "aab", false}));

// ---- Messages ----------------------------------------------------------------------

struct Failure {
    const char* pattern;
    const char* message;
};

class Messages : public ::testing::TestWithParam<Failure> {};

TEST_P(Messages, SayWhatAndWhere) {
    const Failure& f = GetParam();
    try {
        regexpr_exec(f.pattern, "subject");
        ADD_FAILURE() << f.pattern << " did not raise";
    } catch (const ERegExpr& e) {
        EXPECT_STREQ(e.what(), f.message);
    }
}

INSTANTIATE_TEST_SUITE_P(
    CompileErrors, Messages,
    ::testing::Values(Failure{"", "TRegExpr(exec): Not Assigned Expression Property"},
                      Failure{"a(b", "TRegExpr(comp): ParseReg Unmatched () (pos 3)"},
                      Failure{"a)b", "TRegExpr(comp): ParseReg Unmatched () (pos 1)"},
                      Failure{"[a", "TRegExpr(comp): Unmatched [] (pos 2)"},
                      Failure{"ab\\", "TRegExpr(comp): Trailing \\ (pos 3)"},
                      Failure{"a**", "TRegExpr(comp): Nested *?+ (pos 3)"},
                      Failure{"[z-a]", "TRegExpr(comp): Invalid [] Range (pos 4)"}));

TEST(RegExpr, RepeatsBeyondTheSubjectStillRaiseForBadPatterns) {
    // The repeat that can never match is dropped, but what follows it is still checked.
    EXPECT_THROW(regexpr_exec("(?:ab){3}[z-a]", "ab"), ERegExpr);
    EXPECT_THROW(regexpr_exec("a{99999999}\\x4", "a"), ERegExpr);
    EXPECT_THROW(regexpr_exec("(a{5})**", "a"), ERegExpr);
    EXPECT_THROW(regexpr_exec("a{99999999}(", ""), ERegExpr);
    EXPECT_THROW(regexpr_exec("(?:ab){100000000}", "ab"), ERegExpr);
}

TEST(RegExpr, CountsBeyondPcre2sOwnOnALongSubject) {
    // Counts still above 65535 after fitting them to the subject are built
    // from blocks; a failing search over them stays linear.
    const std::string a100k(100000, 'a');
    EXPECT_TRUE(regexpr_exec("^a{100000}$", a100k));
    EXPECT_FALSE(regexpr_exec("^a{100000}$", a100k + "a"));
    EXPECT_TRUE(regexpr_exec("^a{70000,80000}b", std::string(75000, 'a') + "b"));
    EXPECT_TRUE(regexpr_exec("^a{0,150000}b", a100k + "b"));
    EXPECT_TRUE(regexpr_exec("^a{0,90000}b", std::string(90000, 'a') + "b" + a100k));
    EXPECT_FALSE(regexpr_exec("^a{0,90000}b", a100k + "b"));
    EXPECT_FALSE(regexpr_exec("^a{0,90000}?b", a100k + "b"));
    EXPECT_TRUE(regexpr_exec("^a{0,150000}?b", a100k + "b"));
    EXPECT_FALSE(regexpr_exec("^a{0,150000}?c", a100k + "b" + a100k));
    EXPECT_FALSE(regexpr_exec("^x{0,150000}y", std::string(200000, 'x')));
    EXPECT_TRUE(regexpr_exec("^(?:a{0,1}){0,99999999}$", a100k));
}

TEST(RegExpr, GroupsCountedThousandsOfTimes) {
    std::string tags, ab;
    while (tags.size() < 50000) tags += "<p>text</p> ";
    while (ab.size() < 200000) ab += "ab";
    EXPECT_TRUE(regexpr_exec("(?:<[^>]*>){0,1300}", tags));
    EXPECT_TRUE(regexpr_exec("^(?:<[^>]*>[a-z ]*){1000,1300}", tags));
    EXPECT_FALSE(regexpr_exec("^(?:<[^>]*>[a-z ]*){9000,9100}", tags));
    EXPECT_TRUE(regexpr_exec("(?:[a-z]+[^a-z]+){1,1400}", tags));
    EXPECT_TRUE(regexpr_exec("^(ab){70000}", ab));
    EXPECT_FALSE(regexpr_exec("^(ab){70000}$", ab));
    EXPECT_TRUE(regexpr_exec("^(ab){1,99999999}?$", ab));
    EXPECT_TRUE(regexpr_exec("^(?:a|b){3333,4444}?b", ab));
}

TEST(RegExpr, EmptySubjectNeverMatchesButBadPatternsStillRaise) {
    EXPECT_FALSE(regexpr_exec("x*", ""));
    EXPECT_FALSE(regexpr_exec("^$", std::string("\0abc", 4)));
    EXPECT_THROW(regexpr_exec("(", ""), ERegExpr);
    EXPECT_THROW(regexpr_exec("", ""), ERegExpr);
}

// ---- The work bound --------------------------------------------------------------

TEST(RegExpr, CatastrophicBacktrackingRaisesTooCostly) {
    // One start position over the limit, and a text where every start
    // position stays just under it (runs of a's as long as the pattern allows
    // without reaching the limit) but that costs far beyond the budget: both
    // end with the same error.
    struct Hostile {
        const char* pattern;
        std::size_t run_under_the_limit;
    };
    for (const Hostile& h : {Hostile{"(a+)+$", 16}, Hostile{"(a|aa)+$", 20}}) {
        std::string under_at_each_start;
        while (under_at_each_start.size() < 50000) under_at_each_start += std::string(h.run_under_the_limit, 'a') + "b";
        for (const std::string& hostile : {std::string(30, 'a') + "b", under_at_each_start}) {
            try {
                regexpr_exec(h.pattern, hostile);
                ADD_FAILURE() << "no limit was hit: " << h.pattern << " on " << hostile.size() << " bytes";
            } catch (const ERegExpr& e) {
                EXPECT_NE(std::string(e.what()).find("Too Costly"), std::string::npos) << e.what();
            }
        }
    }
}

// Whether a pattern is too costly is the text's doing, and the same on every
// run and machine, kept pattern or not: its budget counts the engine's steps,
// not time, and a capturing group that a backreference reads is written out
// as often as the text's length allows, which a long text can make too big
// to compile. Each pattern answers for `fine` pieces and is too costly for
// `costly` ones (the first row's two counts are the budget's edge).
TEST(RegExpr, TheTextDecidesWhetherAPatternIsTooCostly) {
    const struct {
        const char* pattern;
        std::string piece, tail;
        std::size_t fine, costly;
        const char* message;  // the error's, when not the budget's
    } rows[] = {
        {"(?:\\w+ )+INVOICE NO", "AB ", "@ INVOICE NO", 1002, 1003, nullptr},
        {"(a)\\1(b){70000}", "x", "", 100, 200000, "TRegExpr(comp): Expression Too Big For This Text (pos 15)"},
        {"(?:(\\w+)\\s+){2,5000}\\1", "x", "", 8000, 16000, "TRegExpr(comp): Expression Too Big For This Text (pos 22)"},
        {"(?:(?:\\w+\\s){1,80}\\w+[.!?]\\s*){1,80}", "x", "", 300, 400,
         "TRegExpr(comp): Expression Too Big For This Text (pos 36)"},
    };
    const auto text = [](const std::string& piece, std::size_t times, const std::string& tail) {
        std::string out;
        for (; times > 0; --times) out += piece;
        return out + tail;
    };
    for (const auto& r : rows) {
        RegexPattern kept(r.pattern);
        const std::string fine = text(r.piece, r.fine, r.tail), costly = text(r.piece, r.costly, r.tail);
        for (int run = 0; run < 2; ++run) {
            EXPECT_NO_THROW(regexpr_exec(r.pattern, fine)) << r.pattern;
            EXPECT_NO_THROW(kept.exec(fine)) << r.pattern;
            EXPECT_THROW(kept.exec(costly), ERegExprTooCostly) << r.pattern;
            try {
                regexpr_exec(r.pattern, costly);
                ADD_FAILURE() << r.pattern << " finished on " << costly.size() << " bytes";
            } catch (const ERegExprTooCostly& e) {
                EXPECT_STREQ(e.what(), r.message ? r.message : "TRegExpr(exec): Pattern Too Costly For This Text");
            }
        }
    }
}

TEST(RegExpr, MatchesStartingAnywhereInALongTextAreFound) {
    // Long texts are searched in stretches of start positions; a match is
    // found wherever it starts, and \b and $ still see the text around it.
    for (std::size_t at = 240; at < 1400; ++at) {
        const std::string before(at, 'x');
        const std::string after(3000, 'x');
        EXPECT_TRUE(regexpr_exec("ab", before + "ab" + after)) << at;
        EXPECT_FALSE(regexpr_exec("\\bab", before + "ab" + after)) << at;
        EXPECT_TRUE(regexpr_exec("\\bab", before + " ab" + after)) << at;
        EXPECT_TRUE(regexpr_exec("b$", before + "ab")) << at;
        EXPECT_FALSE(regexpr_exec("^ab", before + "ab" + after)) << at;
    }
}

TEST(RegExpr, CaseInsensitiveLettersAbove7FFoldEverywhere) {
    // The second case of a Windows-1252 letter is found at the start of the
    // text and after other text, also where the search starts at every position.
    EXPECT_TRUE(regexpr_exec("(?i)\xFF", "\x9F"));
    EXPECT_TRUE(regexpr_exec("(?i)\xFF", "x\x9F"));
    EXPECT_TRUE(regexpr_exec("(?i)\xE9T\xE9", "\xC9t\xC9"));
    EXPECT_TRUE(regexpr_exec("(?i)(\xE9)\\1", "\xE9\xC9"));
    EXPECT_FALSE(regexpr_exec("(?i)\xF7", "\xD7"));
}

TEST(RegExpr, LongOrdinaryWorkStaysWithinTheLimits) {
    std::string message;
    while (message.size() < 50000) message += "ab";
    EXPECT_TRUE(regexpr_exec("^(?:ab)*$", message));
    EXPECT_TRUE(regexpr_exec("^(ab|cd)+$", message));
    EXPECT_FALSE(regexpr_exec("(ab)+c", message + "x"));
    EXPECT_TRUE(regexpr_exec("a.*b", message));
    // Linear work on a long text fits the budget, which grows with the text.
    std::string words;
    while (words.size() < 100000) words += "the minutes of the meeting are attached ";
    EXPECT_FALSE(regexpr_exec("(\\w+\\s?){2,4}viagra", words));
}

}  // namespace
}  // namespace kalvorin
