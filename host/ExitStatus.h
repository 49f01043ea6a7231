#pragma once
// The host's exit statuses, and how a run reports what it could not do.
#include <iostream>
#include <new>
#include <stdexcept>
#include <string>

#include "host/PluginHost.h"

namespace kalvorin::host {

// The exit statuses, the gravest first where several apply.
enum Exit : int {
    kAllScored = 0,
    kNotScored = 1,      // a message was not scored (unreadable, unparsable, too big, no memory)
    kUsageError = 2,
    kNoPlugin = 3,       // the plug-in could not be loaded or did not initialise
    kPluginFailed = 4,   // every message was scored, but the plug-in reported a failure
    kOutputFailed = 5,   // what was written on standard output did not all arrive
};

// One line on standard error.
inline void report(const std::string& what) { std::cerr << "kalvorin-host: " << what << "\n"; }

// The status of a run of the plug-in, from what it reported.
inline Exit outcome(const PluginHost& host, bool all_scored) {
    if (host.reports().init_failed) return kNoPlugin;
    if (!all_scored) return kNotScored;
    return host.reports().other ? kPluginFailed : kAllScored;
}

// Scores one message; false, with the reason reported, when it could not be.
// Running out of memory on one message leaves the next ones their chance.
template <typename Score>
bool score_one(const std::string& label, Score&& score) {
    try {
        score();
        return true;
    } catch (const std::bad_alloc&) {
        report(label + ": out of memory, not scored");
    } catch (const std::exception& e) {
        report(label + ": " + e.what());
    }
    return false;
}

}  // namespace kalvorin::host
