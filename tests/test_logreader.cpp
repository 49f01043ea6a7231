// The messages read back from logs that the real plug-in wrote, and the
// window's use of them: their accounts, and what pending lines would change.
#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <optional>
#include <string>
#include <vector>

#include "CodigoComun/Errors.h"
#include "CodigoComun/FileNames.h"
#include "CodigoComun/FilterPlan.h"
#include "CodigoComun/LogLines.h"
#include "CodigoComun/Texto.h"
#include "host/PluginHost.h"
#include "inspect/Comparison.h"
#include "inspect/LogReader.h"
#include "platform/registry.h"
#include "support/RandomFilters.h"
#include "support/TestSupport.h"

namespace kalvorin {
namespace {

using inspect::Recovery;
using Parts = std::array<std::string, 6>;  // host order: header, body, attachments, sender, subject, raw

constexpr std::size_t kSender = 3, kSubject = 4;
const std::string kSubjectPair = "\r\nK A L V O R I N  S P E A K: SUBJECT\r\nK A L V O R I N  S P E A K: SUBJECT\r\n";

std::string trim_end(const std::string& s) {
    std::size_t n = s.size();
    while (n > 0 && static_cast<unsigned char>(s[n - 1]) <= 32) --n;
    return s.substr(0, n);
}

// What the log keeps of a part: the plug-in's copy (capped under up50kb),
// its ends trimmed; the sender's and subject's leading blanks stay in the
// summary.
std::string kept(const std::string& part, std::size_t h, bool up50kb) {
    const std::string held = up50kb && part.size() > 50000 ? part.substr(0, 50000) : part;
    return h == kSender || h == kSubject ? trim_end(held) : trim(held);
}

Recovery truth(const std::string& part, std::size_t h, bool up50kb) {
    const std::size_t n = kept(part, h, up50kb).size();
    if (n == part.size()) return Recovery::whole;
    return up50kb && part.size() > 50000 && n == 50000 ? Recovery::capped : Recovery::trimmed;
}

class LogReaderTest : public test::HiveTest {
protected:
    void SetUp() override {
        HiveTest::SetUp();
        set_basefolder_setting(tmp_ / "base");
        lists("sbjct=#win#\r\n", "sbjct=#spam#\r\n", "");
    }
    void lists(const std::string& secure, const std::string& trash, const std::string& suspect) const {
        test::spit(base() + "secure.filters.txt", secure);
        test::spit(base() + "trash.filters.txt", trash);
        test::spit(base() + "suspect.filters.txt", suspect);
    }
    void setting(const std::string& name, const std::string& text) const {
        test::store_value("Software\\kalvorin\\settings", name, platform::kRegSz, text + '\0');
    }
    void logsize(std::int32_t n) const {
        test::store_value("Software\\kalvorin\\settings", "logsize", platform::kRegDword, test::dword(n));
    }
    // Scores the messages with the real plug-in; its scores.
    std::vector<std::int32_t> score(const std::vector<Parts>& messages) {
        plugin_.initialize();
        std::vector<std::int32_t> scores;
        for (const Parts& p : messages) scores.push_back(plugin_.score(MessageParts{p}));
        plugin_.finalize();
        return scores;
    }
    std::string log_path() const { return base() + kLogName; }

