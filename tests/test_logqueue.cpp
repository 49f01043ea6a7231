// The log queue: within a round each file gets the bytes that line-by-line
// appends would give it, in their order, even when it is deleted or reset
// between flushes.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>
#include <vector>

#include "CodigoComun/LogQueue.h"
#include "platform/errors.h"
#include "support/TestSupport.h"

namespace kalvorin {
namespace {

class LogQueueTest : public ::testing::Test {
protected:
    test::TempDir tmp_;
    const std::string a_ = tmp_ / "a.log";
    const std::string b_ = tmp_ / "b.log";

    // The same script of writes, in a round or line by line.
    std::string script(bool in_round) {
        std::remove(a_.c_str());
        std::remove(b_.c_str());
        std::optional<LogRound> round;
        if (in_round) round.emplace();
        LogQueue& q = log_queue();
        q.append(a_, "one");
        q.append(a_, "");
        q.append(b_, "#- elsewhere");
        q.append(a_, "two");
        q.append(a_, std::string(100000, 'L'));  // a message part: written at once, in its place
        q.append(a_, "after");
        q.flush();
        std::remove(a_.c_str());  // someone deletes the log between two rounds
        q.append(a_, "three");
        q.append(a_, "erased by the reset");
        q.reset(a_);
        q.append(a_, "four");
        q.append(b_, std::string(100000, 'M'));
        q.append(b_, "#- again");
        round.reset();
        return test::slurp(a_) + "|" + test::slurp(b_);
    }
};

TEST_F(LogQueueTest, ARoundWritesWhatLineByLineAppendsWrite) {
    const std::string line_by_line = script(false);
    EXPECT_EQ(line_by_line, "four\r\n|#- elsewhere\r\n" + std::string(100000, 'M') + "\r\n#- again\r\n");
    EXPECT_EQ(script(true), line_by_line);
}

// Short scripts where a round could reorder or lose lines; each must leave
// the files as line-by-line appends do.
TEST_F(LogQueueTest, EachFileKeepsItsLinesInOrderThroughLongLinesAndResets) {
    const std::string part(100000, 'P');
    struct Case {
        const char* name;
        std::function<void(LogQueue&)> writes;
        std::string a, b;  // what the files hold after
    };
    const Case cases[] = {
        {"a long line after lines waiting for its file",
         [&](LogQueue& q) {
             q.append(a_, "before");
             q.append(a_, part);
             q.append(a_, "after");
         },
         "before\r\n" + part + "\r\nafter\r\n", ""},
        {"a reset of one file while lines wait for another",
         [&](LogQueue& q) {
             q.append(b_, "kept");
             q.reset(a_);
             q.append(a_, "new");
         },
         "new\r\n", "kept\r\n"},
        {"a long line for one file while lines wait for another",
         [&](LogQueue& q) {
             q.append(b_, "first");
             q.append(a_, part);
             q.append(b_, "second");
         },
         part + "\r\n", "first\r\nsecond\r\n"},
    };
    for (const Case& c : cases) {
        for (const bool in_round : {false, true}) {
            SCOPED_TRACE(std::string(c.name) + (in_round ? ", in a round" : ", line by line"));
            std::remove(a_.c_str());
            std::remove(b_.c_str());
            {
                std::optional<LogRound> round;
                if (in_round) round.emplace();
                c.writes(log_queue());
            }
            EXPECT_TRUE(test::slurp(a_) == c.a) << "a.log is not as expected";
            EXPECT_EQ(test::slurp(b_), c.b);
        }
    }
}

TEST_F(LogQueueTest, ARoundHoldsNoMoreThanAMegabyte) {
    LogRound round;
    const std::string line(60000, 'x');
    std::uint64_t written = 0;
    for (int i = 0; i < 40 && written == 0; ++i) {
        log_queue().append(a_, line);
        written = test::exists(a_) ? test::slurp(a_).size() : 0;
    }
    EXPECT_GT(written, 1000000u);
    EXPECT_LE(written, 1100000u);
}

// A line built in place takes its turn among the others, in a round or not;
// one too long to wait goes after those waiting; one whose building fails
// leaves no part of itself.
TEST_F(LogQueueTest, ALineBuiltInPlaceIsWrittenAsAnAppendedOne) {
    const std::string long_text(70000, 'B');
    for (const bool in_round : {false, true}) {
        std::remove(a_.c_str());
        {
            std::optional<LogRound> round;
            if (in_round) round.emplace();
            LogQueue& q = log_queue();
            q.append(a_, "one");
            q.append_built(a_, [](std::string& out) { out.append("#- ").append("built"); });
            q.append_built(a_, [&](std::string& out) { out.append(long_text); });
            EXPECT_THROW(q.append_built(a_, [](std::string& out) {
                out.append("half");
                throw std::runtime_error("no");
            }), std::runtime_error);
            q.append(a_, "two");
        }
        EXPECT_EQ(test::slurp(a_), "one\r\n#- built\r\n" + long_text + "\r\ntwo\r\n") << in_round;
    }
}

TEST_F(LogQueueTest, AFailedFlushRaisesAndDropsItsLines) {
    LogRound round;
    log_queue().append(tmp_ / "missing/x.log", "lost");
    EXPECT_THROW(log_queue().flush(), EInOutError);
    log_queue().append(a_, "kept");
    log_queue().flush();
    EXPECT_EQ(test::slurp(a_), "kept\r\n");
}

TEST_F(LogQueueTest, AHandlerHearsOfFailedWritesInsteadOfTheWriter) {
    std::vector<std::string> told;
    log_queue().on_write_failure([&](const EInOutError& e) { told.push_back(e.path() + ": " + e.what()); });
    const std::string lost = tmp_ / "missing/x.log";
    log_queue().append(lost, "line by line");
    {
        LogRound round;
        log_queue().append(lost, "in a round");
        log_queue().flush();
        log_queue().reset(lost);
    }
    log_queue().on_write_failure({});
    EXPECT_EQ(told, std::vector<std::string>(3, lost + ": Path not found"));
}

#ifndef _WIN32
// The file stays open between the flushes of a round (on POSIX; Windows opens
// it for each), so what happens to its name in between must lead where a
// fresh open would: the lines after go to
// whatever file the name then gives, or fail as opening it would.
TEST_F(LogQueueTest, EachFlushWritesWhereTheNameThenLeads) {
    namespace fs = std::filesystem;
    const std::string old = tmp_ / "old.log";
    struct Case {
        const char* name;
        std::function<void(const std::string& log)> between;
        const char* log_after;  // the log's content after the round; nullptr: the flush fails
        const char* old_after;  // what the file first written holds then ("-": gone)
    };
    const Case cases[] = {
        {"nothing", [](const std::string&) {}, "first\r\nsecond\r\n", "-"},
        {"deleted", [](const std::string& log) { fs::remove(log); }, "second\r\n", "-"},
        {"renamed away",
         [&](const std::string& log) { fs::rename(log, old); }, "second\r\n", "first\r\n"},
        {"renamed over",
         [&](const std::string& log) {
             test::spit(old, "other\r\n");
             fs::rename(old, log);
         },
         "other\r\nsecond\r\n", "-"},
        {"emptied", [](const std::string& log) { test::spit(log, ""); }, "second\r\n", "-"},
        {"made a link",
         [&](const std::string& log) {
             fs::rename(log, old);
             fs::create_symlink(old, log);
         },
         nullptr, "first\r\n"},
        {"given a second name",
         [&](const std::string& log) { fs::create_hard_link(log, old); }, nullptr, "first\r\n"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        fs::remove(a_);
        fs::remove(old);
        {
            LogRound round;
            log_queue().append(a_, "first");
            log_queue().flush();
            c.between(a_);
            log_queue().append(a_, "second");
            if (c.log_after) {
                log_queue().flush();
                EXPECT_EQ(test::slurp(a_), c.log_after);
            } else {
                EXPECT_THROW(log_queue().flush(), EInOutError);
            }
        }
        EXPECT_EQ(fs::exists(old) ? test::slurp(old) : "-", c.old_after);
    }
}

// No file of a round stays open once the round is over.
TEST_F(LogQueueTest, NothingStaysOpenAfterTheRound) {
    namespace fs = std::filesystem;
    const auto open_on_log = [&] {
        int n = 0;
        for (const auto& e : fs::directory_iterator("/proc/self/fd")) {
            std::error_code ec;
            if (fs::read_symlink(e.path(), ec).string().starts_with(a_)) ++n;
        }
        return n;
    };
    {
        LogRound round;
        log_queue().append(a_, "one");
        log_queue().flush();
        log_queue().append(a_, "two");
    }
    EXPECT_EQ(open_on_log(), 0);
    EXPECT_EQ(test::slurp(a_), "one\r\ntwo\r\n");
}
#endif

}  // namespace
}  // namespace kalvorin
