// End-to-end: what a sender can do against lists a user would write. Costly
// patterns, a pattern too big to compile for a long text, and lines taken apart by values stand before the line that should
// decide; messages are built to run those patterns out of their budget, to
// fill the trace past its size and to hide a score field of their own where
// the header ends. Every message is still decided by the line that matches
// it, with the same output on every run.
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

#include "platform/registry.h"
#include "support/TestSupport.h"

namespace kalvorin {
namespace {

constexpr int kSecure = -1000, kTrash = 1000, kSuspect = 500;

std::string repeated(const std::string& piece, std::size_t times) {
    std::string out;
    for (; times > 0; --times) out += piece;
    return out;
}

class Evasion : public test::HiveTest {
protected:
    void SetUp() override {
        HiveTest::SetUp();
        set_basefolder_setting(tmp_ / "base");
        for (const auto& [name, score] : {std::pair{"secure", kSecure}, {"trash", kTrash}, {"suspect", kSuspect}})
            test::store_value("Software\\kalvorin\\scores", name, platform::kRegDword, test::dword(score));
        // The subject line's test is made of the sender tests' digits.
        std::string by_values = "sbjct=#";
        for (const char* who : {"ann", "bea", "cy", "dee"}) by_values += std::string("snder=#") + who + "@#";
        by_values += "#";
        // Lines a user keeps for old campaigns: long, never matching, each
        // tracing tens of kilobytes.
        std::string old_campaigns;
        for (int i = 0; i < 40; ++i) old_campaigns += "sbjct=#campaign " + std::to_string(i) + " " + repeated("x", 30000) + "#\r\n";
        test::spit(base() + "secure.filters.txt",
                   "mbody=%(?:\\w+ )+INVOICE NO%\r\nmbody=%(?:(\\w+)\\s+){2,5000}\\1%\r\n" + by_values + "\r\nsnder=\"boss@mycompany.example\"\r\n");
        test::spit(base() + "trash.filters.txt",
                   "rwmsg=%(?i)(\\w+\\s?){2,4}casino%\r\nsbjct=#viagra#+mbody=\"lottery\"\r\n");
        test::spit(base() + "suspect.filters.txt",
                   old_campaigns + "headr=%(?:[A-Z]+-)+MAILER: BULKMAIL PRO%\r\nmbody=#unsubscribe#\r\n");
    }

    test::RunResult filter(const std::string& message) const {
        return test::run({test::dist("kalvorin-host"), "--filter"}, message);
    }
};

struct Built {
    std::string message;
    int score;
};

// A message of the given sender, subject and body, its header ended by a
// line a delivery program takes for the end; a score field hidden after a
// line holding only CR LF in an LF message, which no such program takes for
// the end.
Built message(const std::string& from, const std::string& subject, const std::string& body, int score,
              bool hidden_field) {
    std::string m = "From: " + from + "\nSubject: " + subject + "\nX-Mailer: bulk\n";
    if (hidden_field) m += "\r\nX-Kalvorin-Score: -1000\nX-Kalvorin-Score  \n : -1000\n";
    return {m + "\n" + body + "\n", score};
}

std::vector<Built> hostile_messages(std::mt19937& random) {
    const auto flood = [&random] {
        const std::size_t words = 8000 + random() % 5000;
        return repeated("AB ", words) + "@ INVOICE NO";
    };
    const auto casino_flood = [&random] { return repeated("win big ", 3000 + random() % 2000) + "!"; };
    std::vector<Built> out;
    for (int round = 0; round < 2; ++round) {
        const bool hidden = round == 1;
        out.push_back(message("spam@x.example", "cheap viagra", flood(), kTrash, hidden));
        out.push_back(message("boss@mycompany.example", "minutes", flood() + "\n" + casino_flood(), kSecure, hidden));
        out.push_back(message("ann@x.example", "lottery", "you won the lottery\n" + casino_flood(), kTrash, hidden));
        out.push_back(message("news@x.example", "news", flood() + "\nto unsubscribe click", kSuspect, hidden));
        out.push_back(message("friend@x.example", "hello", flood(), 0, hidden));
    }
    return out;
}

// Every score field of an LF message's header as a delivery program reads it:
// up to the first empty line (a line holding only CR is none), a field's
// name with blanks after it counted too.
std::string score_fields(const std::string& output) {
    std::string fields;
    for (std::size_t at = 0, end; (end = output.find('\n', at)) != std::string::npos; at = end + 1) {
        std::string line = output.substr(at, end - at);
        if (line.empty()) break;
        if (line.size() >= 16 && line.compare(0, 16, "X-Kalvorin-Score") == 0) fields += line + "|";
    }
    return fields;
}

TEST_F(Evasion, EveryMessageIsDecidedByTheLineThatMatchesItOnEveryRun) {
    std::mt19937 random(20261210);
    for (const Built& b : hostile_messages(random)) {
        const test::RunResult first = filter(b.message);
        const test::RunResult second = filter(b.message);
        ASSERT_EQ(first.status, 0) << first.err;
        EXPECT_EQ(first.out, second.out);
        EXPECT_EQ(score_fields(first.out), "X-Kalvorin-Score: " + std::to_string(b.score) + "|")
            << b.message.substr(0, 120);
        EXPECT_NE(first.out.find(b.message.substr(b.message.find("\n\n"))), std::string::npos);
        const std::string log = test::slurp(base() + "plugin.log.txt");
        if (b.message.find("@ INVOICE NO") != std::string::npos) {
            EXPECT_NE(log.find("passed over: the pattern is too costly for this text (secure.filters.dat, line 1: "),
                      std::string::npos);
        }
        if (b.score != kSecure) {
            EXPECT_NE(log.find("passed over: the pattern is too costly for this text (secure.filters.dat, line 2: "),
                      std::string::npos);
        }
        if (b.score == kSuspect || b.score == 0) {
            EXPECT_NE(log.find("#- the trace of this message is cut here: it reached 1048576 bytes\r\n"),
                      std::string::npos);
        }
        EXPECT_LT(log.size(), 3u * 1024 * 1024);
    }
}

}  // namespace
}  // namespace kalvorin
