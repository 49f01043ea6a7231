#pragma once
// --filter: one message from standard input on to standard output, with its
// score field when it could be scored, whole in every case.
#include <chrono>
#include <cstddef>
#include <string>

namespace kalvorin::host {

// A message is scored in milliseconds, a long one against long lines in a
// few seconds, and delivery programs give a filter some minutes. The limit
// also covers the plug-in's wait for a base folder that another program
// holds (a minute), which is then reported as such.
inline constexpr std::chrono::seconds kDefaultTimeLimit{120};

struct FilterOptions {
    std::string plugin;
    std::size_t max_size = 0;
    // Exit with the statuses of the other modes (not scored, no plug-in, a
    // failure reported) although the message was written out whole.
    bool detailed_status = false;
    // A scoring that takes longer is ended, and the message goes on unscored.
    std::chrono::seconds time_limit = kDefaultTimeLimit;
};

// Returns the exit status: kAllScored whenever the message was written out
// whole (unless detailed_status), kNotScored when the input could not be
// read, kOutputFailed when the output could not be written.
int filter_stdin(const FilterOptions& options);

}  // namespace kalvorin::host
