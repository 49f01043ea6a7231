#include "host/ReadAhead.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <mutex>
#include <optional>
#include <utility>
#include <vector>

#if defined(__GLIBC__)
#include <malloc.h>
#include <sys/resource.h>
#endif

#include "host/Sources.h"

namespace kalvorin::host {

namespace {

// Thrown on the reading thread once the messages' user has gone.
struct Stopped {};

std::size_t size_of(const ReadMessage& m) {
    std::size_t n = m.label.size() + m.error.size();
    for (const auto& part : m.parts.text) n += part.size();
    return n;
}

// The messages read and not yet used, in order, and the end of the reading.
// Neither side wakes the other for each message: a reader that finds no room
// waits until half the room is free, and a user that finds nothing waiting
// waits for a run of messages, or for a moment when they come slowly (from a
// pipe, say). A wake costs each thread more than a message's share of work
// when the two keep pace.
//
// A message's memory comes from the reading thread's allocation arena. The
// user hands each message back once done with it, and the reader frees it:
// freed on the user's thread, each of its parts would take that arena's lock
// against the reader, which allocates all the time. Only a reader that waits
// for room or has ended leaves the freeing to the user. A message handed back
// counts against the bound until it is freed.
class Waiting {
public:
    // Finding no room, waits until half of it is free again; raises Stopped
    // when the user has gone.
    void put(ReadMessage&& m) {
        const std::size_t bytes = size_of(m);
        std::unique_lock lock(mutex_);
        free_handed_back();
        if (!has_room(bytes)) {
            blocked_ = bytes;
            ready_.notify_one();
            room_.wait(lock, [&] { return stopped_ || may_refill(bytes); });
            blocked_.reset();
        }
        if (stopped_) throw Stopped{};
        queue_.push_back({std::move(m), bytes});
        bytes_ += bytes;
        if (queue_.size() >= wanted_) ready_.notify_one();
    }
    // The reading is over; failure, when set, is raised after the last message.
    void close(std::exception_ptr failure) noexcept {
        const std::lock_guard lock(mutex_);
        closed_ = true;
        failure_ = failure;
        ready_.notify_one();
    }
    // The next message, or nothing at the end of the reading. The message
    // is the user's until the next take, by which the user is done with it.
    const ReadMessage* take() {
        std::vector<Entry> done;  // freed here, once the lock is let go
        std::unique_lock lock(mutex_);
        hand_back(done);
        wake_reader();
        if (queue_.empty() && !closed_) {
            wanted_ = kWakeCount;
            ready_.wait_for(lock, kWakeWait, [&] { return closed_ || blocked_ || queue_.size() >= kWakeCount; });
            wanted_ = 1;
        }
        ready_.wait(lock, [&] { return closed_ || !queue_.empty(); });
        if (queue_.empty()) {
            done = take_handed_back();  // the reading is over and will free nothing more
            if (failure_) std::rethrow_exception(failure_);
            return nullptr;
        }
        in_use_.emplace(std::move(queue_.front()));
        queue_.pop_front();
        wake_reader();
        return &in_use_->message;
    }
    void stop() noexcept {
        const std::lock_guard lock(mutex_);
        stopped_ = true;
        room_.notify_one();
    }

private:
    static constexpr std::size_t kWakeCount = 8;
    static constexpr std::chrono::milliseconds kWakeWait{2};

    bool has_room(std::size_t bytes) const {
        return bytes_ == 0 || (queue_.size() < kReadAheadCount && bytes_ + bytes <= kReadAheadBytes);
    }
    bool may_refill(std::size_t bytes) const {
        return bytes_ == 0 || (queue_.size() <= kReadAheadCount / 2 && bytes_ <= kReadAheadBytes / 2 &&
                               bytes_ + bytes <= kReadAheadBytes);
    }
    struct Entry {
        ReadMessage message;
        std::size_t bytes;
    };

