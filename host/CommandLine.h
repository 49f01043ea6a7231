#pragma once
// kalvorin-host's command line: its options and sources, checked together.
#include <chrono>
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "host/Filter.h"

namespace kalvorin::host {

// Large enough for nearly all mail that servers deliver; a message above it
// costs several times its size in memory to parse.
inline constexpr std::size_t kDefaultMaxSize = std::size_t{32} << 20;

struct Options {
    std::string plugin;
    std::size_t max_size = kDefaultMaxSize;
    bool parts_mode = false;
    bool explain = false;
    bool filter_mode = false;
    bool detailed_status = false;
    std::chrono::seconds filter_timeout = kDefaultTimeLimit;
    std::vector<std::string> compare;  // the old and the new base folder
    bool suggest = false;
    std::vector<std::string> sources;  // with --suggest, the messages to catch
    std::vector<std::string> against;  // --suggest's messages to count the lines over
    // --explain, --compare or --suggest: the list pass runs in the host itself.
    bool in_process() const { return explain || !compare.empty() || suggest; }
};

// The options, or the exit status to end with at once: after the version or
// the usage is printed (kAllScored), or after a usage error is reported on
// standard error with the usage (kUsageError).
struct CommandLine {
    Options options;
    std::optional<int> done;
};

CommandLine read_command_line(int argc, char** argv);

}  // namespace kalvorin::host
