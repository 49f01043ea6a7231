#include "platform/stderr_capture.h"

#include <fcntl.h>
#include <io.h>
#include <sys/stat.h>

#include <cstdio>
#include <filesystem>
#include <random>

namespace kalvorin::platform {

namespace {

// The runtime's tmpfile() wants the root folder of the drive, which a user
// may not write; the user's temporary folder is theirs.
int open_scratch() {
    std::error_code ec;
    const auto dir = std::filesystem::temp_directory_path(ec);
    if (ec) return -1;
    std::random_device random;
    for (int attempt = 0; attempt < 8; ++attempt) {
        const auto path = dir / ("kalvorin-host-" + std::to_string(random()) + ".tmp");
        const int fd = _open(path.string().c_str(), _O_CREAT | _O_EXCL | _O_RDWR | _O_BINARY | _O_TEMPORARY,
                             _S_IREAD | _S_IWRITE);
        if (fd >= 0) return fd;
    }
    return -1;
}

}  // namespace

StderrCapture::StderrCapture() : scratch_(open_scratch()), real_(scratch_ >= 0 ? _dup(2) : -1) {}

StderrCapture::~StderrCapture() {
    if (scratch_ >= 0) _close(scratch_);
    if (real_ >= 0) _close(real_);
}

bool StderrCapture::begin() { return real_ >= 0 && _dup2(scratch_, 2) >= 0; }

void StderrCapture::end() { _dup2(real_, 2); }

std::string StderrCapture::take() {
    std::string printed;
    const long end = _lseek(scratch_, 0, SEEK_END);
    if (end <= seen_ || _lseek(scratch_, static_cast<long>(seen_), SEEK_SET) < 0) return printed;
    char buf[4096];
    long long left = end - seen_;
    while (left > 0) {
        const int n = _read(scratch_, buf, static_cast<unsigned>(left < 4096 ? left : 4096));
        if (n <= 0) break;
        printed.append(buf, static_cast<std::size_t>(n));
        left -= n;
    }
    seen_ = end;
    _lseek(scratch_, 0, SEEK_END);
    return printed;
}

}  // namespace kalvorin::platform