    // The message in use goes back to the reader to free; to done when the
    // reader waits for room or has ended, and will free nothing more. A
    // reader that waits has freed what it was handed before it began to.
    void hand_back(std::vector<Entry>& done) {
        if (!in_use_) return;
        handed_back_.push_back(std::move(*in_use_));
        in_use_.reset();
        if (blocked_ || closed_) done = take_handed_back();
    }
    // On the reading thread: frees what the user handed back. They are freed
    // under the lock, so that the bound counts them until they are gone; they
    // are the few messages used since the reader's last put.
    void free_handed_back() { take_handed_back(); }
    // What the user handed back, no longer counted against the bound.
    std::vector<Entry> take_handed_back() {
        for (const Entry& e : handed_back_) bytes_ -= e.bytes;
        return std::exchange(handed_back_, {});
    }
    void wake_reader() {
        if (blocked_ && may_refill(*blocked_)) room_.notify_one();
    }

    std::mutex mutex_;
    std::condition_variable ready_, room_;
    std::deque<Entry> queue_;
    std::size_t bytes_ = 0;  // waiting, in use and handed back
    std::optional<Entry> in_use_;
    std::vector<Entry> handed_back_;
    std::optional<std::size_t> blocked_;  // the size of the message the reader holds back
    std::size_t wanted_ = 1;              // how many waiting messages wake the user
    bool closed_ = false, stopped_ = false;
    std::exception_ptr failure_;
};

// Hands deliver every message of the sources, as the reading gives them.
void read_sources(const std::vector<std::string>& sources, std::size_t max_size, const TakeApart& take_apart,
                  const std::function<void(ReadMessage&&)>& deliver) {
    for (const auto& source : sources) {
        try {
            for_each_message(source, max_size, [&](SourceMessage& m) {
                ReadMessage r{std::move(m.label), std::move(m.error), {}, {}};
                if (r.error.empty()) {
                    try {
                        r.parts = take_apart(std::move(m.raw));
                    } catch (...) {
                        r.failure = std::current_exception();
                    }
                }
                m.raw = std::string();
                deliver(std::move(r));
            });
        } catch (const std::exception& e) {
            deliver(ReadMessage{source, e.what(), {}, {}});
        }
    }
}

}  // namespace

const MessageParts& ReadMessage::taken_apart() const {
    if (failure) std::rethrow_exception(failure);
    return parts;
}

struct ReadAhead::Reading {
    std::vector<std::string> sources;
    std::size_t max_size = 0;
    TakeApart take_apart;
    Waiting waiting;

    void run() noexcept;
};

void ReadAhead::Reading::run() noexcept {
    std::exception_ptr failure;
    try {
        read_sources(sources, max_size, take_apart, [this](ReadMessage&& m) { waiting.put(std::move(m)); });
    } catch (const Stopped&) {
    } catch (...) {
        // Only the queue itself can fail here (memory); the user hears of it
        // after the messages read before.
        failure = std::current_exception();
    }
    waiting.close(failure);
}

void read_in_turn(const std::vector<std::string>& sources, std::size_t max_size, const TakeApart& take_apart,
                  const std::function<void(const ReadMessage&)>& use) {
    read_sources(sources, max_size, take_apart, [&](ReadMessage&& m) { use(m); });
}

ReadAhead::ReadAhead(std::vector<std::string> sources, std::size_t max_size, TakeApart take_apart)
    : reading_(std::make_unique<Reading>()) {
    reading_->sources = std::move(sources);
    reading_->max_size = max_size;
    reading_->take_apart = std::move(take_apart);
#if defined(__GLIBC__)
    // A second thread gets an allocation arena of its own, which reserves
    // 64 MiB of address space. Under a limit on address space that
    // reservation can fail, and the reader would then map every allocation
    // on its own; there the threads share the one arena instead.
    if (struct rlimit limit {}; ::getrlimit(RLIMIT_AS, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY)
        mallopt(M_ARENA_MAX, 1);
#endif
    reader_ = std::thread([r = reading_.get()] { r->run(); });
}

ReadAhead::~ReadAhead() {
    reading_->waiting.stop();
    reader_.join();
}

const ReadMessage* ReadAhead::next() { return reading_->waiting.take(); }

}  // namespace kalvorin::host
