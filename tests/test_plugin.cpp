#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/mount.h>
#include <sys/stat.h>
#endif

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <filesystem>
#include <functional>
#include <map>
#include <optional>
#include <stdexcept>
#include <utility>
#include <vector>

#include "CodigoComun/CapturaSpam.h"
#include "CodigoComun/ConfigSys.h"
#include "platform/lock.h"
#include "platform/registry.h"
#include "plugin/InitFailure.h"
#include "plugin/PluginState.h"
#include "plugin/Scoring.h"
#include "support/TestSupport.h"
#ifndef _WIN32
#include "support/Planted.h"
#endif

namespace kalvorin {
namespace {

TEST(CopyOut, LengthQueriesAndPartialCopies) {
    const std::string text = "Kalvorin in /x/";
    struct Case {
        bool with_buffer;
        std::int32_t size;
        std::int32_t result;
        std::string buffer_after;
    };
    const Case cases[] = {
        {false, 0, 15, "################"},
        {false, 100, 15, "################"},
        {true, -1, 15, "################"},
        {true, 0, 0, "################"},
        {true, 4, 4, "Kalv############"},
        {true, 15, 15, "Kalvorin in /x/#"},
        {true, 16, 15, "Kalvorin in /x/#"},  // no terminating zero
    };
    for (const auto& c : cases) {
        std::string buf(16, '#');
        EXPECT_EQ(copy_out(text, c.with_buffer ? buf.data() : nullptr, c.size), c.result) << c.size;
        EXPECT_EQ(buf, c.buffer_after) << c.size;
    }
}

class PluginTest : public test::HiveTest {
protected:
    void SetUp() override {
        HiveTest::SetUp();
        set_basefolder_setting(tmp_ / "base");
        plugin_state() = PluginState();
        for (const char* name : kListNames) test::spit(base() + name + ".filters.txt", "");
    }
    void set_score(const char* name, std::int32_t v) const {
        test::store_value("Software\\kalvorin\\scores", name, platform::kRegDword, test::dword(v));
    }
    std::string log() const { return test::slurp(base() + "plugin.log.txt"); }
};

TEST_F(PluginTest, InitializeFillsTheStateAndCompilesTheLists) {
    test::spit(base() + "plugin.log.txt", "old content\r\n");
    test::spit(base() + "secure.filters.txt", "a line\r\n:comment\nlast");
    initialize();
    const PluginState& s = plugin_state();
    EXPECT_EQ(s.basefolder, base());
    EXPECT_EQ(s.version, "1.0");
    EXPECT_EQ(s.logfile, base() + "plugin.log.txt");
    EXPECT_EQ(s.logsize, 9);
    EXPECT_EQ(s.extimg, ExtImgRule::none);
    EXPECT_TRUE(s.uppercase);
    EXPECT_TRUE(s.up50kb);
    EXPECT_EQ(log(), "K A L V O R I  L O G  F I L E\r\n");
    EXPECT_EQ(test::slurp(base() + "secure.filters.dat"), "a line\r\n:comment\r\nlast\r\n:");
    EXPECT_EQ(test::slurp(base() + "trash.filters.dat"), ":");
    EXPECT_EQ(plugin_name(), "Kalvorin in " + base());
}

TEST_F(PluginTest, ASecondInitialisationStartsAfresh) {
    test::spit(base() + "secure.filters.txt", "first\r\n");
    initialize();
    plugin_state().mailcount = 4;
    test::spit(base() + "plugin.log.txt", "message lines\r\n");
    test::spit(base() + "secure.filters.txt", "second\r\n");
    initialize();
    EXPECT_EQ(plugin_state().mailcount, 0);
    EXPECT_EQ(log(), "K A L V O R I  L O G  F I L E\r\n");
    EXPECT_EQ(test::slurp(base() + "secure.filters.dat"), "second\r\n:");
}

TEST_F(PluginTest, ZeroRuleAppliesToStoredZerosOnly) {
    const std::vector<std::tuple<std::int32_t, std::int32_t, std::int32_t, std::int32_t, std::int32_t, std::int32_t>>
        cases = {{0, 0, 0, -1, 1, 1}, {-5, -5, 0, -5, -5, 1}, {3, 2, 1, 3, 2, 1}};
    for (const auto& [a, b, c, ea, eb, ec] : cases) {
        set_score("secure", a);
        set_score("trash", b);
        set_score("suspect", c);
        initialize();
        EXPECT_EQ(plugin_state().secure, ea);
        EXPECT_EQ(plugin_state().trash, eb);
        EXPECT_EQ(plugin_state().suspect, ec);
    }
}

TEST_F(PluginTest, AFailingStepLeavesEarlierStepsDoneAndRunsNoLaterOne) {
    initialize();
    plugin_state().mailcount = 5;
    test::spit(base() + "suspect.filters.dat", "untouched");
    test::spit(base() + "secure.filters.txt", "s1\r\n");
    std::remove((base() + "trash.filters.txt").c_str());
    EXPECT_EQ(test::error_text<InitFailure>([] { initialize(); }),
              "initialisation stopped at step 11 (compile trash.filters.txt): File not found");
    EXPECT_EQ(test::slurp(base() + "secure.filters.dat"), "s1\r\n:");
    EXPECT_EQ(test::slurp(base() + "trash.filters.dat"), "");  // emptied before its text list was opened
    EXPECT_EQ(test::slurp(base() + "suspect.filters.dat"), "untouched");
    EXPECT_EQ(log(), "");  // reset, and no banner
    EXPECT_EQ(plugin_state().mailcount, 5);
    // Finalisation empties the lists this initialisation wrote, and no other.
    finalize();
    EXPECT_EQ(test::slurp(base() + "secure.filters.dat"), "");
    EXPECT_EQ(test::slurp(base() + "suspect.filters.dat"), "untouched");
}

TEST_F(PluginTest, AFailureAtTheSettingsStopsThere) {
    test::spit(base() + "secure.filters.dat", "kept");
    set_score("secure", 0);
    test::store_value("Software\\kalvorin\\scores", "trash", platform::kRegSz, std::string("70\0", 3));
    EXPECT_EQ(test::error_text<InitFailure>([] { initialize(); }),
              "initialisation stopped at step 3 (read the scores): Invalid data type for 'trash'");
    EXPECT_EQ(plugin_state().secure, 0);  // the zero rule comes later
    EXPECT_FALSE(test::exists(base() + "plugin.log.txt"));
    EXPECT_EQ(test::slurp(base() + "secure.filters.dat"), "kept");
}

TEST_F(PluginTest, MissingVersionFileStopsBeforeTheLog) {
    std::remove((base() + "version.ini").c_str());
    test::spit(base() + "plugin.log.txt", "kept\r\n");
    EXPECT_THROW(initialize(), InitFailure);
    EXPECT_EQ(plugin_state().basefolder, base());
    EXPECT_EQ(plugin_state().logfile, "");
    EXPECT_EQ(log(), "kept\r\n");
    // Another host's compiled list in the same folder outlives this one's finalisation.
    test::spit(base() + "trash.filters.dat", "theirs");
    finalize();
    EXPECT_EQ(test::slurp(base() + "trash.filters.dat"), "theirs");
}

TEST_F(PluginTest, FinalizeEmptiesTheCompiledListsOnly) {
    test::spit(base() + "secure.filters.txt", "x\r\n");
    initialize();
    finalize();
    for (const char* name : kListNames) {
        EXPECT_TRUE(test::exists(base() + name + ".filters.dat"));
        EXPECT_EQ(test::slurp(base() + name + ".filters.dat"), "");
    }
    EXPECT_EQ(test::slurp(base() + "secure.filters.txt"), "x\r\n");
    EXPECT_EQ(log(), "K A L V O R I  L O G  F I L E\r\n");
}

// A host whose parts and behaviour a test scripts; it records every call.
struct ScriptedHost {
    struct Call {
        std::int32_t part;
        bool with_buffer;
        std::int32_t size;
    };
    std::map<std::int32_t, std::string> parts;
    std::function<std::int32_t(std::int32_t part, char* buf, std::int32_t size)> data_override;
    std::vector<Call> calls;

