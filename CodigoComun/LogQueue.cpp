#include "CodigoComun/LogQueue.h"

#include <utility>

#include "platform/textfile.h"

namespace kalvorin {

namespace {

// Lines up to this length wait in the queue; longer ones are written at once.
constexpr std::size_t kLongestWaiting = 64 * 1024;
// The most that waits at once: a round of many lines writes in pieces of
// about this size rather than holding them all.
constexpr std::size_t kMostWaiting = 1024 * 1024;

}  // namespace

template <typename Write>
void LogQueue::guarded(Write&& write) {
    try {
        write();
    } catch (const EInOutError& e) {
        if (!on_failure_) throw;
        on_failure_(e);
    }
}

void LogQueue::append(const std::string& path, std::string_view text) {
    if (rounds_ > 0 && text.size() <= kLongestWaiting) {
        // Lines for another file (the trace path after a change of the base
        // folder) go out first, so that each file sees its lines in order.
        if (path != path_) {
            flush();
            path_ = path;
        }
        waiting_.append(text);
        waiting_.append("\r\n");
        if (waiting_.size() > kMostWaiting) flush();
        return;
    }
    flush();
    guarded([&] { platform::append_line(path, text, platform::Place::BaseFolder); });
}

void LogQueue::flush() {
    if (waiting_.empty()) return;
    // The lines go whether or not they could be written; the buffer keeps its
    // room for the next round.
    struct Emptied {
        std::string& lines;
        ~Emptied() { lines.clear(); }
    } emptied{waiting_};
    guarded([&] {
        platform::TextWriter w(path_, platform::TextWriter::Mode::Append, platform::Place::BaseFolder);
        w.write(waiting_);
        w.close();
    });
}

void LogQueue::reset(const std::string& path) {
    if (path == path_)
        waiting_.clear();
    else
        flush();
    // Each emptying makes the file its owner's alone, also one that an
    // earlier version left readable to others: it holds the mail.
    guarded([&] {
        platform::TextWriter w(path, platform::TextWriter::Mode::Truncate, platform::Place::BaseFolder);
        w.set_mode(platform::kOwnerOnly);
        w.close();
    });
}

void LogQueue::begin_round() { ++rounds_; }

void LogQueue::end_round() noexcept {
    if (rounds_ > 0 && --rounds_ > 0) return;
    try {
        flush();
    } catch (...) {
        // The round's owner has already had its chance to see write errors.
    }
}

void LogQueue::on_write_failure(WriteFailure handler) { on_failure_ = std::move(handler); }

LogQueue& log_queue() {
    static LogQueue queue;
    return queue;
}

}  // namespace kalvorin
