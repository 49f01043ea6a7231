// The kept road against the literal one: the same lists and messages through
// both give the same scores and the same log, byte for byte.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <string>
#include <vector>

#include "CodigoComun/CapturaSpam.h"
#include "CodigoComun/ConfigSys.h"
#include "CodigoComun/LogQueue.h"
#include "plugin/PluginState.h"
#include "plugin/Scoring.h"
#include "support/RandomFilters.h"
#include "support/TestSupport.h"

namespace kalvorin {
namespace {

// The parts in host order, handed over as a host would.
struct Message {
    HostParts parts;

    // The host's calling convention: stdcall on 32-bit Windows.
    static std::int32_t KALVORIN_STDCALL callback(HostArg arg, std::int32_t part, char* buf, std::int32_t size) {
        const std::string& text = reinterpret_cast<const Message*>(arg)->parts[host_index(part)];
        if (buf == nullptr) return static_cast<std::int32_t>(text.size());
        const auto n = std::min<std::int32_t>(size, static_cast<std::int32_t>(text.size()));
        std::memcpy(buf, text.data(), static_cast<std::size_t>(n));
        return n;
    }
};

struct Settings {
    bool uppercase;
    const char* extimg;
    std::int32_t logsize;
};

// What one road gives: each message's score and the log after it.
struct Outcome {
    std::vector<std::int32_t> scores;
    std::vector<std::string> logs;
};

class ScoringEquivalence : public test::HiveTest {
protected:
    void SetUp() override {
        HiveTest::SetUp();
        set_basefolder_setting(tmp_ / "base");
    }
    void TearDown() override {
        set_literal_mode(false);
        HiveTest::TearDown();
    }

    // With full_work no line can match, so every line is tried.
    void write_lists(test::RandomFilters& g, std::size_t lines, bool full_work) const {
        for (const char* name : kListNames) {
            std::string text;
            for (std::size_t n = g.below(lines + 1); n > 0; --n) {
                const std::string line = g.list_line();
                const bool comment = line.empty() || line[0] == ':';
                text += (full_work && !comment ? "(" + line + ")*snder=#zq9never9qz#" : line) + "\r\n";
            }
            test::spit(base() + name + ".filters.txt", text);
        }
    }

