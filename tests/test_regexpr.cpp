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
    std::ifstream in(KALVORIN_SHARED_DIR "/regex-cases.tsv", std::ios::binary);
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

TEST(RegExpr, EmptySubjectNeverMatchesButBadPatternsStillRaise) {
    EXPECT_FALSE(regexpr_exec("x*", ""));
    EXPECT_FALSE(regexpr_exec("^$", std::string("\0abc", 4)));
    EXPECT_THROW(regexpr_exec("(", ""), ERegExpr);
    EXPECT_THROW(regexpr_exec("", ""), ERegExpr);
}

// ---- The work bound --------------------------------------------------------------

TEST(RegExpr, CatastrophicBacktrackingRaisesTooCostly) {
    // One start position over the limit, and a text where every start
    // position stays just under it: both end with the same error.
    std::string under_at_each_start;
    while (under_at_each_start.size() < 50000) under_at_each_start += std::string(16, 'a') + "b";
    for (const std::string& hostile : {std::string(30, 'a') + "b", under_at_each_start}) {
        for (const char* pattern : {"(a+)+$", "(a|aa)+$"}) {
            try {
                regexpr_exec(pattern, hostile);
                ADD_FAILURE() << "no limit was hit: " << pattern << " on " << hostile.size() << " bytes";
            } catch (const ERegExpr& e) {
                EXPECT_NE(std::string(e.what()).find("Too Costly"), std::string::npos) << e.what();
            }
        }
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
}

}  // namespace
}  // namespace kalvorin
