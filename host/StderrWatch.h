#pragma once
// The plug-in reports its failures only on standard error, one line each
// beginning "Kalvorin: ". The host catches what a call prints there, passes
// it on unchanged, and so learns of the failure.
#include <functional>
#include <string>

#include "platform/stderr_capture.h"

namespace kalvorin::host {

class StderrWatch {
public:
    // Runs call with standard error going to a scratch file, then copies
    // what it printed to the real standard error and returns it. Without a
    // scratch file to catch into, the call simply runs and nothing is seen.
    std::string during(const std::function<void()>& call);

private:
    platform::StderrCapture capture_;
};

}  // namespace kalvorin::host