    Outcome run(bool literal, const Settings& s, const std::vector<Message>& messages) const {
        set_literal_mode(literal);
        const clsConfigSys cfg;
        cfg.set_uppercase(s.uppercase);
        cfg.set_extimg(s.extimg);
        cfg.set_logsize(s.logsize);
        cfg.set_scores(-5, 7, 3);
        plugin_state() = PluginState();
        initialize();
        Outcome o;
        for (const Message& m : messages) {
            o.scores.push_back(get_spam_score(reinterpret_cast<HostArg>(&m), &Message::callback));
            o.logs.push_back(test::slurp(base() + "plugin.log.txt"));
        }
        finalize();
        return o;
    }
};

TEST_F(ScoringEquivalence, RandomListsAndMessagesGiveTheSameScoresAndLog) {
    test::RandomFilters g(1207);
    const Settings settings[] = {{true, "none", 1000}, {false, "trash", 1000}, {true, "susp", 3}, {false, "none", 2}};
    for (int round = 0; round < 24; ++round) {
        const Settings& s = settings[round % 4];
        write_lists(g, 30, round % 3 != 0);
        std::vector<Message> messages(6);
        for (Message& m : messages)
            for (std::string& p : m.parts) p = g.below(6) ? g.part(12) : std::string();
        const Outcome literal = run(true, s, messages);
        const Outcome kept = run(false, s, messages);
        ASSERT_EQ(kept.scores, literal.scores) << "round " << round;
        for (std::size_t k = 0; k < messages.size(); ++k)
            ASSERT_EQ(kept.logs[k], literal.logs[k]) << "round " << round << ", message " << k;
    }
}

// Lines in which a test's digit becomes part of a later test: where that test
// stands, what it holds, or whether a copy of it is replaced with it.
TEST_F(ScoringEquivalence, LinesThatDependOnEarlierValuesGiveTheSameTrace) {
    const std::string lines[] = {
        "sbjct=#xsnder=#a##",          "sbjctsnder=#a#",        "sbjct=snder=#a#a+1",
        "sbjct=#xsnder=#a#",           "sbjct=0asnder=#a#",
        "sbjct=#1#+sbjct=#snder=#a##", "sbjct=#0#*sbjct=#snder=#a##", "snder=#a#snder=#a#",
        "SBJCT=#1#+sbjct=#1#",         "mbody=#0snder-#a##",     "(snder=#a#+sbjct=%snder=#a#%)",
        // The copy of the first test is replaced only when snder=#a# is true;
        // when it is not, the second test's text runs into it.
        "sbjct=#1#+sbjct=j+sbjct=#snder=#a##",
    };
    std::vector<Message> messages(2);
    messages[0].parts = {"h", "b", "t", "a", "1 0", "r"};
    messages[1].parts = {"h", "b", "t", "z", "1", "r"};
    for (const std::string& line : lines) {
        test::spit(base() + "secure.filters.txt", "(" + line + ")*snder=#zq9never9qz#\r\n" + line + "\r\n");
        test::spit(base() + "trash.filters.txt", "");
        test::spit(base() + "suspect.filters.txt", "");
        const Settings s{true, "none", 1000};
        const Outcome literal = run(true, s, messages);
        const Outcome kept = run(false, s, messages);
        EXPECT_EQ(kept.scores, literal.scores) << line;
        EXPECT_EQ(kept.logs, literal.logs) << line;
    }
}

// A message that a faulty pattern ends half-way still leaves what it wrote;
// a base folder changed after initialisation sends the trace to another file,
// and each file gets its lines in order.
TEST_F(ScoringEquivalence, AnEndedMessageAndAMovedTraceGiveTheSameFiles) {
    test::spit(base() + "secure.filters.txt", "sbjct=#win#\r\nrwmsg=%(abc%\r\nsnder=#x#\r\n");
    test::spit(base() + "trash.filters.txt", "mbody=\"free\"\r\n");
    test::spit(base() + "suspect.filters.txt", "");
    const std::string moved = tmp_ / "moved";
    test::make_dir(moved);
    Message no_win, win;
    no_win.parts = {"h", "free offer", "", "bob", "no", "raw"};
    win.parts = {"h", "b", "", "bob", "win", "raw"};
    std::vector<std::string> files[2];
    std::vector<std::int32_t> scores[2];
    for (const bool literal : {true, false}) {
        set_literal_mode(literal);
        set_basefolder_setting(tmp_ / "base");
        plugin_state() = PluginState();
        initialize();
        set_basefolder_setting(moved);
        for (const Message* m : {&no_win, &win})
            scores[literal].push_back(get_spam_score(reinterpret_cast<HostArg>(m), &Message::callback));
        files[literal] = {test::slurp(base() + "plugin.log.txt"), test::slurp(moved + "/plugin.log.txt")};
        std::remove((moved + "/plugin.log.txt").c_str());
    }
    EXPECT_EQ(scores[0], scores[1]);
    EXPECT_EQ(scores[1], (std::vector<std::int32_t>{0, -1000}));
    EXPECT_EQ(files[0], files[1]);
    EXPECT_NE(files[1][1].find("#- procesa(rwmsg=%(abc%,rwmsg,=,%,(abc)"), std::string::npos);
}

// Leaving the literal mode in the middle of a message answers for that
// message, not for one set up before.
TEST_F(ScoringEquivalence, LeavingTheLiteralModeAnswersForTheCurrentMessage) {
    searcher::searcher_init("bob", "a", "", "", "", "", true);
    EXPECT_TRUE(searcher::filtred("snder=#bob#"));
    set_literal_mode(true);
    searcher::searcher_init("eve", "a", "", "", "", "", true);
    set_literal_mode(false);
    EXPECT_FALSE(searcher::filtred("snder=#bob#"));
    EXPECT_TRUE(searcher::filtred("snder=#eve#"));
}

}  // namespace
}  // namespace kalvorin
