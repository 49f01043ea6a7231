#pragma once
// The plug-in reports its failures only on standard error, one line each
// beginning "Kalvorin: ". The host catches what a call prints there, passes
// it on unchanged, and so learns of the failure.
#include <functional>
#include <string>

namespace kalvorin::host {

class StderrWatch {
public:
    // Without a scratch file to catch into, calls simply run and nothing is seen.
    StderrWatch();
    ~StderrWatch();
    StderrWatch(const StderrWatch&) = delete;
    StderrWatch& operator=(const StderrWatch&) = delete;

    // Runs call with standard error going to the scratch file, then copies
    // what it printed to the real standard error and returns it.
    std::string during(const std::function<void()>& call);

private:
    int scratch_ = -1;
    int real_ = -1;       // the real standard error, kept open to point back at
    long long seen_ = 0;  // the scratch file's bytes already passed on
};

}  // namespace kalvorin::host
