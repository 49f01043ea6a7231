#include "host/StderrWatch.h"

#include <cstdio>

namespace kalvorin::host {

std::string StderrWatch::during(const std::function<void()>& call) {
    std::fflush(stderr);
    if (!capture_.begin()) {
        call();
        return std::string();
    }
    struct Restore {
        platform::StderrCapture& capture;
        ~Restore() {
            std::fflush(stderr);
            capture.end();
        }
    };
    {
        Restore restore{capture_};
        call();
    }
    std::string printed = capture_.take();
    if (!printed.empty()) {
        std::fwrite(printed.data(), 1, printed.size(), stderr);
        std::fflush(stderr);
    }
    return printed;
}

}  // namespace kalvorin::host
