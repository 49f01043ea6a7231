#include "platform/stderr_capture.h"

#include <unistd.h>

#include <cstdio>

namespace kalvorin::platform {

namespace {

int open_scratch() {
    std::FILE* f = std::tmpfile();
    if (!f) return -1;
    const int fd = ::dup(::fileno(f));
    std::fclose(f);
    return fd;
}

}  // namespace

StderrCapture::StderrCapture() : scratch_(open_scratch()), real_(scratch_ >= 0 ? ::dup(2) : -1) {}

StderrCapture::~StderrCapture() {
    if (scratch_ >= 0) ::close(scratch_);
    if (real_ >= 0) ::close(real_);
}

bool StderrCapture::begin() { return real_ >= 0 && ::dup2(scratch_, 2) >= 0; }

void StderrCapture::end() { ::dup2(real_, 2); }

std::string StderrCapture::take() {
    std::string printed;
    const off_t end = ::lseek(scratch_, 0, SEEK_END);
    if (end <= seen_ || ::lseek(scratch_, static_cast<off_t>(seen_), SEEK_SET) < 0) return printed;
    char buf[4096];
    long long left = end - seen_;
    while (left > 0) {
        const ssize_t n = ::read(scratch_, buf, static_cast<std::size_t>(left < 4096 ? left : 4096));
        if (n <= 0) break;
        printed.append(buf, static_cast<std::size_t>(n));
        left -= n;
    }
    seen_ = end;
    ::lseek(scratch_, 0, SEEK_END);
    return printed;
}

}  // namespace kalvorin::platform