    // The host's calling convention: stdcall on 32-bit Windows.
    static std::int32_t KALVORIN_STDCALL callback(HostArg arg, std::int32_t part, char* buf, std::int32_t size) {
        auto* self = reinterpret_cast<ScriptedHost*>(arg);
        self->calls.push_back({part, buf != nullptr, size});
        const std::string& text = self->parts[part];
        if (buf == nullptr) return static_cast<std::int32_t>(text.size());
        if (self->data_override) return self->data_override(part, buf, size);
        const auto n = std::min<std::int32_t>(size, static_cast<std::int32_t>(text.size()));
        std::memcpy(buf, text.data(), static_cast<std::size_t>(n));
        return n;
    }
};

TEST_F(PluginTest, TheBaseFolderIsHeldFromInitialisationToFinalisation) {
    test::set_env("KALVORIN_LOCK_WAIT", "0");
    initialize();
    initialize();  // does not wait on its own lock
    EXPECT_FALSE(platform::FileLock::acquire(base() + "plugin.lock", {}));
    finalize();
    EXPECT_TRUE(platform::FileLock::acquire(base() + "plugin.lock", {}));
    test::unset_env("KALVORIN_LOCK_WAIT");
}

// Whoever owns a folder above the base folder can move it away in the middle
// of a run and put another in its place: between two messages, or while the
// host hands over a message's parts. A message that began before is scored
// in the folder opened, and the messages after are not scored; nothing, no
// log line and no list, goes into the folder put there.
TEST_F(PluginTest, AFolderPutInPlaceOfTheBaseFolderIsNeverUsed) {
    const std::string folder = base().substr(0, base().size() - 1);
    const std::string why = "the base folder " + base() +
                            " was moved or replaced after initialisation; no message is scored until the next "
                            "initialisation";
    struct Case {
        bool in_a_message;
        std::vector<std::int32_t> scores;
    };
    for (const Case& c : {Case{false, {-1000, 0, 0}}, Case{true, {-1000, -1000, 0}}}) {
        SCOPED_TRACE(c.in_a_message ? "while a message is scored" : "between messages");
        const std::string away = tmp_ / (c.in_a_message ? "away-in" : "away");
        test::spit(base() + "secure.filters.txt", "snder=#bob#\r\n");
        initialize();
        std::error_code moved;
        const auto swap = [&] {
            std::filesystem::rename(folder, away, moved);
            if (moved) return;
            test::make_dir(folder);
            test::spit(base() + "version.ini", "1.0\r\n");
            test::spit(base() + "trash.filters.txt", "snder=#bob#\r\n");
#ifndef _WIN32
            EXPECT_EQ(::chown(folder.c_str(), test::kOtherAccount, 0), 0);
#endif
        };
        ScriptedHost host;
        host.parts = {{kPartSender, "bob"}, {kPartBody, "a private body"}};
        testing::internal::CaptureStderr();
        std::vector<std::int32_t> scores;
        for (int message = 0; message < 3; ++message) {
            if (message == 1 && !c.in_a_message) swap();
            host.data_override = [&](std::int32_t part, char* buf, std::int32_t size) {
                if (message == 1 && c.in_a_message && part == kPartBody) swap();
                const std::string& text = host.parts[part];
                std::memcpy(buf, text.data(), std::min<std::size_t>(static_cast<std::size_t>(size), text.size()));
                return static_cast<std::int32_t>(text.size());
            };
            scores.push_back(get_spam_score(reinterpret_cast<HostArg>(&host), &ScriptedHost::callback));
        }
        const std::string told = testing::internal::GetCapturedStderr();
#ifdef _WIN32
        // Windows keeps a folder that is held open where it is.
        if (moved) {
            finalize();
            continue;
        }
#endif
        ASSERT_FALSE(moved) << moved.message();
        EXPECT_EQ(scores, c.scores);
        EXPECT_EQ(told, "Kalvorin: scoring stopped: " + why + "\n");
        EXPECT_EQ(test::error_text<EInOutError>([] { finalize(); }), why);
        std::vector<std::string> put_there;
        for (const auto& entry : std::filesystem::directory_iterator(folder))
            put_there.push_back(entry.path().filename().string());
        std::sort(put_there.begin(), put_there.end());
        EXPECT_EQ(put_there, (std::vector<std::string>{"trash.filters.txt", "version.ini"}));
        // The folder opened holds the account of each message scored.
        const std::string held_log = test::slurp(away + test::kSep + "plugin.log.txt");
        std::size_t accounts = 0;
        for (std::size_t at = 0; (at = held_log.find("|Final Score : -1000\r\n", at)) != std::string::npos; ++at)
            ++accounts;
        EXPECT_EQ(accounts, c.in_a_message ? 2u : 1u);
        EXPECT_EQ(test::slurp(away + test::kSep + "secure.filters.dat"), "snder=#bob#\r\n:");
        std::filesystem::remove_all(folder);
        std::filesystem::rename(away, folder);
    }
}

class GetPartTest : public PluginTest {
protected:
    void SetUp() override {
        PluginTest::SetUp();
        initialize();
    }
    std::string fetch(ScriptedHost& host, std::int32_t part) {
        return get_part(reinterpret_cast<HostArg>(&host), &ScriptedHost::callback, part);
    }
};

TEST_F(GetPartTest, TheDataCallOffersTheAnnouncedLength) {
    ScriptedHost host;
    host.parts[kPartHeader] = std::string(80, 'h');
    host.parts[kPartBody] = std::string(10, 'b');
    EXPECT_EQ(fetch(host, kPartHeader), std::string(80, 'h'));
    EXPECT_EQ(fetch(host, kPartBody), std::string(10, 'b'));
    ASSERT_EQ(host.calls.size(), 4u);
    EXPECT_EQ(host.calls[1].size, 80);
    EXPECT_EQ(host.calls[3].size, 10);
    EXPECT_EQ(log(), "K A L V O R I  L O G  F I L E\r\nIDX: 100000 I       : 80\r\nIDX: 100001 I       : 10\r\n");
}

TEST_F(GetPartTest, RoomTheHostClaimsButDoesNotFillIsZeros) {
    ScriptedHost host;
    host.parts[kPartHeader] = std::string(80, 'h');
    fetch(host, kPartHeader);
    host.parts[kPartBody] = std::string(10, 'b');
    host.data_override = [](std::int32_t, char* b, std::int32_t size) {
        std::memcpy(b, "abc", 3);
        return size;
    };
    EXPECT_EQ(fetch(host, kPartBody), std::string("abc\0\0\0\0\0\0\0", 10));
}

TEST_F(GetPartTest, AnEmptyPartHasNoSecondCallAndNoLogLine) {
    ScriptedHost host;
    EXPECT_EQ(fetch(host, kPartSender), "");
    EXPECT_EQ(host.calls.size(), 1u);
    EXPECT_EQ(log(), "K A L V O R I  L O G  F I L E\r\n");
}

TEST_F(GetPartTest, ACallbackThatThrowsLeavesThePartEmpty) {
    ScriptedHost host;
    host.parts[kPartBody] = "body";
    host.data_override = [](std::int32_t, char*, std::int32_t) -> std::int32_t { throw std::runtime_error("boom"); };
    EXPECT_EQ(fetch(host, kPartBody), "");
}

TEST_F(GetPartTest, AClaimBeyondTheCapacityTakesTheCapacity) {
    ScriptedHost host;
    host.parts[kPartBody] = "12345";
    host.data_override = [](std::int32_t, char* b, std::int32_t size) {
        std::memset(b, 'x', static_cast<std::size_t>(size));
        return size + 1000;
    };
    EXPECT_EQ(fetch(host, kPartBody), "xxxxx");
    EXPECT_NE(log().find("IDX: 100001 I       : 1005\r\n"), std::string::npos);
}

TEST_F(GetPartTest, BytesAreKeptAsTheyCome) {
    ScriptedHost host;
    host.parts[kPartRawMessage] = std::string("a\0b\r\n\xE9 ", 7);
    EXPECT_EQ(fetch(host, kPartRawMessage), std::string("a\0b\r\n\xE9 ", 7));
}

TEST_F(GetPartTest, The50000ByteCapFollowsTheSetting) {
    ScriptedHost host;
    for (const auto& [size, capped] : {std::pair{50000u, 50000u}, {50001u, 50000u}, {60000u, 50000u}}) {
        host.parts[kPartBody] = std::string(size, 'b');
        EXPECT_EQ(fetch(host, kPartBody).size(), capped) << size;
    }
    host.parts[kPartBody] = std::string(1000000, 'b');
    EXPECT_LT(fetch(host, kPartBody).capacity(), 100000u);  // the rest of its room is let go
    plugin_state().up50kb = false;
    EXPECT_EQ(fetch(host, kPartBody).size(), 1000000u);
}

class ScoringTest : public GetPartTest {
protected:
    std::int32_t score(ScriptedHost& host) { return get_spam_score(reinterpret_cast<HostArg>(&host), &ScriptedHost::callback); }
};

// Each part is fetched by its number, tested under its own keyword (the
// trash list, which tests them all, would decide otherwise) and dumped in
// its place, its text under its banner.
TEST_F(ScoringTest, EachPartReachesItsKeywordAndItsPlaceInTheDump) {
    std::string every;
    for (const PartFacts& part : kParts) every += (every.empty() ? "" : "+") + std::string(part.keyword) + "=#mark#";
    test::spit(base() + "trash.filters.txt", every + "\r\n");
    for (const PartFacts& part : kParts) {
        SCOPED_TRACE(std::string(part.keyword));
        test::spit(base() + "secure.filters.txt", std::string(part.keyword) + "=#mark#\r\n");
        initialize();
        ScriptedHost host;
        host.parts[part.number] = "mark";
        EXPECT_EQ(score(host), plugin_state().secure);
        const std::string l = log();
        const std::string banner(part.banner);
        EXPECT_NE(l.find(banner + "\r\n" + banner + "\r\nmark\r\n"), std::string::npos) << l;
        std::size_t before = 0;
        for (const PartFacts& other : kParts)
            before += other.dump_position < part.dump_position && l.find(other.banner) < l.find(banner);
        EXPECT_EQ(before, part.dump_position) << l;
    }
}

// A log size that the window refuses counts as the default: the log is
// emptied every 9 messages, and 12 messages leave the last 4 of them.
TEST_F(ScoringTest, ALogSizeOutsideTheRangeCountsAsTheDefault) {
    const std::pair<std::int32_t, std::size_t> cases[] = {{1, 1},  {3, 1},  {1000, 12}, {9, 4},
                                                          {0, 4}, {-5, 4}, {1001, 4},  {INT32_MAX, 4}};
    for (const auto& [stored, kept] : cases) {
        initialize();
        plugin_state().logsize = stored;
        ScriptedHost host;
        for (int i = 0; i < 12; ++i) score(host);
        const std::string l = log();
        std::size_t summaries = 0;
        for (std::size_t at = 0; (at = l.find("|RESUME:", at)) != std::string::npos; ++at) ++summaries;
        EXPECT_EQ(summaries, kept) << stored;
    }
}

// After finalisation the base folder's lock is gone: nothing is scored and
// nothing written until the next initialisation.
TEST_F(ScoringTest, AfterFinalisationNothingIsScoredOrWrittenUntilTheNextInitialisation) {
    test::spit(base() + "secure.filters.txt", "snder=#bob#\r\n");
    initialize();
    finalize();
    const std::string before = log();
    ScriptedHost host;
    host.parts[kPartSender] = "bob";
    host.parts[kPartRawMessage] = "<img src=\"http://x\">";
    plugin_state().extimg = ExtImgRule::suspect;
    EXPECT_EQ(score(host), 0);
    EXPECT_EQ(log(), before);
    initialize();
    EXPECT_EQ(score(host), -1000);
    finalize();
}

TEST_F(ScoringTest, ACompiledListMissingWhileScoringEndsTheMessage) {
    test::spit(base() + "secure.filters.txt", "snder=#bob#\r\n");
    initialize();
    std::remove((base() + "trash.filters.dat").c_str());
    ScriptedHost host;
    host.parts[kPartSender] = "bob";
    testing::internal::CaptureStderr();
    EXPECT_EQ(score(host), -1000);
    EXPECT_EQ(score(host), -1000);
    // Told once a session.
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "Kalvorin: scoring stopped: File not found\n");
    const std::string l = log();
    // The log says what ended the message, then sums it up.
    const std::string tail =
        "get_score(1)\r\ntrash.filters.dat\r\nScoring stopped: File not found\r\n+---------------------------\r\n"
        "|RESUME:\r\n|Sender      : bob\r\n|Subject     : :\r\n|Final Score : -1000\r\n+---------------------------\r\n";
    EXPECT_EQ(l.substr(l.size() - tail.size()), tail);
    host.parts[kPartSender] = "eve";
    EXPECT_EQ(score(host), 0);
}

// The log names a line too long to take apart by its length, once per
// message, and says why the pass stopped there.
TEST_F(ScoringTest, ALineTooLongIsLoggedByItsLengthAndStopsTheMessage) {
    const std::string longer = "snder=#eve#+" + std::string(kLongestLine, ' ') + "0";
    test::spit(base() + "secure.filters.txt", longer + "\r\nsnder=#bob#\r\n");
    initialize();
    ScriptedHost host;
    host.parts[kPartSender] = "bob";
    testing::internal::CaptureStderr();
    EXPECT_EQ(score(host), 0);
    testing::internal::GetCapturedStderr();
    const std::string l = log();
    EXPECT_NE(l.find("secure.filters.dat\r\n<a line of 65549 bytes>\r\nScoring stopped: The filter line of 65549 "
                     "bytes is longer than the 65536 bytes a line may have\r\n"),
              std::string::npos);
    EXPECT_LT(l.size(), 4096u);
    finalize();
}

// A pattern too costly for one message's text passes its line over for that
// message alone: the pass goes on, and the log says which line. A pattern
// that does not compile still ends every message that reaches it.
TEST_F(ScoringTest, ACostlyPatternPassesItsLineOverAndTheNextLineDecides) {
    const std::string costly = "mbody=%(?:\\w+ )+INVOICE NO%";
    std::string flood;
    for (int i = 0; i < 12000; ++i) flood += "AB ";
    struct Case {
        std::string secure, body;
        std::int32_t score;
        const char* logged;  // a line the log holds
    };
    const Case cases[] = {
        {costly, flood + "@ INVOICE NO", 1000,
         "passed over: the pattern is too costly for this text (secure.filters.dat, line 2: " },
        {costly, "AB CD INVOICE NO", -1000, "get_score(1)"},
        {"mbody=%(INVOICE%", "AB CD INVOICE NO", 0, "Scoring stopped: TRegExpr(comp): ParseReg Unmatched ()"},
    };
    for (const Case& c : cases) {
        test::spit(base() + "secure.filters.txt", "snder=#nobody#\r\n" + c.secure + "\r\nsnder=#nobody#\r\n");
        test::spit(base() + "trash.filters.txt", "sbjct=#viagra#\r\n");
        initialize();
        ScriptedHost host;
        host.parts[kPartSubject] = "cheap viagra";
        host.parts[kPartBody] = c.body;
        testing::internal::CaptureStderr();
        EXPECT_EQ(score(host), c.score) << c.secure;
        testing::internal::GetCapturedStderr();
        const std::string l = log();
        EXPECT_NE(l.find(c.logged), std::string::npos) << c.secure;
        if (c.score == 1000) {
            EXPECT_NE(l.find(c.secure + ")\r\nsnder=#nobody#\r\n"), std::string::npos);
        }
        finalize();
    }
}

// However many and long the lines a message meets, its trace stops at its
// size with one line that says so; the lists' own lines and the score go on.
TEST_F(ScoringTest, AMessagesTraceIsCutAtItsSize) {
    std::string lists;
    const std::string line = "snder=#nobody#+sbjct=#" + std::string(30000, 'x') + "#";
    for (int i = 0; i < 40; ++i) lists += line + "\r\n";
    test::spit(base() + "secure.filters.txt", lists + "snder=#bob#\r\n");
    initialize();
    ScriptedHost host;
    host.parts[kPartSender] = "bob";
    for (int message = 0; message < 2; ++message) {
        EXPECT_EQ(score(host), -1000);
        const std::string l = log();
        std::size_t traced = 0, cuts = 0;
        for (std::size_t at = 0, end; (end = l.find("\r\n", at)) != std::string::npos; at = end + 2) {
            if (l.compare(at, 3, "#- ") == 0) traced += end + 2 - at;
            if (l.compare(at, 41, "#- the trace of this message is cut here:") == 0) ++cuts;
        }
        EXPECT_EQ(cuts, 1u);
        EXPECT_LE(traced, kLongestTrace + 2 * line.size());
        EXPECT_GE(traced, kLongestTrace);
        EXPECT_NE(l.find("snder=#bob#\r\nget_score(1)\r\n"), std::string::npos);
        test::spit(base() + "plugin.log.txt", "");
    }
    finalize();
}

// A 1 MB tmpfs over the folder for the object's lifetime; false when the
// system refuses the mount (or no folder is given). Windows has no such
// mount: there it is always false.
class SmallDisk {
public:
    explicit SmallDisk(std::string folder) : folder_(std::move(folder)) {
#ifndef _WIN32
        mounted_ = ::mount("tmpfs", folder_.c_str(), "tmpfs", 0, "size=1m") == 0;
#endif
    }
    ~SmallDisk() {
#ifndef _WIN32
        if (mounted_) ::umount(folder_.c_str());
#endif
    }
    explicit operator bool() const { return mounted_; }

private:
    std::string folder_;
    bool mounted_ = false;
};

// Faults of the disk met by a session of three messages. A fault of the log
// alone changes no score; a fault of the lists is told and ends the messages
// it meets with the score reached so far; no file is left half-written.
TEST_F(ScoringTest, DiskFaults) {
    enum When { BeforeInitialisation, AfterInitialisation, AfterTheFirstMessage };
    struct Case {
        const char* name;
        When when;
        std::function<void(const std::string& base)> fault;
        std::vector<std::int32_t> scores;
        std::string log_error, stop_error;  // what standard error tells, if anything
        bool small_disk = false;            // the base folder is a 1 MB tmpfs
    };
    const auto fill = [](const std::string& b) { test::spit(b + "filler", std::string(2 << 20, 'x')); };
    const auto replace_secure = [](const std::string& b) {
        test::spit(b + "new.dat", "sbjct=#win#\r\n:");
        // Replaces the list on Windows too, where std::rename keeps a file in place.
        std::filesystem::rename(b + "new.dat", b + "secure.filters.dat");
    };
    const Case cases[] = {
        {"none", AfterInitialisation, [](const std::string&) {}, {-1000, 1000, 0}, "", ""},
        {"the log is a folder", BeforeInitialisation,
         [](const std::string& b) { test::make_dir(b + "plugin.log.txt"); }, {-1000, 1000, 0}, "Access denied", ""},
#ifndef _WIN32
        // Windows deletes no folder that holds an open file, as the
        // plug-in's lock is while it is initialised.
        {"the base folder is deleted", AfterTheFirstMessage,
         [](const std::string& b) { std::filesystem::remove_all(b); }, {-1000, 0, 0}, "Path not found",
         "Path not found"},
#endif
        // A message is scored by the list as it is when the message comes.
        {"a compiled list is replaced", AfterTheFirstMessage, replace_secure, {-1000, -1000, 0}, "", ""},
        {"the disk is full", AfterInitialisation, fill, {-1000, 1000, 0}, "Disk full", "", true},
    };
#ifdef _WIN32
    finalize();  // its lock goes, so that the folder can be deleted
#endif
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::filesystem::remove_all(base());
        test::make_dir(base());
        SmallDisk disk(c.small_disk ? base() : std::string());
        // The last case: nothing after it is left out.
        if (c.small_disk && !disk) GTEST_SKIP() << "a tmpfs cannot be mounted here";
        test::spit(base() + "version.ini", "1.0\r\n");
        test::spit(base() + "secure.filters.txt", "snder=#friend#\r\n");
        test::spit(base() + "trash.filters.txt", "sbjct=#win#\r\n");
        test::spit(base() + "suspect.filters.txt", "");
        testing::internal::CaptureStderr();
        if (c.when == BeforeInitialisation) c.fault(base());
        initialize();
        if (c.when == AfterInitialisation) c.fault(base());
        std::vector<std::int32_t> scores;
        for (const auto& [part, text] : {std::pair{kPartSender, "friend"}, {kPartSubject, "win"}, {kPartBody, "x"}}) {
            ScriptedHost host;
            host.parts[part] = text;
            host.parts[kPartAttachments] = std::string(8192, 'a');  // more than a page of the log
            scores.push_back(score(host));
            if (c.when == AfterTheFirstMessage && scores.size() == 1) c.fault(base());
        }
        const std::string told = testing::internal::GetCapturedStderr();
        EXPECT_EQ(scores, c.scores);
        std::string expected;
        if (!c.log_error.empty())
            expected += "Kalvorin: the log " + base() + "plugin.log.txt cannot be written: " + c.log_error +
                        "; scoring goes on without it\n";
        if (!c.stop_error.empty()) expected += "Kalvorin: scoring stopped: " + c.stop_error + "\n";
        EXPECT_EQ(told, expected);
        if (std::filesystem::is_regular_file(base() + "plugin.log.txt")) {
            const std::string l = log();
            EXPECT_EQ(l.substr(l.size() - 2), "\r\n");  // whole lines only
        }
        if (test::exists(base())) {
            EXPECT_NO_THROW(finalize());
        } else {
            EXPECT_EQ(test::error_text<EInOutError>([] { finalize(); }), "Path not found");
            EXPECT_FALSE(test::exists(base()));  // nothing made it again
        }
    }
}

