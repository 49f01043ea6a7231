#include "CodigoComun/LogQueue.h"

#include "platform/textfile.h"

namespace kalvorin {

void LogQueue::append(const std::string& path, std::string_view text) {
    if (rounds_ == 0) {
        platform::append_line(path, text);
        return;
    }
    // Lines for another file (the trace path after a change of the base
    // folder) go out first, so that each file sees its lines in order.
    if (path != path_) {
        flush();
        path_ = path;
    }
    waiting_.append(text);
    waiting_.append("\r\n");
}

void LogQueue::flush() {
    if (waiting_.empty()) return;
    // The lines go whether or not they could be written; the buffer keeps its
    // room for the next round.
    struct Emptied {
        std::string& lines;
        ~Emptied() { lines.clear(); }
    } emptied{waiting_};
    platform::TextWriter w(path_, platform::TextWriter::Mode::Append);
    w.write(waiting_);
    w.close();
}

void LogQueue::reset(const std::string& path) {
    if (path == path_)
        waiting_.clear();
    else
        flush();
    platform::reset_file(path);
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

LogQueue& log_queue() {
    static LogQueue queue;
    return queue;
}

}  // namespace kalvorin
