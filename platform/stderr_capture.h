#pragma once
// Standard error pointed at a scratch file for a while, and what arrived
// there read back.
#include <string>

namespace kalvorin::platform {

class StderrCapture {
public:
    // Opens the scratch file, which has no name and goes when closed, and
    // keeps the real standard error open to point back at. Without a scratch
    // file nothing is captured.
    StderrCapture();
    ~StderrCapture();
    StderrCapture(const StderrCapture&) = delete;
    StderrCapture& operator=(const StderrCapture&) = delete;

    // Points standard error at the scratch file. False, with standard error
    // left as it is, when it cannot.
    bool begin();
    // Points standard error back at the real one.
    void end();
    // What was written to the scratch file since the last call.
    std::string take();

private:
    int scratch_ = -1;
    int real_ = -1;
    long long seen_ = 0;  // the scratch file's bytes already taken
};

}  // namespace kalvorin::platform