#ifndef _WIN32
// POSIX by nature: file modes, sticky folders, links and pipes.
// ------------------------------------------------------------------ hostile files in the base folder

// In a folder that is sticky and this account's own, other accounts may add
// names: a list, its copy or the log may be found taken by their file, a
// link or a pipe. A list stops the initialisation; the log is told and done
// without. Nothing is read through such a name, written into it or waited on.
TEST_F(PluginTest, APlantedFileIsNeitherFollowedNorWrittenNorWaitedOn) {
    ASSERT_EQ(::chmod(base().c_str(), 01777), 0);
    const std::string outside = tmp_ / "outside.txt", link = "Is a symbolic link, not followed",
                      pipe = "Not a regular file", theirs = "Owned by another account";
    struct Case {
        std::string file, error;
    };
    for (const Case& c : {Case{"secure.filters.txt", link}, Case{"secure.filters.txt", pipe},
                          Case{"secure.filters.txt", theirs}, Case{"secure.filters.dat", link},
                          Case{"secure.filters.dat", pipe}, Case{"plugin.log.txt", link},
                          Case{"plugin.log.txt", pipe}, Case{"plugin.log.txt", theirs}}) {
        SCOPED_TRACE(c.file + ": " + c.error);
        plugin_state() = PluginState();
        test::spit(outside, "outside\r\n");
        test::spit(base() + "secure.filters.txt", "snder=#bob#\r\n");
        const std::string name = base() + c.file;
        std::filesystem::remove(name);
        if (c.error == link) std::filesystem::create_symlink(outside, name);
        if (c.error == pipe) test::make_fifo(name);
        if (c.error == theirs) {
            test::spit(name, "theirs\r\n");
            ASSERT_EQ(::chown(name.c_str(), test::kOtherAccount, 0), 0);
        }
        std::optional<test::PipeRescue> rescue;
        if (c.error == pipe) rescue.emplace(name);

        testing::internal::CaptureStderr();
        const std::string error = test::error_text<InitFailure>([] { initialize(); });
        ScriptedHost host;
        host.parts[kPartSender] = "bob";
        host.parts[kPartBody] = "a private body";
        const std::int32_t score = get_spam_score(reinterpret_cast<HostArg>(&host), &ScriptedHost::callback);
        const std::string told = testing::internal::GetCapturedStderr();
        EXPECT_NO_THROW(finalize());
        EXPECT_FALSE(rescue && rescue->waited()) << "waited on the pipe";
        if (c.file == "plugin.log.txt") {
            EXPECT_EQ(error, "no error");
            EXPECT_EQ(score, -1000);
            const auto said = [&](const std::string& why) {
                return "Kalvorin: the log " + name + " cannot be written: " + why + "; scoring goes on without it\n";
            };
            // Where the system protects regular files in sticky folders, it
            // refuses to create over another account's file before we look.
            EXPECT_TRUE(told == said(c.error) || (c.error == theirs && told == said("Access denied"))) << told;
        } else {
            EXPECT_EQ(error, "initialisation stopped at step 11 (compile secure.filters.txt): " + c.error);
        }
        EXPECT_EQ(test::slurp(outside), "outside\r\n");
        if (c.error == theirs) {
            EXPECT_EQ(test::slurp(name), "theirs\r\n");
        }
        std::filesystem::remove(name);
    }
}

