#include "host/StderrWatch.h"

#include <fcntl.h>
#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>

#ifdef _WIN32
#include <io.h>
#else
#include <unistd.h>
#endif

namespace kalvorin::host {

namespace {

// A file with no name left, gone when closed.
int open_scratch() {
#ifdef _WIN32
    // The runtime's tmpfile() wants the root folder of the drive, which a
    // user may not write; the user's temporary folder is theirs.
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
#else
    std::FILE* f = std::tmpfile();
    if (!f) return -1;
    const int fd = ::dup(::fileno(f));
    std::fclose(f);
    return fd;
#endif
}

}  // namespace

StderrWatch::StderrWatch() : scratch_(open_scratch()), real_(scratch_ >= 0 ? ::dup(2) : -1) {}

StderrWatch::~StderrWatch() {
    if (scratch_ >= 0) ::close(scratch_);
    if (real_ >= 0) ::close(real_);
}

std::string StderrWatch::during(const std::function<void()>& call) {
    std::fflush(stderr);
    if (real_ < 0 || ::dup2(scratch_, 2) < 0) {
        call();
        return std::string();
    }
    struct Restore {
        int real;
        ~Restore() {
            std::fflush(stderr);
            ::dup2(real, 2);
        }
    };
    {
        Restore restore{real_};
        call();
    }
    std::string printed;
    const long long end = ::lseek(scratch_, 0, SEEK_END);
    if (end > seen_ && ::lseek(scratch_, static_cast<long>(seen_), SEEK_SET) >= 0) {
        char buf[4096];
        long long left = end - seen_;
        while (left > 0) {
            const auto n = ::read(scratch_, buf, static_cast<unsigned>(left < 4096 ? left : 4096));
            if (n <= 0) break;
            printed.append(buf, static_cast<std::size_t>(n));
            left -= n;
        }
        seen_ = end;
        ::lseek(scratch_, 0, SEEK_END);
        std::fwrite(printed.data(), 1, printed.size(), stderr);
        std::fflush(stderr);
    }
    return printed;
}

}  // namespace kalvorin::host
