#pragma once
// The host's exit statuses, the gravest first where several apply.
namespace kalvorin::host {

enum Exit : int {
    kAllScored = 0,
    kNotScored = 1,      // a message was not scored (unreadable, unparsable, too big, no memory)
    kUsageError = 2,
    kNoPlugin = 3,       // the plug-in could not be loaded or did not initialise
    kPluginFailed = 4,   // every message was scored, but the plug-in reported a failure
    kOutputFailed = 5,   // what was written on standard output did not all arrive
};

}  // namespace kalvorin::host