// The log holds the mail: it and the lists' copies are the owner's alone, also
// when an earlier run left them readable to others.
TEST_F(PluginTest, TheLogAndTheCompiledListsAreTheOwnersAlone) {
    const mode_t old_mask = ::umask(022);
    test::spit(base() + "plugin.log.txt", "old\r\n");
    ASSERT_EQ(::chmod((base() + "plugin.log.txt").c_str(), 0644), 0);
    initialize();
    ::umask(old_mask);
    for (const char* name : {"plugin.log.txt", "secure.filters.dat", "plugin.lock"}) {
        struct stat st {};
        ASSERT_EQ(::stat((base() + name).c_str(), &st), 0) << name;
        EXPECT_EQ(st.st_mode & 0777, 0600u) << name;
    }
    finalize();
}

// Finalisation empties the copies it wrote through their names, and stops at
// a name that by then leads to another file too.
TEST_F(PluginTest, FinalisationNeverEmptiesAFileAnotherNameLeadsTo) {
    using Put = void (*)(const std::filesystem::path&, const std::filesystem::path&);
    const std::pair<Put, std::string> cases[] = {
        {std::filesystem::create_symlink, "Is a symbolic link, not followed"},
        {std::filesystem::create_hard_link, "Has other names (hard links), not written"},
    };
    for (const auto& [put, expected] : cases) {
        test::spit(tmp_ / "other.txt", "other\r\n");
        initialize();
        std::filesystem::remove(base() + "secure.filters.dat");
        put(tmp_ / "other.txt", base() + "secure.filters.dat");
        EXPECT_EQ(test::error_text<EInOutError>([] { finalize(); }), expected);
        EXPECT_EQ(test::slurp(tmp_ / "other.txt"), "other\r\n");
        std::filesystem::remove(base() + "secure.filters.dat");
    }
}

