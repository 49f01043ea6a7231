// The searcher: decomposition of filter lines with its trace, the field tests,
// the contains and whole-word modes, the external-image check.
#include <gtest/gtest.h>

#include <cstdio>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "CodigoComun/CapturaSpam.h"
#include "CodigoComun/Errors.h"
#include "CodigoComun/FilterPlan.h"
#include "CodigoComun/RegExpr.h"
#include "support/TestSupport.h"

namespace kalvorin {
namespace {

struct Parts {
    std::string sender = "none";
    std::string subject = "none";
    std::string body = "none";
    std::string attachments = "none";
    std::string header = "none";
    std::string rawmsg = "none";
};

void init(const Parts& p, bool uppercase) {
    searcher::searcher_init(p.sender, p.subject, p.body, p.attachments, p.header, p.rawmsg, uppercase);
}

bool regexp_engine_available() {
    try {
        regexpr_exec("A", "A");
        return true;
    } catch (const ERegExpr&) {
        return false;
    }
}

class Searcher : public test::HiveTest {
protected:
    void SetUp() override {
        HiveTest::SetUp();
        set_basefolder_setting(tmp_ / "base");
    }
    std::string log_path() const { return base() + "plugin.log.txt"; }
    // The log's lines without their CR LF.
    std::vector<std::string> log_lines() const {
        std::vector<std::string> lines;
        const std::string all = test::slurp(log_path());
        std::size_t pos = 0;
        for (std::size_t end = all.find("\r\n"); end != std::string::npos; end = all.find("\r\n", pos)) {
            lines.push_back(all.substr(pos, end - pos));
            pos = end + 2;
        }
        EXPECT_EQ(pos, all.size()) << "last line without CR LF";
        return lines;
    }
    // Decomposes the line with the trace on and returns its trace lines.
    std::vector<std::string> traced(const std::string& line) {
        searcher::trace_on();
        la_descompone(line);
        searcher::trace_off();
        return log_lines();
    }
};

const Parts kWorkedExample{"a friend", "You win", "none", "none", "none", "Hello, buy viagra now"};

TEST_F(Searcher, WorkedExampleTracesEveryStepByteForByte) {
    if (!regexp_engine_available()) GTEST_SKIP() << "the regular-expression engine is not built in yet";
    init(kWorkedExample, true);
    searcher::trace_on();
    EXPECT_TRUE(searcher::filtred("(sbjct=#win#+snder-#friend#)*rwmsg=%VIAGRA%"));
    searcher::trace_off();
    EXPECT_EQ(log_lines(), (std::vector<std::string>{
                               "#- filtred((sbjct=#win#+snder-#friend#)*rwmsg=%VIAGRA%)",
                               "#- la_descompone((sbjct=#win#+snder-#friend#)*rwmsg=%VIAGRA%)",
                               "#- procesa((sbjct=#win#+snder-#friend#)*rwmsg=%VIAGRA%,snder,-,#,friend)",
                               "#- procesa((sbjct=#win#+0)*rwmsg=%VIAGRA%,sbjct,=,#,win)",
                               "#- procesa((1+0)*rwmsg=%VIAGRA%,rwmsg,=,%,VIAGRA)",
                               "#- la_descompone.result:=(1+0)*1",
                           }));
}

TEST_F(Searcher, WorkedExampleWithContainsModeTracesEveryStep) {
    init(kWorkedExample, true);
    searcher::trace_on();
    EXPECT_TRUE(searcher::filtred("(sbjct=#win#+snder-#friend#)*rwmsg=#viagra#"));
    searcher::trace_off();
    EXPECT_EQ(log_lines(), (std::vector<std::string>{
                               "#- filtred((sbjct=#win#+snder-#friend#)*rwmsg=#viagra#)",
                               "#- la_descompone((sbjct=#win#+snder-#friend#)*rwmsg=#viagra#)",
                               "#- procesa((sbjct=#win#+snder-#friend#)*rwmsg=#viagra#,snder,-,#,friend)",
                               "#- procesa((sbjct=#win#+0)*rwmsg=#viagra#,sbjct,=,#,win)",
                               "#- procesa((1+0)*rwmsg=#viagra#,rwmsg,=,#,viagra)",
                               "#- la_descompone.result:=(1+0)*1",
                           }));
}

struct DecompositionCase {
    bool uppercase;
    std::string line;
    std::string expression;
};

TEST_F(Searcher, FieldTestsBecomeDigits) {
    const Parts parts{"Put your filters here!", "You win", "Body text", "file.zip", "X-Header: yes", "raw part"};
    const std::vector<DecompositionCase> cases = {
        {true, "snder=\"put your filters here\"", "1"},
        {false, "snder=\"put your filters here\"", "0"},
        {false, "snder-\"put your filters here\"", "1"},
        {true, "SnDeR=#your#", "1"},
        {true, "sbjct-#x#", "1"},
        {true, "sbjct-#win#", "0"},
        {true, "sbjct=/win/", "0"},  // no mode: false with either operator
        {true, "sbjct-/win/", "0"},
        {true, "sbjct:#win#", "1"},  // only "-" negates
        {true, "sbjct=##", "0"},     // an empty text is never found
        {true, "sbjct-##", "1"},
        {true, "mbody=#text#*attch=#.zip#*headr=#header#*rwmsg=#raw#", "1*1*1*1"},
        {true, "mbody=#zip#+attch=#text#+headr=#raw#+rwmsg=#header#", "0+0+0+0"},
        {true, "snder=#rwmsg#", "0"},  // the later keyword goes with the earlier test
        {true, "(sbjct=#a b+c*(d)#)", "(0)"},  // anything but the delimiter is text
        {true, "xsnder=#your#", "x1"},
        {true, "(1)", "(1)"},
        {true, "   ", "   "},
        {true, "snder=#Your# + sbjct=#WIN#", "1 + 1"},
        {true, "sbjct=#a#+sbjct=#ab#", "0+0"},  // the shorter test is no part of the longer
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        init(parts, c.uppercase);
        EXPECT_EQ(la_descompone(c.line), c.expression);
    }
}

TEST_F(Searcher, KeywordsAreTakenInTheirOrderNotFromLeftToRight) {
    init(Parts{"b", "a"}, true);
    EXPECT_EQ(traced("rwmsg=#r#*headr=#h#*attch=#t#*mbody=#m#*sbjct=#a#+snder=#b#"),
              (std::vector<std::string>{
                  "#- la_descompone(rwmsg=#r#*headr=#h#*attch=#t#*mbody=#m#*sbjct=#a#+snder=#b#)",
                  "#- procesa(rwmsg=#r#*headr=#h#*attch=#t#*mbody=#m#*sbjct=#a#+snder=#b#,snder,=,#,b)",
                  "#- procesa(rwmsg=#r#*headr=#h#*attch=#t#*mbody=#m#*sbjct=#a#+1,sbjct,=,#,a)",
                  "#- procesa(rwmsg=#r#*headr=#h#*attch=#t#*mbody=#m#*1+1,mbody,=,#,m)",
                  "#- procesa(rwmsg=#r#*headr=#h#*attch=#t#*0*1+1,attch,=,#,t)",
                  "#- procesa(rwmsg=#r#*headr=#h#*0*0*1+1,headr,=,#,h)",
                  "#- procesa(rwmsg=#r#*0*0*0*1+1,rwmsg,=,#,r)",
                  "#- la_descompone.result:=0*0*0*0*1+1",
              }));
}

TEST_F(Searcher, RepeatedTestsAreReplacedAtOnce) {
    struct Case {
        bool uppercase;
        std::string subject;
        std::string line;
        std::string expression;
        std::size_t decided;  // procesa trace lines
    };
    const std::vector<Case> cases = {
        {false, "a", "sbjct=#a#+sbjct=#A#", "1+1", 1},
        {false, "a", "sbjct=#a#+SBJCT=#a#*(sBjCt=#a#)", "1+1*(1)", 1},
        {false, "A", "sbjct=#a#+sbjct=#A#", "0+0", 1},  // the first decides for all
        // ANSI pairs: é/É, š/Š, ÿ/Ÿ, à/À fold into one another.
        {false, "caf\xE9", "sbjct=#caf\xE9#+SBJCT=#CAF\xC9#", "1+1", 1},
        {false, "\x9A\xFF", "sbjct=#\x8A\x9F#*sbjct=#\x9A\xFF#", "0*0", 1},
        {true, "x", "sbjct=#\xE0#+SBJCT=#\xC0#", "0+0", 1},
        {false, "\xF7", "sbjct=#\xF7#+sbjct=#\xD7#", "1+0", 2},  // ÷ and × are no pair
        {false, "ab", "sbjct=#b#+sbjct=#ab#+sbjct=#b#", "1+1+1", 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        std::remove(log_path().c_str());
        init(Parts{"none", c.subject}, c.uppercase);
        const auto lines = traced(c.line);
        EXPECT_EQ(lines.back(), "#- la_descompone.result:=" + c.expression);
        EXPECT_EQ(lines.size(), c.decided + 2);
    }
}

TEST_F(Searcher, MalformedTestsRaiseNamingLineAndTest) {
    struct Case {
        std::string line;
        std::string procesa_trace;
        std::string test;
        std::string fault;
    };
    const std::string no_delimiter = "has no delimiter", not_in_line = "does not occur in the line";
    const std::vector<Case> cases = {
        {"(1)+snder", "procesa((1)+snder,snder,,,)", "'snder'", no_delimiter},
        {"(1)+snder=", "procesa((1)+snder=,snder,=,,)", "'snder='", no_delimiter},
        {"rwmsg=#snder#", "procesa(rwmsg=#snder#,snder,#,,)", "'snder#'", no_delimiter},
        {"snder=#abc", "procesa(snder=#abc,snder,=,#,abc)", "'snder=#abc#'", not_in_line},
        {"sbjct=#a#+snder=#b", "procesa(sbjct=#a#+snder=#b,snder,=,#,b)", "'snder=#b#'", not_in_line},
    };
    init(Parts{}, true);
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        std::remove(log_path().c_str());
        searcher::trace_on();
        try {
            searcher::filtred(c.line);
            ADD_FAILURE() << "no error raised";
        } catch (const EFilterError& e) {
            const std::string message = e.what();
            EXPECT_NE(message.find("'" + c.line + "'"), std::string::npos) << message;
            EXPECT_NE(message.find(c.test), std::string::npos) << message;
            EXPECT_NE(message.find(c.fault), std::string::npos) << message;
        }
        searcher::trace_off();
        EXPECT_EQ(log_lines().back(), "#- " + c.procesa_trace);
    }
}

TEST_F(Searcher, KeywordInsideAnEarlierTestDecomposesNormally) {
    init(Parts{}, true);
    EXPECT_EQ(traced("rwmsg=#snder=#x##"), (std::vector<std::string>{
                                                 "#- la_descompone(rwmsg=#snder=#x##)",
                                                 "#- procesa(rwmsg=#snder=#x##,snder,=,#,x)",
                                                 "#- procesa(rwmsg=#0#,rwmsg,=,#,0)",
                                                 "#- la_descompone.result:=0",
                                             }));
}

TEST_F(Searcher, FiltredMatchesOnValuesAboveZero) {
    init(Parts{"none", "You win"}, true);
    EXPECT_TRUE(searcher::filtred("(1)"));
    EXPECT_FALSE(searcher::filtred("0"));
    EXPECT_FALSE(searcher::filtred("-1"));
    EXPECT_FALSE(searcher::filtred("-sbjct=#win#"));
    EXPECT_TRUE(searcher::filtred("sbjct=#you#+sbjct=#win#+sbjct=#w#"));  // 3
    EXPECT_FALSE(searcher::filtred("(sbjct=#win#+sbjct=#you#)*sbjct=#lose#"));
    EXPECT_THROW(searcher::filtred("   "), EConvertError);
    EXPECT_THROW(searcher::filtred("xsnder=#a#"), EConvertError);
    EXPECT_THROW(searcher::filtred("sbjct=#win#+"), EFilterError);
}

// A line whose later test is made of an earlier test's digits is decided on
// the spot: what each message's senders make of it is not kept, so a process
// that scores message after message stays the same size.
TEST_F(Searcher, TestsMadeByAMessagesValuesAreNotKept) {
    std::string inner;
    for (int k = 0; k < 16; ++k) inner += "snder=#" + std::string(1, static_cast<char>('a' + k)) + "#";
    const std::string line = "sbjct=#" + inner + "#+snder=#q#";
    searcher::prepare({line});
    std::mt19937 random(7);
    std::size_t kept = 0;
    for (int message = 0; message < 200; ++message) {
        std::string sender;
        for (char c = 'a'; c < 'q'; ++c)
            if (random() % 2) sender += c;
        std::string digits;
        for (char c = 'a'; c < 'q'; ++c) digits += sender.find(c) == std::string::npos ? '0' : '1';
        const bool subject_holds = random() % 2;
        init(Parts{sender, subject_holds ? "re " + digits : "re"}, true);
        EXPECT_EQ(searcher::filtred(line), subject_holds) << sender;
        if (message == 0) kept = searcher::kept_tests();
        EXPECT_EQ(searcher::kept_tests(), kept);
    }
    searcher::forget();
}

TEST_F(Searcher, RegularExpressionErrorsLeaveFiltred) {
    init(Parts{}, true);
    EXPECT_THROW(searcher::filtred("sbjct=%(%"), ERegExpr);
    EXPECT_THROW(searcher::filtred("sbjct=%%"), ERegExpr);
}

TEST_F(Searcher, RegularExpressionRunsOnTheNormalisedPart) {
    if (!regexp_engine_available()) GTEST_SKIP() << "the regular-expression engine is not built in yet";
    init(Parts{}, true);
    EXPECT_FALSE(busca_regexp("viagra", "  Viagra  "));
    EXPECT_TRUE(busca_regexp("^VIAGRA$", "  Viagra  "));  // upper case, then trimmed
    init(Parts{}, false);
    EXPECT_TRUE(busca_regexp("^  Viagra  $", "  Viagra  "));
}

TEST_F(Searcher, TraceIsWrittenOnlyWhileSwitchedOn) {
    init(Parts{}, true);
    searcher::filtred("1");
    EXPECT_FALSE(test::exists(log_path()));

    searcher::trace_on();
    init(Parts{}, true);  // a new message starts with the trace off
    searcher::filtred("1");
    EXPECT_FALSE(test::exists(log_path()));

    searcher::trace_on();
    searcher::filtred("  1 ");
    searcher::trace_off();
    searcher::filtred("0");
    EXPECT_EQ(log_lines(), (std::vector<std::string>{
                               "#- filtred(  1 )",  // untrimmed
                               "#- la_descompone(  1 )",
                               "#- la_descompone.result:=  1 ",
                           }));
}

TEST_F(Searcher, TraceGoesToTheBaseFolderReadAtInit) {
    init(Parts{}, true);
    test::make_dir(tmp_ / "other");
    set_basefolder_setting(tmp_ / "other");
    searcher::trace_on();
    searcher::filtred("1");
    searcher::trace_off();
    EXPECT_TRUE(test::exists(log_path()));
    EXPECT_FALSE(test::exists(tmp_ / "other/plugin.log.txt"));

    init(Parts{}, true);
    searcher::trace_on();
    searcher::filtred("1");
    searcher::trace_off();
    EXPECT_TRUE(test::exists(tmp_ / "other/plugin.log.txt"));
}

TEST_F(Searcher, TraceToAMissingFolderRaisesInOutError) {
    set_basefolder_setting(tmp_ / "missing");
    init(Parts{}, true);
    searcher::trace_on();
    EXPECT_THROW(searcher::filtred("1"), EInOutError);
    searcher::trace_off();
}

// A line of many tests: its procesa trace lines show the line only once it
// is short enough, the same on the literal road and the kept one.
TEST_F(Searcher, ProcesaTraceShowsALongLineByItsLength) {
    std::string line = "sbjct=#w0#";
    for (int i = 1; line.size() <= kLongestTracedLine + 200; ++i) line += "+sbjct=#w" + std::to_string(i) + "#";
    std::vector<std::vector<std::string>> roads;
    for (const bool literal : {true, false}) {
        set_literal_mode(literal);
        std::remove(log_path().c_str());
        init(Parts{}, false);
        searcher::trace_on();
        EXPECT_FALSE(searcher::filtred(line));
        searcher::trace_off();
        roads.push_back(log_lines());
    }
    set_literal_mode(false);
    EXPECT_EQ(roads[0], roads[1]);
    const std::vector<std::string>& trace = roads[0];
    ASSERT_GT(trace.size(), 4u);
    EXPECT_EQ(trace[0], "#- filtred(" + line + ")");
    EXPECT_EQ(trace[2], "#- procesa(<a line of " + std::to_string(line.size()) + " bytes>,sbjct,=,#,w0)");
    // The first shown in full is the first no longer than the bound.
    std::size_t shown = 0;
    while (shown < trace.size() && trace[shown].rfind("#- procesa(0", 0) != 0) ++shown;
    ASSERT_LT(shown, trace.size() - 1);
    const std::size_t length = trace[shown].find(",sbjct,") - std::string("#- procesa(").size();
    EXPECT_LE(length, kLongestTracedLine);
    EXPECT_NE(trace[shown - 1].find("bytes>"), std::string::npos) << trace[shown - 1];
}

TEST_F(Searcher, ALineLongerThanTheLimitIsRefusedBeforeAnyWork) {
    const std::string longest = "1" + std::string(kLongestLine - 1, ' ');
    const std::string longer = longest + " ";
    for (const bool literal : {true, false}) {
        set_literal_mode(literal);
        searcher::prepare({longest, longer});
        init(Parts{}, false);
        searcher::trace_on();
        EXPECT_TRUE(searcher::filtred(longest));
        try {
            searcher::filtred(longer);
            ADD_FAILURE() << "a line of " << longer.size() << " bytes was taken apart";
        } catch (const EFilterError& e) {
            EXPECT_EQ(std::string(e.what()), "The filter line of 65537 bytes is longer than the 65536 bytes a line may have");
        }
        searcher::trace_off();
        EXPECT_EQ(log_lines().size(), 3u) << "only the longest line's trace";
        std::remove(log_path().c_str());
    }
    set_literal_mode(false);
}

// haveimg on both roads, and where the first reference stands in the part.
TEST_F(Searcher, ExternalImageNeedsSourceAttributeStartingWithHttp) {
    using namespace std::string_literals;
    using At = std::optional<std::pair<std::size_t, std::size_t>>;
    const std::vector<std::pair<std::string, At>> cases = {
        {"<img src=\"http://x/a.png\">", At({5, 14})},
        {"<IMG SRC=\"HTTPS://x\">", At({5, 14})},
        {"<img src=\\\"http://x\\\">", At({5, 15})},  // escaped quotation mark
        {"<img src='http://x'>", std::nullopt},
        {"<img src = \"http://x\">", std::nullopt},
        {"<img src=\"cid:part1\">", std::nullopt},
        {"x\0<img src=\"http://x\">"s, std::nullopt},  // the NUL ends the text
        {"\0<img src=\"http://x\">"s, At({6, 15})},   // unless trimmed away first
        {"<img src=\"http://x\">\0"s, At({5, 14})},
        {" \t src=\\\"http \r\n", At({3, 13})},         // ending where the trimmed text ends
        {"src=\"cid\" src=\\\"Http src=\"http", At({10, 20})},  // the first of either
        {"", std::nullopt},
    };
    for (const bool literal : {false, true}) {
        set_literal_mode(literal);
        for (bool uppercase : {true, false}) {
            for (const auto& [raw, at] : cases) {
                SCOPED_TRACE(testing::PrintToString(raw) + (literal ? " literal" : ""));
                init(Parts{"none", "none", "none", "none", "none", raw}, uppercase);
                EXPECT_EQ(searcher::haveimg(), at.has_value());
                EXPECT_EQ(image_source_at(raw), at);
            }
        }
    }
    set_literal_mode(false);
}

TEST_F(Searcher, NormalisaUpperCasesAndTrimsOnlyWithUppercaseOn) {
    init(Parts{}, true);
    EXPECT_EQ(normaliza(" \t\r\nab c\xE9\x01 "), "AB C\xE9");
    init(Parts{}, false);
    EXPECT_EQ(normaliza(" \t\r\nab c\xE9\x01 "), " \t\r\nab c\xE9\x01 ");
}

TEST(SearcherModes, SeparatorsAreExactlyTheFortyCharacters) {
    const std::string expected =
        "\t\n\r !\"#$%&'()*+,-./:;<=>?@[\\]_{|}~"
        "\x80\xA1\xAC\xB7\xBA\xBF";
    std::string separators;
    for (int c = 0; c < 256; ++c)
        if (es_separador(static_cast<char>(c))) separators += static_cast<char>(c);
    EXPECT_EQ(separators, expected);
    EXPECT_EQ(separators.size(), 40u);
}

struct ModeCase {
    bool uppercase;
    std::string text;
    std::string part;
    bool found;
};

TEST_F(Searcher, ContainsMode) {
    using namespace std::string_literals;
    const std::vector<ModeCase> cases = {
        {true, "\xF6l", "\xD6L", true},  // öl in ÖL: the ANSI mapping folds ö
        {false, "\xF6l", "\xD6L", false},
        {false, "Free", "FREE OFFER", false},
        {true, "Free", "FREE OFFER", true},
        {true, "free ", "a free", false},  // the text is not trimmed
        {true, "free ", "a free offer", true},
        {true, "\x9A\xFF", "\x8A\x9F", true},
        {true, "\xF7", "\xD7", false},
        {true, "\xB5\xDF", "\xB5\xDF", true},
        {true, "", "anything", false},
        {false, "", "", false},
        {true, "a\0zzz"s, "xa", true},     // the text ends at its NUL
        {true, "b", "a\0b"s, false},       // so does the part
        {false, "\0b"s, "\0b"s, false},    // and an empty text is never found
        {false, "viagra", "buy viagra now", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text + " in " + c.part);
        init(Parts{}, c.uppercase);
        EXPECT_EQ(busca_texto(c.text, c.part), c.found);
    }
}

TEST_F(Searcher, WholeWordMode) {
    using namespace std::string_literals;
    const std::vector<ModeCase> cases = {
        {true, "\xF6l", "\xD6L", false},  // plain mapping: öl becomes öL
        {true, "cat", "concatenate cat", false},  // only the first occurrence counts
        {true, "cat", "cat-food", true},
        {true, "cat", "cat", true},
        {true, "caf", "caf\xE9", false},
        {true, "price", "price\x80", true},
        {true, "cat", "^cat", false},
        {true, "cat", "`cat", false},
        {true, "cat", "\xA0" "cat", false},  // no-break space
        {true, "cat", "a\0 cat"s, true},     // the whole part is searched
        {false, "cat", "\0cat"s, false},     // NUL is no separator
        {true, " cat ", "Cat food", true},   // trimmed with uppercase on
        {false, " cat ", "cat food", false},
        {false, " cat ", ". cat .", true},  // boundaries beyond the blanks
        {false, " cat ", "x cat y", false},
        {false, "Cat", "cat", false},
        {true, "put your filters here", "Put your filters here!", true},
        {false, "put your filters here", "Put your filters here!", false},
        {true, "   ", "a   b", false},  // trimmed to nothing
        {false, "", "cat", false},
        {true, "Bar", "foo\r\nbar\r\n", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text + " in " + c.part);
        init(Parts{}, c.uppercase);
        EXPECT_EQ(busca_palabra(c.text, c.part), c.found);
    }
}

// The steps with each value given as the test is met: the tests asked for in
// la_descompone's order, each once, the value written where it stood, and the
// line as it stood where the steps ended early.
TEST(WalkLine, WritesEachValueAsItIsMetAndStopsWhereAsked) {
    struct Case {
        std::string line;
        std::string answers;  // per test met: '1', '0', or 's' to stop there
        WalkEnd end;
        std::string at_end;
        std::string asked;  // "k:keyword op delim text;" per test met
    };
    const std::vector<Case> cases = {
        {"(1)", "", WalkEnd::expression, "(1)", ""},
        {"sbjct=#a#+snder=#b#", "10", WalkEnd::expression, "0+1", "0:snder=#b;1:sbjct=#a;"},
        {"rwmsg=#r#*snder=\"s\"", "01", WalkEnd::expression, "1*0", "0:snder=\"s;1:rwmsg=#r;"},
        {"SnDeR-%x%", "1", WalkEnd::expression, "1", "0:SnDeR-%x;"},
        {"sbjct=#a#+SBJCT=#A#*(sBjCt=#a#)", "1", WalkEnd::expression, "1+1*(1)", "0:sbjct=#a;"},
        // A written digit is part of the later test that encloses it.
        {"rwmsg=#snder=#x##", "11", WalkEnd::expression, "1", "0:snder=#x;1:rwmsg=#1;"},
        {"rwmsg=#snder=#x##", "01", WalkEnd::expression, "1", "0:snder=#x;1:rwmsg=#0;"},
        {"sbjct=#a#+snder=#b#", "s", WalkEnd::stopped, "sbjct=#a#+snder=#b#", "0:snder=#b;"},
        {"sbjct=#a#+snder=#b#", "1s", WalkEnd::stopped, "sbjct=#a#+1", "0:snder=#b;1:sbjct=#a;"},
        {"(1)+snder=", "1", WalkEnd::no_delimiter, "(1)+snder=", "0:snder=;"},
        {"(1)+snder=", "s", WalkEnd::stopped, "(1)+snder=", "0:snder=;"},
        {"snder=#x#*sbjct", "10", WalkEnd::no_delimiter, "1*sbjct", "0:snder=#x;1:sbjct;"},
        {"sbjct=#a#+snder=#b", "1", WalkEnd::not_in_line, "sbjct=#a#+snder=#b", "0:snder=#b;"},
        {"snder=#x#*sbjct=#a", "00", WalkEnd::not_in_line, "0*sbjct=#a", "0:snder=#x;1:sbjct=#a;"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line + " answered " + c.answers);
        std::string asked, at_end;
        const WalkEnd end = walk_line(
            c.line,
            [&](std::size_t k, const WrittenTest& t) -> std::optional<bool> {
                asked += std::to_string(k) + ":" + t.keyword + t.op + t.delim + t.text + ";";
                if (k >= c.answers.size()) {
                    ADD_FAILURE() << "asked for test " << k;
                    return std::nullopt;
                }
                if (c.answers[k] == 's') return std::nullopt;
                return c.answers[k] == '1';
            },
            at_end);
        EXPECT_EQ(end, c.end);
        EXPECT_EQ(at_end, c.at_end);
        EXPECT_EQ(asked, c.asked);
    }
}

}  // namespace
}  // namespace kalvorin
