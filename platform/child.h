#pragma once
// Work done in a child process, so that whatever befalls it (an abort, a
// crash, memory running out, a hang) leaves the caller as it was. POSIX
// builds only.
#include <chrono>
#include <functional>
#include <optional>
#include <string>

namespace kalvorin::platform {

struct ChildOutcome {
    std::optional<std::string> result;  // what the work returned, when it ran to its end
    std::string failure;                // otherwise why not: "ended by signal 5 (Trace/breakpoint trap)"
    bool timed_out = false;             // it was ended at the time limit
};

// Runs work in a copy of this process and hands back the text it returned.
// The work must catch its own exceptions; one that escapes ends the child
// as a failure. The child leaves through _exit: it flushes none of the
// buffers it shares with the caller.
// The child is killed with every process it started when it has not ended
// within `limit` (stopped or not), and dies with the caller however the
// caller ends, so that nothing it holds (a lock) outlives the caller. The
// processes it started are killed too once it has ended.
ChildOutcome run_in_child(const std::function<std::string()>& work, std::chrono::milliseconds limit);

}  // namespace kalvorin::platform
