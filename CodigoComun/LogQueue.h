#pragma once
// The writer behind the plug-in log and the filter trace. Outside a round each
// line is its own open, append and close. Within a round the lines wait in
// memory and reach their file at each flush, in one append for each run of
// lines bound for the same file. The file stays open from one flush of the
// round to the next, but each flush looks at its name again: one that meets
// it deleted creates it again, one that meets another file there writes to
// that. No file stays open past the end of the round. A line
// too long to be worth holding (a message part) goes out at once, after the
// lines waiting before it, so that it is never copied into the queue; and
// the waiting lines go out whenever they pass a megabyte, so a round holds
// no more than that. The files are files of the base folder
// (platform::Place::BaseFolder), their owner's alone.
#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

#include "platform/errors.h"
#include "platform/textfile.h"

namespace kalvorin {

class LogQueue {
public:
    // Hears of a write that failed, in place of its writer.
    using WriteFailure = std::function<void(const EInOutError&)>;

    // Appends text and CR LF to the file: now, or at the next flush within a
    // round; raises EInOutError as flush does when it flushes.
    void append(const std::string& path, std::string_view text);
    // The same for a line that build(out) appends to out: within a round it
    // is built where it waits, with no copy of its own.
    template <typename Build>
    void append_built(const std::string& path, Build&& build);
    // Writes the waiting lines. Raises EInOutError as a single append would;
    // the waiting lines are gone either way, so none is written twice.
    void flush();
    // Empties the file (creating it when missing). Waiting lines for it would
    // be erased with it and are dropped; lines for another file go out first.
    void reset(const std::string& path);
    // Rounds nest: the outermost end flushes, dropping any write error.
    void begin_round();
    void end_round() noexcept;
    // From now on a write that fails drops its lines and tells the handler
    // instead of raising; an empty handler restores the raising.
    void on_write_failure(WriteFailure handler);

private:
    // Lines up to this length wait in the queue; longer ones are written at once.
    static constexpr std::size_t kLongestWaiting = 64 * 1024;
    // The most that waits at once: a round of many lines writes in pieces of
    // about this size rather than holding them all.
    static constexpr std::size_t kMostWaiting = 1024 * 1024;

    // Makes the queue the path's, its lines for another file gone out first
    // so that each file sees its lines in order.
    void wait_for(const std::string& path);
    // Ends the line just added to the waiting ones.
    void end_waiting_line();
    // Runs one write of the file, under the failure handler.
    template <typename Write>
    void guarded(Write&& write);

    std::string path_;
    std::string waiting_;
    platform::AppendRow row_;  // the round's file, open between its flushes
    int rounds_ = 0;
    WriteFailure on_failure_;
};

template <typename Build>
void LogQueue::append_built(const std::string& path, Build&& build) {
    if (rounds_ == 0) {
        std::string line;
        build(line);
        append(path, line);
        return;
    }
    wait_for(path);
    const std::size_t start = waiting_.size();
    try {
        build(waiting_);
    } catch (...) {
        waiting_.resize(start);  // no part of a line that was never made
        throw;
    }
    if (waiting_.size() - start > kLongestWaiting) {
        const std::string line = waiting_.substr(start);
        waiting_.resize(start);
        append(path, line);
        return;
    }
    end_waiting_line();
}

// The one queue of the process, shared by the trace and the plug-in log so
// that their lines keep their order.
LogQueue& log_queue();

// Holds a round open for its lifetime.
class LogRound {
public:
    LogRound() { log_queue().begin_round(); }
    ~LogRound() { log_queue().end_round(); }
    LogRound(const LogRound&) = delete;
    LogRound& operator=(const LogRound&) = delete;
};

}  // namespace kalvorin
