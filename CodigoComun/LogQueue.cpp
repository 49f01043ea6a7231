#include "CodigoComun/LogQueue.h"

#include <utility>

namespace kalvorin {

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
        wait_for(path);
        waiting_.append(text);
        end_waiting_line();
        return;
    }
    flush();
    guarded([&] {
        if (rounds_ > 0) row_.append_line(path, text);
        else platform::append_line(path, text, platform::Place::BaseFolder);
    });
}

// Lines for another file (the trace path after a change of the base folder)
// go out first.
void LogQueue::wait_for(const std::string& path) {
    if (path == path_) return;
    flush();
    path_ = path;
}

void LogQueue::end_waiting_line() {
    waiting_.append("\r\n");
    if (waiting_.size() > kMostWaiting) flush();
}

void LogQueue::flush() {
    if (waiting_.empty()) return;
    // The lines go whether or not they could be written; the buffer keeps its
    // room for the next round.
    struct Emptied {
        std::string& lines;
        ~Emptied() { lines.clear(); }
    } emptied{waiting_};
    guarded([&] { row_.append_text(path_, waiting_); });
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
    row_.close();
}

void LogQueue::on_write_failure(WriteFailure handler) { on_failure_ = std::move(handler); }

LogQueue& log_queue() {
    static LogQueue queue;
    return queue;
}

}  // namespace kalvorin