// Others who may write the folder could put their lists or links there: it is
// refused before anything is made in it, unless it is sticky and this
// account's own, where others can replace none of its files.
TEST_F(PluginTest, ABaseFolderOthersCanWriteIsRefusedUnlessStickyAndOwn) {
    const std::string writable = "can be written by other accounts; let only its owner write it (chmod go-w), or "
                                 "make it sticky and your own",
                      theirs = "belongs to another account; use a folder of your own";
    struct Case {
        mode_t mode;
        uid_t owner;
        std::string refusal;
    };
    for (const Case& c : {Case{0777, 0, writable}, Case{0775, 0, writable}, Case{01777, test::kOtherAccount, writable},
                          Case{0755, test::kOtherAccount, theirs}, Case{01777, 0, ""}, Case{0755, 0, ""}}) {
        SCOPED_TRACE(testing::Message() << std::oct << c.mode << " owned by " << std::dec << c.owner);
        std::filesystem::remove(base() + "plugin.lock");
        ASSERT_EQ(::chown(base().c_str(), c.owner, 0), 0);
        ASSERT_EQ(::chmod(base().c_str(), c.mode), 0);
        EXPECT_EQ(test::error_text<InitFailure>([] { initialize(); }),
                  c.refusal.empty() ? "no error"
                                    : "initialisation stopped at step 1 (check the base folder): the folder " +
                                          base() + " " + c.refusal);
        EXPECT_EQ(test::exists(base() + "plugin.lock"), c.refusal.empty());
        finalize();
    }
    ASSERT_EQ(::chown(base().c_str(), 0, 0), 0);
}

