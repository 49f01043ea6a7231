// Whether what a program wrote to its standard output arrived. Apart from
// the text files, so that a library that only reads and writes files (the
// plug-in) carries no standard streams of its own, which would flush the
// host's standard output when it is unloaded.
#include <cerrno>
#include <cstdio>
#include <iostream>

#include "platform/terminal.h"
#include "platform/textfile.h"

namespace kalvorin::platform {

namespace {

// std::cout's buffer in a program that watches its output: it hands every
// write to stdout, which buffers, and keeps the error of the first write that
// failed.
class KeptErrorBuf : public std::streambuf {
public:
    KeptErrorBuf() : original_(std::cout.rdbuf(this)) {}
    // Gives std::cout its own buffer back before the runtime's last flush.
    ~KeptErrorBuf() override { std::cout.rdbuf(original_); }
    KeptErrorBuf(const KeptErrorBuf&) = delete;
    KeptErrorBuf& operator=(const KeptErrorBuf&) = delete;

    int error() const { return error_; }

protected:
    int_type overflow(int_type c) override {
        if (traits_type::eq_int_type(c, traits_type::eof())) return traits_type::not_eof(c);
        const char ch = traits_type::to_char_type(c);
        return xsputn(&ch, 1) == 1 ? c : traits_type::eof();
    }
    std::streamsize xsputn(const char* s, std::streamsize n) override {
        errno = 0;
        const auto written = std::fwrite(s, 1, static_cast<std::size_t>(n), stdout);
        if (written != static_cast<std::size_t>(n)) keep_error();
        return static_cast<std::streamsize>(written);
    }
    int sync() override {
        errno = 0;
        if (std::fflush(stdout) == 0) return 0;
        keep_error();
        return -1;
    }

private:
    void keep_error() {
        if (!error_) error_ = errno ? errno : EIO;
    }

    std::streambuf* original_;
    int error_ = 0;
};

KeptErrorBuf* watched_buf = nullptr;

}  // namespace

void watch_standard_output() {
    report_closed_pipes();
    static KeptErrorBuf buf;
    watched_buf = &buf;
}

std::string standard_output_error() {
    errno = 0;
    std::cout.flush();
    bool lost = !std::cout;
    int err = watched_buf ? watched_buf->error() : errno;
    errno = 0;
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        lost = true;
        if (!err) err = errno;
    }
    return lost ? io_message(err ? err : EIO, "standard output") : std::string();
}

int finish_output(int status, const std::string& prefix, int lost_status) {
    const std::string lost = standard_output_error();
    if (lost.empty()) return status;
    std::cerr << prefix << "standard output: " << lost << "\n";
    return lost_status;
}

}  // namespace kalvorin::platform
