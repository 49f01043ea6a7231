// The messages read ahead on a thread of their own reach the scoring exactly
// as a plain loop over the sources would hand them, and no further ahead than
// the bound.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "host/ReadAhead.h"
#include "host/Sources.h"
#include "support/Planted.h"
#include "support/TestSupport.h"

namespace kalvorin::host {
namespace {

using test::spit;

// Every message of a reading, in turn, to use.
void use_all(ReadAhead& ahead, const std::function<void(const ReadMessage&)>& use) {
    while (const ReadMessage* m = ahead.next()) use(*m);
}

constexpr std::size_t kMaxSize = 64 << 20;

// Takes a message apart into its body alone, and fails on one that says so.
MessageParts body_of(const std::string& raw) {
    if (raw.starts_with("FAIL")) throw std::runtime_error("cannot take apart " + raw);
    MessageParts parts;
    parts[kPartBody] = raw;
    return parts;
}

std::string told(const std::string& label, const std::string& error, const std::function<MessageParts()>& parts) {
    if (!error.empty()) return "error " + error;
    try {
        return label + " = " + parts()[kPartBody];
    } catch (const std::exception& e) {
        return label + " failed " + e.what();
    }
}

TEST(ReadAhead, HandsOnWhatAPlainLoopWouldInTheSameOrder) {
    test::TempDir d;
    spit(d / "a.eml", "first");
    spit(d / "fail.eml", "FAIL here");
    spit(d / "box", "From x\none\n\nFrom y\n" + std::string(300, 'x') + "\n\nFrom z\nthree\n");
    spit(d / "z.eml", "last");
    test::make_dir(d / "notmaildir");
    const std::vector<std::string> sources = {d / "a.eml", d / "missing", d / "box",      d / "fail.eml",
                                              d / "notmaildir", d / "z.eml"};
    constexpr std::size_t kSmall = 100;  // the mbox's second message is above it

    std::vector<std::string> plain;
    for (const auto& source : sources) {
        try {
            for_each_message(source, kSmall, [&](SourceMessage& m) {
                plain.push_back(told(m.label, m.error, [&] { return body_of(m.raw); }));
            });
        } catch (const std::exception& e) {
            plain.push_back("error " + std::string(e.what()));
        }
    }
    std::vector<std::string> ahead;
    ReadAhead reading(sources, kSmall, body_of);
    use_all(reading, [&](const ReadMessage& m) {
        ahead.push_back(told(m.label, m.error, [&] { return m.taken_apart(); }));
    });
    EXPECT_EQ(ahead, plain);
    std::vector<std::string> in_turn;
    read_in_turn(sources, kSmall, body_of, [&](const ReadMessage& m) {
        in_turn.push_back(told(m.label, m.error, [&] { return m.taken_apart(); }));
    });
    EXPECT_EQ(in_turn, plain);
    ASSERT_EQ(ahead.size(), 8u);
    EXPECT_EQ(ahead[0], d / "a.eml" + " = first");
    // The cases are all there: a missing file, a message too big, a failed
    // taking apart, a folder that is no Maildir.
    EXPECT_TRUE(ahead[1].starts_with("error ")) << ahead[1];
    EXPECT_NE(ahead[3].find("larger than"), std::string::npos) << ahead[3];
    EXPECT_NE(ahead[5].find(" failed cannot take apart"), std::string::npos) << ahead[5];
    EXPECT_NE(ahead[6].find("no Maildir"), std::string::npos) << ahead[6];
}

// n message files of the given size, in lines of a hundred bytes.
std::vector<std::string> messages_of(const test::TempDir& d, std::size_t n, std::size_t bytes) {
    std::vector<std::string> sources;
    std::string text(bytes, 'x');
    for (std::size_t at = 99; at < text.size(); at += 100) text[at] = '\n';
    for (std::size_t i = 0; i < n; ++i) {
        sources.push_back(d / ("m" + std::to_string(i)));
        spit(sources.back(), text);
    }
    return sources;
}

struct BoundCase {
    const char* name;
    std::size_t messages;
    std::size_t bytes;
    // Taken apart while the first is still in use: one fewer when the
    // reading filled the room before the first was taken, since the reader
    // then waits for half the room.
    std::size_t least_read, most_read;
};

// Waits until the reader has taken apart n messages, or long enough that it
// never will, then as long again for one too many; gives the count.
std::size_t settled(const std::atomic<std::size_t>& taken, std::size_t n) {
    const auto start = std::chrono::steady_clock::now();
    const auto deadline = start + std::chrono::seconds(10);
    while (taken < n && std::chrono::steady_clock::now() < deadline)
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    std::this_thread::sleep_for(std::chrono::steady_clock::now() - start + std::chrono::milliseconds(50));
    return taken;
}

TEST(ReadAhead, ReadsNoFurtherAheadThanTheBound) {
    const BoundCase cases[] = {
        // In use, kReadAheadCount waiting, one read and waiting for room.
        {"small messages: the count bounds", 2 * kReadAheadCount, 10, kReadAheadCount + 1, kReadAheadCount + 2},
        // 3 MiB each: four wait beside the one in use within 16 MiB.
        {"large messages: the bytes bound", 20, std::size_t{3} << 20, 4 + 2, 4 + 2},
        // Each alone above the bound: none waits while one is in use.
        {"each above the bound", 4, std::size_t{17} << 20, 2, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        test::TempDir d;
        const std::vector<std::string> sources = messages_of(d, c.messages, c.bytes);
        std::atomic<std::size_t> taken{0};
        std::size_t used = 0, read_while_first = 0;
        ReadAhead reading(sources, kMaxSize, [&](const std::string& raw) {
            ++taken;
            return body_of(raw);
        });
        use_all(reading, [&](const ReadMessage& m) {
                EXPECT_EQ(m.taken_apart()[kPartBody].size(), c.bytes);
                if (used++ == 0) read_while_first = settled(taken, c.least_read);
        });
        EXPECT_EQ(used, c.messages);
        EXPECT_GE(read_while_first, c.least_read);
        EXPECT_LE(read_while_first, c.most_read);
    }
}

// Once the room is full the reader goes on only when half of it is free
// again, by count or by bytes, not at each message taken.
TEST(ReadAhead, AFullRoomIsReadIntoAgainOnlyOnceHalfOfItIsFree) {
    struct Case {
        const char* name;
        std::size_t messages, bytes;
        std::size_t least_full;  // taken apart once the room is full, the first in use
        // The takes after the first that still leave less than half the room free.
        std::size_t (*takes_held)(std::size_t full);
        std::size_t refilled;  // taken apart besides once one more is taken
    };
    const Case cases[] = {
        // full - 2 wait, one is in use and one held back; half is 32 waiting.
        {"by count", 4 * kReadAheadCount, 1, kReadAheadCount + 1,
         [](std::size_t full) { return full - 2 - (kReadAheadCount / 2 + 1); }, kReadAheadCount / 2},
        // 3 MiB each: 15 MiB held with the one in use, the sixth held back;
        // 12 and 9 MiB are above half of 16, 6 is not, and three more fit.
        {"by bytes", 10, std::size_t{3} << 20, 6, [](std::size_t) { return std::size_t{2}; }, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        test::TempDir d;
        std::atomic<std::size_t> taken{0};
        ReadAhead reading(messages_of(d, c.messages, c.bytes), kMaxSize, [&](const std::string& raw) {
            ++taken;
            return body_of(raw);
        });
        ASSERT_TRUE(reading.next());
        const std::size_t full = settled(taken, c.least_full);
        for (std::size_t i = 0; i < c.takes_held(full); ++i) ASSERT_TRUE(reading.next());
        std::this_thread::sleep_for(std::chrono::milliseconds(100));
        EXPECT_EQ(taken.load(), full) << "read again with less than half the room free";
        ASSERT_TRUE(reading.next());
        EXPECT_EQ(settled(taken, full + c.refilled), full + c.refilled);
    }
}

// A source that gives its messages slowly, each only once the one before
// has been used and after longer than the user waits for a run, is not held
// up for more to come: each message wakes the user.
TEST(ReadAhead, MessagesThatComeSlowlyAreHandedOnAsTheyCome) {
    test::TempDir d;
    constexpr int kMessages = 4;
    std::vector<std::string> sources;
    for (int i = 0; i < kMessages; ++i) {
        sources.push_back(d / ("pipe" + std::to_string(i)));
        test::make_fifo(sources.back());
    }
    std::mutex mutex;
    std::condition_variable used_one;
    int used = 0, late = 0;
    std::thread writer([&] {
        for (int i = 0; i < kMessages; ++i) {
            {
                std::unique_lock lock(mutex);
                if (!used_one.wait_for(lock, std::chrono::seconds(2), [&] { return used == i; })) ++late;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
            spit(sources[static_cast<std::size_t>(i)], "message " + std::to_string(i));
        }
    });
    std::vector<std::string> bodies;
    {
        ReadAhead reading(sources, kMaxSize, body_of);
        use_all(reading, [&](const ReadMessage& m) {
            bodies.push_back(m.taken_apart()[kPartBody]);
            const std::lock_guard lock(mutex);
            ++used;
            used_one.notify_one();
        });
    }
    writer.join();
    EXPECT_EQ(late, 0);
    EXPECT_EQ(bodies, (std::vector<std::string>{"message 0", "message 1", "message 2", "message 3"}));
}

// A message used while the reader is still at work is freed on the reading
// thread, whose allocation arena its memory came from. Here the reader waits
// on a pipe, the last source, until every file before it has been used, so
// all the files but the last are handed back while it is at work; only what
// is handed back once the reading has ended is freed on the user's thread.
// Each message carries the failure of its taking apart, whose end tells on
// which thread the message was freed.
TEST(ReadAhead, MessagesUsedWhileTheReaderWorksAreFreedOnItsThread) {
    struct Freed {
        std::mutex mutex;
        std::vector<std::thread::id> on;
    } freed;
    struct Failure {
        Freed* freed;
        ~Failure() {
            const std::lock_guard lock(freed->mutex);
            freed->on.push_back(std::this_thread::get_id());
        }
    };
    test::TempDir d;
    constexpr std::size_t kFiles = 5;
    std::vector<std::string> sources = messages_of(d, kFiles, 1);
    sources.push_back(d / "pipe");
    test::make_fifo(sources.back());
    std::mutex mutex;
    std::condition_variable files_used;
    bool all_used = false;
    std::thread writer([&] {
        {
            std::unique_lock lock(mutex);
            files_used.wait_for(lock, std::chrono::seconds(10), [&] { return all_used; });
        }
        spit(sources.back(), "last");
    });
    std::size_t used = 0;
    {
        ReadAhead reading(sources, kMaxSize, [&](const std::string&) -> MessageParts { throw Failure{&freed}; });
        use_all(reading, [&](const ReadMessage& m) {
            EXPECT_TRUE(m.failure);
            if (++used != kFiles) return;
            const std::lock_guard lock(mutex);
            all_used = true;
            files_used.notify_one();
        });
        // Every message is freed by the end of the reading, not with it.
        const std::lock_guard lock(freed.mutex);
        EXPECT_EQ(freed.on.size(), kFiles + 1);
    }
    writer.join();
    EXPECT_EQ(used, kFiles + 1);
    const std::lock_guard lock(freed.mutex);
    ASSERT_EQ(freed.on.size(), kFiles + 1);
    const auto on_user = std::count(freed.on.begin(), freed.on.end(), std::this_thread::get_id());
    EXPECT_GE(on_user, 1);  // the pipe's message, used after the reading ended
    EXPECT_LE(on_user, 2) << "messages freed on the user's thread while the reader was at work";
}

// A reading given up halfway stops where it is, with no wait for the rest.
TEST(ReadAhead, AReadingGivenUpStopsThere) {
    test::TempDir d;
    const std::vector<std::string> sources = messages_of(d, 1000, 1);
    std::atomic<std::size_t> taken{0};
    {
        ReadAhead reading(sources, kMaxSize, [&](const std::string& raw) {
            ++taken;
            return body_of(raw);
        });
        ASSERT_TRUE(reading.next());
        ASSERT_TRUE(reading.next());
    }
    EXPECT_LE(taken.load(), 2 + kReadAheadCount + 1);
}

}  // namespace
}  // namespace kalvorin::host