// Whoever owns a folder above the base folder, or may write it, can put
// another folder in the base folder's place: such a base folder is refused.
// A sticky folder (/tmp) others may write is taken when the folder below it
// is this account's.
TEST_F(PluginTest, TheFoldersAboveTheBaseFolderAreThisAccountsAlone) {
    const std::string above = tmp_ / "above", theirs = "belongs to another account, who could replace the base "
                                                       "folder; use a folder whose folders above are yours",
                      writable = "can be written by other accounts, who could replace the base folder; let only its "
                                 "owner write it (chmod go-w)";
    test::make_dir(above);
    std::filesystem::rename(base(), above + "/base");
    set_basefolder_setting(above + "/base");
    struct Case {
        mode_t mode;
        uid_t owner;
        std::string refusal;
    };
    for (const Case& c : {Case{0755, test::kOtherAccount, theirs}, Case{01777, test::kOtherAccount, theirs},
                          Case{0777, 0, writable}, Case{0770, 0, writable}, Case{01777, 0, ""}, Case{0755, 0, ""}}) {
        SCOPED_TRACE(testing::Message() << std::oct << c.mode << " owned by " << std::dec << c.owner);
        ASSERT_EQ(::chown(above.c_str(), c.owner, 0), 0);
        ASSERT_EQ(::chmod(above.c_str(), c.mode), 0);
        EXPECT_EQ(test::error_text<InitFailure>([] { initialize(); }),
                  c.refusal.empty() ? "no error"
                                    : "initialisation stopped at step 1 (check the base folder): the folder " + above +
                                          " above the base folder " + c.refusal);
        finalize();
    }
}

#endif  // _WIN32

TEST(Uninitialised, ExportsDoNotFailBeforeInitialisation) {
    plugin_state() = PluginState();
    ScriptedHost host;
    host.parts[kPartSubject] = "s";
    EXPECT_EQ(get_spam_score(reinterpret_cast<HostArg>(&host), &ScriptedHost::callback), 0);
    EXPECT_EQ(get_spam_score(0, nullptr), 0);
    EXPECT_EQ(plugin_name(), "Kalvorin in ");
    test::TempDir cwd;
    const auto old = std::filesystem::current_path();
    std::filesystem::current_path(cwd.path());
    finalize();
    std::filesystem::current_path(old);
    EXPECT_TRUE(std::filesystem::is_empty(cwd.path()));
}

}  // namespace
}  // namespace kalvorin
