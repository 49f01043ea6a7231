// The list pass run in the host (--explain, --compare) against the real
// plug-in, and the host's account of it on the demo folder.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

#include "CodigoComun/CapturaSpam.h"
#include "CodigoComun/Errors.h"
#include "CodigoComun/FileNames.h"
#include "CodigoComun/Texto.h"
#include "host/PluginHost.h"
#include "inspect/Evaluation.h"
#include "inspect/Wording.h"
#include "platform/registry.h"
#include "support/RandomFilters.h"
#include "support/TestSupport.h"

namespace kalvorin {
namespace {

using test::spit;

class InProcessList : public test::HiveTest {
protected:
    void SetUp() override {
        HiveTest::SetUp();
        set_basefolder_setting(tmp_ / "base");
    }
    void setting(const std::string& name, const std::string& text) const {
        test::store_value("Software\\kalvorin\\settings", name, platform::kRegSz, text + '\0');
    }
    void scores(std::int32_t secure, std::int32_t trash, std::int32_t suspect) const {
        const std::string key = "Software\\kalvorin\\scores";
        test::store_value(key, "secure", platform::kRegDword, test::dword(secure));
        test::store_value(key, "trash", platform::kRegDword, test::dword(trash));
        test::store_value(key, "suspect", platform::kRegDword, test::dword(suspect));
    }
    void demo_lists(const std::string& folder) const {
        test::make_dir(folder);
        for (const char* name : kListNames) {
            const std::string file = std::string(name) + kTextSuffix;
            spit(folder + "/" + file, test::slurp(std::string(KALVORIN_SOURCE_DIR) + "/resources/demo/base/" + file));
        }
    }
    static std::vector<std::string> demo_messages() {
        std::vector<std::string> files;
        for (const auto& e : std::filesystem::directory_iterator(std::string(KALVORIN_SOURCE_DIR) + "/resources/demo/messages"))
            files.push_back(e.path().string());
        std::sort(files.begin(), files.end());
        return files;
    }
    test::RunResult host(std::vector<std::string> args) const {
        args.insert(args.begin(), test::dist("kalvorin-host"));
        return test::run(args);
    }
};

// The line the plug-in logged just before its first score lookup, and the
// list it looked up: the line that decided.
std::pair<std::string, std::string> logged_decision(const std::string& log) {
    std::string last_line;
    for (std::size_t pos = 0, nl; pos < log.size(); pos = nl + 2) {
        nl = std::min(log.find("\r\n", pos), log.size());
        const std::string line = log.substr(pos, nl - pos);
        if (line.starts_with("get_score(")) return {last_line, line};
        if (line.starts_with("searcher.haveimg")) return {};
        if (!line.starts_with("#- ")) last_line = line;
    }
    return {};
}

TEST_F(InProcessList, GivesThePlugInsScoreLineAndErrorOnRandomListsAndMessages) {
    test::RandomFilters g(4242);
    host::PluginHost plugin(test::dist("Kalvorin.TBP"));
    test::store_value("Software\\kalvorin\\settings", "logsize", platform::kRegDword, test::dword(1));
    const char* extimg[] = {"none", "susp", "trash", "SUSP", "trash"};
    // Lines that many messages match, one list's each: an empty subject seen
    // as ":", a body text that the cap may cut off, an external image; and an
    // empty match, which a part that is empty never gives.
    const std::array<std::string, 3> probes = {"sbjct=#:#", "mbody=#xwin#", "rwmsg=#src=#*attch=%x?%"};
    std::size_t decided = 0, stopped = 0;
    for (int round = 0; round < 40; ++round) {
        setting("uppercase", round % 2 ? "true" : "false");
        setting("up50kb", round % 3 ? "true" : "false");
        setting("extimg", extimg[round % 5]);
        scores(round % 5 ? -1000 : 0, 1000, round % 7 ? 70 : 1000);
        for (std::size_t list = 0; list < 3; ++list) {
            std::string text = g.below(2) ? ":a list\r\n" : probes[list] + "\r\n";
            for (std::size_t n = g.below(3 + 3 * list); n > 0; --n) {
                // Most lines are kept from matching, so that the later lists
                // and the image rule get their turn; they can still raise.
                const std::string line = g.below(4) ? g.sound_line() : g.list_line();
                text += (g.below(4) && inspect::is_filter_line(line) ? "(" + line + ")*snder=#zq9never9qz#" : line) + "\r\n";
            }
            spit(base() + kListNames[list] + kTextSuffix, text);
        }
        plugin.initialize();
        const inspect::Evaluation ev(inspect::PassSettings::from_store(), {inspect::read_lists(base(), platform::Place::BaseFolder)});
        for (int k = 0; k < 12; ++k) {
            MessageParts parts;
            for (std::string& p : parts.text) p = g.below(6) ? g.part(10) : std::string();
            if (g.below(4) == 0) parts.text[1] = std::string(49990 + g.below(20), 'x') + "win" + g.part(4);
            if (g.below(3) == 0) parts.text[5] += "<img src=\"http://x/y.png\">";
            const std::int32_t expected = plugin.score(parts);
            const std::string log = test::slurp(base() + kLogName);
            const inspect::Explained e = ev.explain(inspect::see(parts.text, ev.settings()));
            const inspect::Verdict& v = e.verdict;
            SCOPED_TRACE("round " + std::to_string(round) + ", message " + std::to_string(k));
            ASSERT_EQ(v.score, expected);
            if (v.error) {
                ++stopped;
                EXPECT_NE(log.find("Scoring stopped: " + *v.error + "\r\n"), std::string::npos) << log;
                ASSERT_TRUE(e.line.has_value());
                EXPECT_FALSE(e.line->value.has_value()) << "the explanation evaluates a line that stopped the scoring";
            } else if (v.decided) {
                ++decided;
                EXPECT_EQ(logged_decision(log), std::make_pair(trim(ev.line(0, *v.decided)),
                                                               "get_score(" + std::to_string(v.decided->list + 1) + ")"));
                ASSERT_TRUE(e.line && e.line->value);
                EXPECT_GT(*e.line->value, 0);
            } else {
                EXPECT_EQ(logged_decision(log), std::make_pair(std::string(), std::string()));
            }
        }
        plugin.finalize();
    }
    EXPECT_GT(decided, 40u);
    EXPECT_GT(stopped, 10u);
}

// The explanation's steps against la_descompone itself, on lines of every
// kind: the same expression, and an end where it raises.
TEST_F(InProcessList, TakingALineApartGivesLaDescomponesExpressionOrItsError) {
    test::RandomFilters g(77);
    for (int k = 0; k < 4000; ++k) {
        FieldParts parts;
        for (std::string& p : parts) p = g.part(6);
        searcher::searcher_init(parts[0], parts[1], parts[2], parts[3], parts[4], parts[5], k % 2 == 0);
        const std::string line = k % 3 ? g.line() : g.list_line();
        std::string expected;
        const std::string raised = test::error_text<KalvorinError>([&] { expected = la_descompone(line); });
        const inspect::TakenApart apart = inspect::take_apart(line, [&](std::size_t, const inspect::LineStep& s) {
            std::optional<bool> answer;
            test::error_text<ERegExpr>([&] {
                const std::string& part = parts[s.part];
                answer = s.mode() == MatchMode::contains ? busca_texto(s.text, part)
                         : s.mode() == MatchMode::word   ? busca_palabra(s.text, part)
                                                         : busca_regexp(s.text, part);
            });
            return answer;
        });
        using End = inspect::TakenApart::End;
        const End end = raised.starts_with("TRegExpr") ? End::stopped
                        : raised.find("no delimiter") != std::string::npos ? End::no_delimiter
                        : raised != "no error"                             ? End::not_in_line
                                                                           : End::expression;
        ASSERT_EQ(apart.end, end) << line << ": " << raised;
        if (end == End::expression) {
            ASSERT_EQ(apart.expression, expected) << line;
        }
    }
}

TEST_F(InProcessList, ExplainsTheDemoMessagesWithThePlugInsScores) {
    demo_lists(tmp_ / "base");
    setting("extimg", "susp");
    // Ten digits after a true test are too many for a 32-bit number.
    spit(base() + "suspect.filters.txt", test::slurp(base() + "suspect.filters.txt") + "sbjct=#notes# 0 0 0 0 0 0 0 0 0 0\r\n");
    const test::RunResult plain = host(demo_messages());
    std::vector<std::string> args = demo_messages();
    args.insert(args.begin(), "--explain");
    const test::RunResult explained = host(args);
    // The line that stops the scoring is a failure the plug-in reports.
    EXPECT_EQ(plain.status, 4) << plain.err;
    ASSERT_EQ(explained.status, plain.status) << explained.err;
    std::string scores;
    for (std::size_t pos = 0, nl; pos < explained.out.size(); pos = nl + 1) {
        nl = explained.out.find('\n', pos);
        if (explained.out[pos] != ' ') scores += explained.out.substr(pos, nl - pos + 1);
    }
    EXPECT_EQ(scores, plain.out);
    for (const char* expected : {
             "  decided by trash line 2: sbjct=\"viagra\"+mbody=\"viagra\"\n"
             "    sbjct=\"viagra\"  whole word in SBJCT: found at 6: Cheap [[Viagra]] today only -> 1\n"
             "    mbody=\"viagra\"  whole word in MBODY: not found -> 0\n"
             "    expression 1+0 = 1, a match\n",
             "    snder-#example-family.org#  contains in SNDER: not found, negated -> 1\n",
             "  no line decides\n  cap: no part above 50000 bytes\n  external image: referred to at 240: "
             "...This weekend</h1>\\r\\n<img [[src=\"http]]://tracker.city-events.e...; extimg is \"susp\" and no "
             "list decided: the suspect score\n",
             "  scoring stopped at suspect line 5: sbjct=#notes# 0 0 0 0 0 0 0 0 0 0\n"
             "    sbjct=#notes#  contains in SBJCT: found at 0: [[Notes]] from today's planning -> 1\n"
             "    expression 1 0 0 0 0 0 0 0 0 0 0: '10000000000' is not a valid integer value\n"
             "  error: '10000000000' is not a valid integer value\n  score reached: 0\n"}) {
        EXPECT_NE(explained.out.find(expected), std::string::npos) << expected << "\nnot in\n" << explained.out;
    }
}

TEST_F(InProcessList, ExplainsACutPartAWordInsideAWordAndAPatternThatRaises) {
    spit(base() + "secure.filters.txt", "sbjct=\"cat\"+mbody=#tail#\r\n");
    spit(base() + "trash.filters.txt", "");
    spit(base() + "suspect.filters.txt", "rwmsg=%(abc%\r\n");
    const std::string dir = tmp_ / "parts";
    test::make_dir(dir);
    spit(dir + "/SBJCT", "  concatenate cat");
    spit(dir + "/MBODY", std::string(60000, 'x') + "tail");
    const test::RunResult r = host({"--explain", "--parts", dir});
    EXPECT_EQ(r.out, "0\t" + dir + "\n"
                     "  scoring stopped at suspect line 1: rwmsg=%(abc%\n"
                     "    rwmsg=%(abc%  pattern in RWMSG: raises TRegExpr(comp): ParseReg Unmatched () (pos 4)\n"
                     "  error: TRegExpr(comp): ParseReg Unmatched () (pos 4)\n  score reached: 0\n"
                     "  cap: MBODY cut from 60004 to 50000 bytes\n"
                     "  external image: not looked for, the scoring stopped\n");
    spit(base() + "suspect.filters.txt", "sbjct=\"cat\"+mbody=#tail#+1\r\n");
    EXPECT_NE(host({"--explain", "--parts", dir}).out.find(
                  "    sbjct=\"cat\"  whole word in SBJCT: first found at 5:   con[[cat]]enate cat, not a whole word -> 0\n"
                  "    mbody=#tail#  contains in MBODY: not found -> 0\n"
                  "    expression 0+0+1 = 1, a match\n"),
              std::string::npos);
}

TEST(ImageRule, MovesTheScoreOnlyAsTheSettingSays) {
    struct Case {
        bool image;
        const char* extimg;
        std::int32_t score, expected;
        inspect::ImageRule rule;
    };
    using R = inspect::ImageRule;
    const Case cases[] = {{false, "trash", 0, 0, R::no_image},   {true, "none", 0, 0, R::unchanged},
                          {true, "SUSP", 0, 0, R::unchanged},    {true, "susp", 0, 70, R::to_suspect},
                          {true, "susp", -1000, -1000, R::kept}, {true, "trash", 0, 1000, R::to_trash},
                          {true, "trash", 70, 1000, R::to_trash}, {true, "trash", -1000, -1000, R::kept}};
    for (const Case& c : cases) {
        inspect::PassSettings s;
        s.scores = {-1000, 1000, 70};
        s.extimg = c.extimg;
        std::int32_t score = c.score;
        EXPECT_EQ(inspect::apply_image_rule(c.image, s, score), c.rule) << c.extimg << " " << c.score;
        EXPECT_EQ(score, c.expected) << c.extimg << " " << c.score;
    }
}

// A template's values go where it names them, in its own order, and are not
// read again; a template the language lacks is said in English.
TEST(Wording, PutsTheValuesWhereTheTemplateNamesThem) {
    const std::pair<const char*, const char*> cases[] = {
        {"%1 l\xEDnea %2: %3", "trash l\xEDnea 2: sbjct=#50%1#"},
        {"%3 (%1, %2)", "sbjct=#50%1# (trash, 2)"},
        {"100%% %1", "100% trash"},
        {"%4%1 %", "trash %"},
        {"%x%0", "%x%0"},
        {"", "trash line 2: sbjct=#50%1#"},
    };
    for (const auto& [tmpl, said] : cases) {
        const inspect::Wording w = [tmpl = std::string(tmpl)](inspect::Told) { return tmpl; };
        EXPECT_EQ(inspect::told(inspect::Told::line_at, w, {"trash", "2", "sbjct=#50%1#"}), said) << tmpl;
    }
}

// The window's English account is kalvorin-host's, line for line: lines 227
// to 259 of the language files, then those after line 312.
TEST(Wording, TheEnglishLanguageFileHoldsTheAccountsTexts) {
    const std::string file = test::slurp(std::string(KALVORIN_SOURCE_DIR) + "/resources/lang.eng.txt");
    std::vector<std::string> lines;
    for (std::size_t from = 0, end; (end = file.find("\r\n", from)) != std::string::npos; from = end + 2)
        lines.push_back(file.substr(from, end - from));
    for (std::size_t t = 0; t < static_cast<std::size_t>(inspect::Told::count); ++t) {
        const std::size_t line = t < 33 ? 227 + t : 313 + t - 33;
        ASSERT_LT(line, lines.size() + 1);
        EXPECT_EQ(lines[line - 1], inspect::english_template(static_cast<inspect::Told>(t))) << "line " << line;
    }
}

TEST_F(InProcessList, ComparesTwoFoldersThatDifferByOneLineAndLeavesThemAsTheyWere) {
    const std::string before = tmp_ / "old", after = tmp_ / "new";
    demo_lists(before);
    demo_lists(after);
    std::string trash = test::slurp(after + "/trash.filters.txt");
    trash.erase(trash.find("sbjct=\"viagra\""), trash.find('\n', trash.find("viagra")) + 1 - trash.find("sbjct=\"viagra\""));
    spit(after + "/trash.filters.txt", trash);
    std::vector<std::string> args = demo_messages();
    args.insert(args.begin(), {"--compare", before, after});
    const test::RunResult r = host(args);
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, std::string(KALVORIN_SOURCE_DIR) + "/resources/demo/messages/04-viagra.eml: trash -> none, score 1000 -> 0\n"
                     "  before: trash line 2: sbjct=\"viagra\"+mbody=\"viagra\"\n"
                     "  after:  no line decides\n"
                     "1 of 12 messages changed\n"
                     "trash -> none: 1\n");
    for (const std::string& folder : {before, after})
        EXPECT_EQ(std::distance(std::filesystem::directory_iterator(folder), std::filesystem::directory_iterator()), 3);
    // A line that stops a message's scoring in either folder is the failure
    // the plug-in would report, as in --explain.
    spit(before + "/suspect.filters.txt", test::slurp(before + "/suspect.filters.txt") + "sbjct=#notes# 0 0 0 0 0 0 0 0 0 0\r\n");
    EXPECT_EQ(host(args).status, 4);
    args[2] = tmp_ / "missing";
    EXPECT_EQ(host(args).status, 3);
}

}  // namespace
}  // namespace kalvorin