    host::PluginHost plugin_{test::dist("Kalvorin.TBP")};
};

TEST_F(LogReaderTest, GivesBackEachPartAsFarAsTheLogKeepsItAndSaysHowFar) {
    const std::string big(60000, 'b');
    const std::string raw_with_log_lines = "Subject: x" + kSubjectPair + "K A L V O R I  S P E A K: RAW MESSAGE\r\n" +
                                           "secure.filters.dat\r\n|Final Score : 5\r\nend";
    struct Case {
        const char* what;
        Parts parts;
        bool up50kb;
    };
    const Case cases[] = {
        {"line breaks of both kinds", {"A: b\r\nC: d", "one\r\ntwo\nthree", "a\r\nb", "bob", "hi", "r\r\n\nw"}, true},
        {"blanks at the ends", {" \tA: b\r\n", "  body  ", "\r\nx.pdf", "  bob", "hi  ", "raw \r\n"}, true},
        {"empty and blank parts", {"", "", "   ", "", " \r\n", ""}, true},
        {"above the cap", {big, big + " ", std::string(49999, 'a') + "  z", "s", "t", big + "\r\n"}, true},
        {"above 50000 without the cap", {big, big + " ", "a", "s", "t", big + "\r\n"}, false},
        {"lines of the log inside the parts", {"h", "b", "a", "x" + kSubjectPair + "y", "t", raw_with_log_lines}, true},
        {"and inside trimmed parts", {"h", "b", "a", "x" + kSubjectPair + "y ", "t", raw_with_log_lines + "\r\n"},
         true},
        {"control bytes", {std::string("a\0b", 3), "\x01x\x7F", "\r", "s\r", "\xE9t\xE9", std::string("\0x\0", 3)},
         true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.what);
        setting("up50kb", c.up50kb ? "true" : "false");
        const std::int32_t score_given = score({c.parts}).at(0);
        const std::vector<inspect::LoggedMessage> logged = inspect::read_log(log_path());
        ASSERT_EQ(logged.size(), 1u);
        const inspect::LoggedMessage& m = logged[0];
        EXPECT_EQ(m.logged_score, score_given);
        inspect::PassSettings settings;
        settings.up50kb = c.up50kb;
        const inspect::SeenMessage seen = inspect::see(m, settings);
        for (std::size_t k = 0; k < 6; ++k) {
            const std::size_t h = kHostIndexOf[k];
            const std::string& part = c.parts[h];
            SCOPED_TRACE(std::string(kFieldKeywords[k]));
            EXPECT_EQ(m.parts[h], kept(part, h, c.up50kb));
            EXPECT_EQ(m.recovery[h], truth(part, h, c.up50kb));
            EXPECT_EQ(m.host_length[h], part.empty() ? std::nullopt : std::optional<std::int32_t>(part.size()));
            EXPECT_EQ(seen.cut_from[k], m.recovery[h] == Recovery::capped ? part.size() : 0);
        }
    }
}

TEST_F(LogReaderTest, APartThatMayHoldALineOfTheLogIsNotCalledWhole) {
    // Trimmed, so its length cannot tell the banner lines inside it from the
    // subject's own; the last of them within its length is the subject's.
    score({{"h", "b", "a", "x" + kSubjectPair + "y ", "t", "r"}});
    const std::vector<inspect::LoggedMessage> logged = inspect::read_log(log_path());
    ASSERT_EQ(logged.size(), 1u);
    EXPECT_FALSE(logged[0].whole(kSender));
    EXPECT_EQ(logged[0].parts[kSender], "x" + kSubjectPair + "y");
    EXPECT_EQ(logged[0].parts[kSubject], "t");
}

TEST_F(LogReaderTest, ReadsTheMessageWhoseNewMailLinesTheResetErased) {
    logsize(2);
    const std::vector<std::int32_t> scores =
        score({{"h", "b", "", "1", "win", "r"}, {"h", "b", "", "2", "spam", "r"}, {"h", "b", "", "3", "none", "r"}});
    ASSERT_TRUE(test::slurp(log_path()).starts_with("IDX: 100000 I       : 1\r\n"));
    const std::vector<inspect::LoggedMessage> logged = inspect::read_log(log_path());
    ASSERT_EQ(logged.size(), 2u);
    EXPECT_EQ(logged[0].sender(), "2");
    EXPECT_EQ(logged[0].logged_score, scores[1]);
    EXPECT_EQ(logged[1].sender(), "3");
    EXPECT_EQ(logged[1].logged_score, scores[2]);
}

// Every prefix of a log, as a log emptied or read while a message is being
// scored leaves it: a message appears once its part dump is whole, with the
// parts the whole log gives (also one whose dumped length the log gives);
// its score once its summary is there. A raw message that ends the log is
// read as far as it goes, and is not called whole unless it is.
TEST_F(LogReaderTest, ALogCutAnywhereGivesTheMessagesItHoldsWhole) {
    score({{"h", "b\r\nc", "", " s", "win", "raw\r\nmsg"}, {"", "", "", "", "", ""},
           {"h", "b", "a", "s", "spam", "r\r\nsecure.filters.dat\r\nx \r\n"}});
    const std::string log = test::slurp(log_path());
    const std::vector<inspect::LoggedMessage> full = inspect::parse_log(log);
    ASSERT_EQ(full.size(), 3u);
    std::size_t seen = 0;
    for (std::size_t n = 0; n <= log.size(); ++n) {
        const std::vector<inspect::LoggedMessage> cut = inspect::parse_log(std::string_view(log).substr(0, n));
        ASSERT_GE(cut.size(), seen) << n;
        ASSERT_LE(cut.size(), full.size()) << n;
        seen = cut.size();
        for (std::size_t i = 0; i < cut.size(); ++i) {
            // Before the summary the sender and subject lack their leading blanks.
            const bool summed = cut[i].logged_score.has_value();
            for (std::size_t h = 0; h < 6; ++h) {
                const bool leads = summed || (h != kSender && h != kSubject);
                SCOPED_TRACE(std::to_string(n) + " bytes: message " + std::to_string(i) + " part " + std::to_string(h));
                if (h == 5 && !summed && i + 1 == cut.size()) {
                    ASSERT_TRUE(full[i].parts[h].starts_with(cut[i].parts[h]));
                    ASSERT_TRUE(cut[i].parts[h] == full[i].parts[h] || cut[i].recovery[h] == Recovery::uncertain);
                    continue;
                }
                ASSERT_EQ(cut[i].parts[h], leads ? full[i].parts[h] : trim(full[i].parts[h]));
                if (leads) {
                    ASSERT_EQ(cut[i].recovery[h], full[i].recovery[h]);
                }
            }
            ASSERT_TRUE(!summed || cut[i].logged_score == full[i].logged_score) << n;
        }
    }
    const std::size_t second_score = log.find("|Final Score", log.find("|Final Score") + 1);
    EXPECT_FALSE(inspect::parse_log(std::string_view(log).substr(0, second_score)).at(1).logged_score);
}

TEST_F(LogReaderTest, AMessageThatStopsRightAfterItsDumpEndsThere) {
    score({{"h", "b", "a", "s", "t", "r "}, {"h", "b", "a", "s2", "t2", "r"}});
    std::string log = test::slurp(log_path());
    const std::size_t list = log.find("\r\nsecure.filters.dat\r\n");
    log.replace(list, log.find("+---", list) - list, "\r\nScoring stopped: std::bad_alloc\r\n");
    const std::vector<inspect::LoggedMessage> logged = inspect::parse_log(log);
    ASSERT_EQ(logged.size(), 2u);
    EXPECT_EQ(logged[0].parts[5], "r");
    EXPECT_EQ(logged[0].recovery[5], Recovery::trimmed);
    EXPECT_EQ(logged[0].logged_score, 0);
    EXPECT_EQ(logged[1].sender(), "s2");
}

// A dumped length that no line of the log follows is not the plug-in's:
// the part ends at the first line that can end it and is not called whole,
// and the next message is read as before.
TEST_F(LogReaderTest, ADumpedLengthThatDoesNotFitLeavesItsPartUncertain) {
    score({{"h", "b", "", "x" + kSubjectPair + "y", "t", "r"}, {"h", "b", "", "s", "t", "r"}});
    std::string log = test::slurp(log_path());
    const std::vector<inspect::LoggedMessage> before = inspect::parse_log(log);
    const std::string length = "IDX: 100003 D       : " + std::to_string(before.at(0).sender().size());
    log.replace(log.find(length), length.size(), length + "0");
    const std::vector<inspect::LoggedMessage> after = inspect::parse_log(log);
    ASSERT_EQ(after.size(), 2u);
    EXPECT_EQ(after[0].sender(), "x");
    EXPECT_EQ(after[0].recovery[kSender], Recovery::uncertain);
    EXPECT_EQ(after[1].parts, before[1].parts);
    EXPECT_EQ(after[1].logged_score, before[1].logged_score);
}

// A summary whose sender or subject is not the dumped one, or not shown
// as the plug-in shows it, is not the message's: it gives no score.
TEST_F(LogReaderTest, ASummaryThatDoesNotShowTheDumpedTextsGivesNoScore) {
    score({{"h", "b", "", " s", "", "r"}});
    const std::string log = test::slurp(log_path());
    ASSERT_EQ(inspect::parse_log(log).at(0).logged_score, 0);
    for (const auto& [line, changed] : {std::pair("|Sender      :  s\r\n", "|Sender      :  s x\r\n"),
                                        {"|Sender      :  s\r\n", "|Sender      :  x s\r\n"},
                                        {"|Sender      :  s\r\n", "|Sender      :  s\\q\r\n"},
                                        {"|Sender      :  s\r\n", "|Sender      :  s\\\r\n"},
                                        {"|Subject     : :\r\n", "|Subject     : x\r\n"}}) {
        std::string damaged = log;
        damaged.replace(damaged.find(line), std::strlen(line), changed);
        const std::vector<inspect::LoggedMessage> logged = inspect::parse_log(damaged);
        ASSERT_EQ(logged.size(), 1u);
        EXPECT_FALSE(logged[0].logged_score) << changed;
    }
}

TEST_F(LogReaderTest, AnEmptyLogHoldsNoMessageAndAMissingOneIsAnError) {
    test::spit(log_path(), "");
    EXPECT_TRUE(inspect::read_log(log_path()).empty());
    score({});
    EXPECT_TRUE(inspect::read_log(log_path()).empty());
    const std::string missing = tmp_ / "nowhere.log.txt";
    try {
        inspect::read_log(missing);
        FAIL() << "no error";
    } catch (const EInOutError& e) {
        EXPECT_STREQ(e.what(), "File not found");
        EXPECT_EQ(e.path(), missing);
    }
}

// Damaged logs are read to their end, and give no more messages than they
// held. So is a long log that never names an error: a reader that looked for
// one to the log's end at each message would take a hundred times longer.
TEST_F(LogReaderTest, DamagedAndEndlessLogsAreReadToTheirEnd) {
    score({{"h", "b", "a", "s", "win", "r"}, {"h", "b", "a", "s", "t", "r"}});
    const std::string log = test::slurp(log_path());
    test::RandomFilters g(9);
    for (int k = 0; k < 300; ++k) {
        std::string damaged = log;
        for (std::size_t n = 1 + g.below(8); n > 0; --n) {
            const std::size_t at = g.below(damaged.size());
            if (g.below(2)) damaged[at] = "\r\n\0 x"[g.below(5)];
            else damaged.erase(at, g.below(40));
        }
        EXPECT_LE(inspect::parse_log(damaged).size(), 2u);
    }
    std::string dumps;
    for (int k = 0; k < 20000; ++k) {
        for (const char* part : {"N  S P E A K: SENDER", "N  S P E A K: SUBJECT", "N  S P E A K: HEADER",
                                 "N  S P E A K: ATTACHMENTS", "N  S P E A K: BODY", " S P E A K: RAW MESSAGE"}) {
            const std::string banner = "K A L V O R I " + std::string(part) + "\r\n";
            dumps += banner + banner + "\r\n";
        }
        dumps += "secure.filters.dat\r\nx\r\n";
    }
    EXPECT_EQ(inspect::parse_log(dumps).size(), 20000u);
}

TEST(PartNotes, SayWhatTheLogCouldNotGiveBack) {
    inspect::LoggedMessage m;
    m.parts = {"A: b", std::string(50000, 'x'), std::string(49990, 'y'), "bob", "", "raw"};
    m.host_length = {6, 60000, 60000, std::nullopt, std::nullopt, std::nullopt};
    m.recovery = {Recovery::trimmed, Recovery::capped, Recovery::trimmed, Recovery::uncertain, Recovery::whole,
                  Recovery::whole};
    const std::vector<std::string> expected = {
        "SNDER: not recovered whole from the log; tests on it may answer differently",
        "MBODY: cut by the cap from 60000 to 50000 bytes, as the filters saw it",
        "ATTCH: the log trimmed at least 10 characters (blanks or line ends) from its ends; tests that look at them "
        "may answer differently",
        "HEADR: the log trimmed 2 characters (blanks or line ends) from its ends; tests that look at them may answer "
        "differently",
    };
    EXPECT_EQ(inspect::part_notes(m), expected);
}

// A trimmed part is noted only where its ends, put back as a line end after
// it or blanks before it, change what the lists decide.
TEST(PartNotes, TrimmedEndsAreNotedOnlyWhereTheyCanMatter) {
    const std::pair<const char*, bool> cases[] = {
        {"sbjct=#win#", false}, {"mbody=\"hello\"", false}, {"mbody=%hello\\s%", true}, {"mbody=%^hello%", true}};
    inspect::LoggedMessage m;
    m.parts = {"h", "hello", "", "s", "t", "r"};
    m.host_length = {1, 7, std::nullopt, 1, 1, 1};
    m.recovery = {Recovery::whole, Recovery::trimmed, Recovery::whole, Recovery::whole, Recovery::whole, Recovery::whole};
    inspect::PassSettings settings;
    settings.scores = {-1000, 1000, 70};
    settings.uppercase = false;
    for (const auto& [line, noted] : cases) {
        inspect::FilterLists lists;
        lists.lines[1] = {line};
        const inspect::Evaluation ev(settings, {lists});
        const std::vector<std::string> expected = {
            "MBODY: the log trimmed 2 characters (blanks or line ends) from its ends; tests that look at them may "
            "answer differently"};
        EXPECT_EQ(inspect::part_notes(m, ev), noted ? expected : std::vector<std::string>{}) << line;
    }
}

// Random lists and messages, some holding lines of the log: every part
// comes back as the log keeps it, and a message whose parts are whole is
// explained to the score the plug-in logged.
TEST_F(LogReaderTest, ExplainingAWholeLoggedMessageGivesTheLoggedScore) {
    test::RandomFilters g(515);
    logsize(1000);
    const std::vector<std::string> log_lines = {
        kSubjectPair, "\r\nsecure.filters.dat\r\n", "\r\nScoring stopped: x\r\n",
        "\r\nK A L V O R I N  S P E A K: NEW MAIL!\r\nIDX: 100000 I       : 3\r\n",
        "\r\n+---------------------------\r\n|RESUME:\r\n|Final Score : 7\r\n"};
    std::size_t whole = 0;
    for (int round = 0; round < 6; ++round) {
        setting("uppercase", round % 2 ? "true" : "false");
        std::array<std::string, 3> texts;
        for (std::string& t : texts)
            for (std::size_t n = g.below(4); n > 0; --n) t += g.sound_line() + "\r\n";
        lists(texts[0], texts[1], texts[2]);
        std::vector<Parts> messages(20);
        for (Parts& p : messages) {
            // Most parts are kept from ending in blanks, so that many messages come back whole.
            for (std::string& part : p) {
                const std::size_t kind = g.below(6);
                part = kind == 0 ? std::string() : kind == 1 ? g.part(8) : "<" + g.part(8) + ">";
            }
            if (g.below(3) == 0) p[g.below(6)] = "<" + g.pick(log_lines) + ">";
        }
        const std::vector<std::int32_t> scores = score(messages);
        const std::vector<inspect::LoggedMessage> logged = inspect::read_log(log_path());
        ASSERT_EQ(logged.size(), messages.size());
        const inspect::Evaluation ev(inspect::PassSettings::from_store(), {inspect::read_lists(base(), platform::Place::BaseFolder)});
        for (std::size_t i = 0; i < logged.size(); ++i) {
            const inspect::LoggedMessage& m = logged[i];
            SCOPED_TRACE("round " + std::to_string(round) + ", message " + std::to_string(i));
            ASSERT_EQ(m.logged_score, scores[i]);
            for (std::size_t h = 0; h < 6; ++h) {
                ASSERT_EQ(m.parts[h], kept(messages[i][h], h, true)) << h;
                ASSERT_EQ(m.recovery[h], truth(messages[i][h], h, true)) << h;
            }
            if (std::all_of(m.recovery.begin(), m.recovery.end(), [](Recovery r) { return r == Recovery::whole; })) {
                ++whole;
                EXPECT_EQ(ev.score(inspect::see(m, ev.settings())).score, scores[i]);
            }
        }
    }
    EXPECT_GT(whole, 40u);
}

// A part made to mislead a reader of the log: the log's own lines, pieces
// of an earlier log, runs of blanks and line ends of every kind, NULs, stray
// bytes, and now and then a run long enough to near or pass the cap.
std::string hostile_part(test::RandomFilters& g, const std::string& earlier) {
    static const std::vector<std::string> lines = {
        std::string(log_lines::kNewMail), "K A L V O R I  L O G  F I L E", "IDX: 100000 I       : 5",
        "IDX: 100005 D       : 5", "secure.filters.dat", "trash.filters.dat", "Scoring stopped: x",
        "Score preimages:=0", "get_score(1)", "#- filtred(sbjct=#win#)", std::string(log_lines::kRule), "|RESUME:",
        "|Sender      : x", "|Subject     : y", "|Final Score : -1000"};
    std::string s;
    for (std::size_t n = g.below(7); n > 0; --n) {
        const std::string banner(log_lines::kDump[g.below(log_lines::kDump.size())].banner);
        switch (g.below(7)) {
            case 0: s += "\r\n" + g.pick(lines) + (g.below(2) ? "\r\n" : ""); break;
            case 1: s += "\r\n" + banner + "\r\n" + banner + (g.below(2) ? "\r\n" : ""); break;
            case 2: s += earlier.substr(g.below(earlier.size()), g.below(800)); break;
            case 3: s += std::string(g.below(40), "\r\n \t\0"[g.below(5)]); break;
            case 4:
                for (std::size_t k = g.below(20); k > 0; --k) s += static_cast<char>(g.below(256));
                break;
            case 5: s += g.part(4); break;
            default:
                for (std::size_t k = g.below(12) ? g.below(30) : 24000 + g.below(2) * 6000; k > 0; --k) s += "\r\n";
        }
    }
    return s;
}

// Messages made of the log's own lines, written by the real plug-in several
// to a log: each comes back in its place, with every part as the log keeps
// it and its score, none lost and none merged. The first round opens with a
// message that ends in 24000 blank lines, one that holds a whole log, and
// texts that end in a line the log writes after them.
TEST_F(LogReaderTest, MessagesMadeOfTheLogsOwnLinesComeBackOneByOne) {
    test::RandomFilters g(2024);
    logsize(1000);
    std::string blank_lines;
    for (int k = 0; k < 24000; ++k) blank_lines += "\r\n";
    score({{"h", "b", "", "s", "win", "r\r\n" + kSubjectPair}, {"h", "b", "", "s", "t", "r\r\nsecure.filters.dat"}});
    std::string earlier = test::slurp(log_path());
    const std::vector<Parts> crafted = {
        {"h", "b", "", "s", "win", "r" + blank_lines},
        {"h", "b", "", " s", "t", earlier + blank_lines},
        {"h", "b", "a", "s\r\nK A L V O R I N  S P E A K: SUBJECT", "t", "r\r\nsecure.filters.dat"}};
    for (int round = 0; round < 12; ++round) {
        const bool up50kb = round % 3 != 0;
        setting("up50kb", up50kb ? "true" : "false");
        std::vector<Parts> messages(8);
        for (Parts& p : messages)
            for (std::string& part : p) part = hostile_part(g, earlier);
        if (round == 0) std::copy(crafted.begin(), crafted.end(), messages.begin());
        const std::vector<std::int32_t> scores = score(messages);
        earlier = test::slurp(log_path());
        const std::vector<inspect::LoggedMessage> logged = inspect::parse_log(earlier);
        ASSERT_EQ(logged.size(), messages.size()) << "round " << round;
        for (std::size_t i = 0; i < logged.size(); ++i) {
            SCOPED_TRACE("round " + std::to_string(round) + ", message " + std::to_string(i));
            ASSERT_EQ(logged[i].logged_score, scores[i]);
            for (std::size_t h = 0; h < 6; ++h) {
                ASSERT_EQ(logged[i].parts[h], kept(messages[i][h], h, up50kb)) << h;
                ASSERT_EQ(logged[i].recovery[h], truth(messages[i][h], h, up50kb)) << h;
            }
        }
    }
}

void expect_same(const inspect::LoggedMessage& a, const inspect::LoggedMessage& b) {
    EXPECT_EQ(a.parts, b.parts);
    EXPECT_EQ(a.host_length, b.host_length);
    EXPECT_EQ(a.recovery, b.recovery);
    EXPECT_EQ(a.logged_score, b.logged_score);
    EXPECT_EQ(a.stopped, b.stopped);
}

// Read a piece at a time, hostile logs, whole or cut anywhere, give the last
// messages of the whole read, whatever the size of the pieces.
TEST_F(LogReaderTest, TheTailReadGivesTheLastMessagesOfTheWholeRead) {
    test::RandomFilters g(38);
    logsize(1000);
    lists("sbjct=#win#\r\nsbjct=#x\r\n", "", "");  // the second line stops the scoring
    std::string earlier = "K A L V O R I  L O G  F I L E";
    for (int round = 0; round < 4; ++round) {
        std::vector<Parts> messages(6);
        for (Parts& p : messages)
            for (std::string& part : p) part = hostile_part(g, earlier);
        score(messages);
        earlier = test::slurp(log_path());
        for (const std::size_t cut : {earlier.size(), g.below(earlier.size()), g.below(earlier.size())}) {
            const std::string_view log = std::string_view(earlier).substr(0, cut);
            const std::vector<inspect::LoggedMessage> whole = inspect::parse_log(log);
            for (const std::size_t piece : {1u, 300u, 5000u, 1u << 20}) {
                const std::size_t how_many = g.below(whole.size() + 2);
                std::size_t at = 0;
                const inspect::LogTail tail = inspect::parse_log_tail(
                    [&](std::string& out, std::size_t n) {
                        const std::string_view given = log.substr(at, n);
                        out += given;
                        at += given.size();
                        return given.size();
                    },
                    how_many, piece);
                SCOPED_TRACE("round " + std::to_string(round) + ", " + std::to_string(cut) + " bytes, pieces of " +
                             std::to_string(piece));
                ASSERT_EQ(tail.total, whole.size());
                ASSERT_EQ(tail.messages.size(), std::min(how_many, whole.size()));
                for (std::size_t i = 0; i < tail.messages.size(); ++i)
                    expect_same(tail.messages[i], whole[whole.size() - tail.messages.size() + i]);
            }
        }
    }
}

// A sender or subject that holds line breaks or other control bytes adds no
// line to the summary, which shows it on one line and gives it back whole.
TEST_F(LogReaderTest, ASenderOrSubjectCannotForgeALineOfTheSummary) {
    const std::string forged_summary = "\r\n+---------------------------\r\n|RESUME:\r\n|Final Score : -1000";
    const std::string forgeries[] = {"Hello\r\n|Final Score : -1000", "\n|Final Score : -1000\r", "\r|Final Score : 5",
                                     std::string("a\0\r\n|Final Score : 1", 20), "x\\r\\n" + forged_summary,
                                     "\t\x7F" + forged_summary + "\x1B\r\n "};
    for (const std::string& forged : forgeries) {
        SCOPED_TRACE(forged);
        const Parts parts = {"h", "b", "", "  " + forged, forged, "r"};
        ASSERT_EQ(score({parts}).at(0), 0);
        const std::string log = test::slurp(log_path());
        const std::size_t account = log.find("\r\nsecure.filters.dat\r\n");
        std::vector<std::string> summary;
        for (std::size_t at = log.find(log_lines::kRule, account); at < log.size(); at = log.find("\r\n", at) + 2)
            summary.push_back(log.substr(at, log.find("\r\n", at) - at));
        ASSERT_EQ(summary.size(), 6u);
        EXPECT_EQ(summary[4], "|Final Score : 0");
        EXPECT_EQ(summary[5], log_lines::kRule);
        const auto control = [](char c) { return static_cast<unsigned char>(c) < 32 || c == 0x7F; };
        for (const std::string& line : summary) EXPECT_TRUE(std::none_of(line.begin(), line.end(), control)) << line;
        const std::vector<inspect::LoggedMessage> logged = inspect::parse_log(log);
        ASSERT_EQ(logged.size(), 1u);
        EXPECT_EQ(logged[0].sender(), trim_end("  " + forged));
        EXPECT_EQ(logged[0].subject(), trim_end(forged));
    }
}

TEST_F(LogReaderTest, NamesTheLoggedMessagesThatPendingLinesWouldChange) {
    score({{"h", "b", "", "a", "cheap win", "r"}, {"h", "b", "", "b", "hello", "r"},
           {"h", "b", "", "c", "hello win", "r"}, {"h", "b", "", "d", "notes", "r"}});
    const std::vector<inspect::LoggedMessage> logged = inspect::read_log(log_path());
    const std::string after = tmp_ / "after";
    test::make_dir(after);
    test::spit(after + "/secure.filters.txt", "sbjct=#win#+sbjct=#hello#\r\n");
    // Ten digits after a true test are too many for a 32-bit number: the
    // scoring stops, and the score stays 0.
    test::spit(after + "/trash.filters.txt", "sbjct=#cheap#\r\nsbjct=#notes# 0 0 0 0 0 0 0 0 0 0\r\n");
    test::spit(after + "/suspect.filters.txt", "");
    const inspect::Evaluation ev(inspect::PassSettings::from_store(),
                                 {inspect::read_lists(base(), platform::Place::BaseFolder),
                                  inspect::read_lists(inspect::as_basefolder(after), platform::Place::Anywhere)});
    const std::vector<inspect::LoggedChange> changes = inspect::changes(ev, logged);
    ASSERT_EQ(changes.size(), 2u);
    EXPECT_EQ(changes[0].message, 1u);
    const inspect::Change& c = changes[0].change;
    EXPECT_EQ(c.from + " -> " + c.to, "none -> secure");
    EXPECT_EQ(c.before_account, "no line decides");
    EXPECT_EQ(c.after_account, "secure line 1: sbjct=#win#+sbjct=#hello#");
    EXPECT_EQ(changes[1].message, 3u);
    EXPECT_EQ(changes[1].change.from + " -> " + changes[1].change.to, "none -> stopped");
    EXPECT_EQ(changes[1].change.after.score, 0);
}

}  // namespace
}  // namespace kalvorin
