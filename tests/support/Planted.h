#pragma once
// What another account could put in the name of a file of the base folder.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>

namespace kalvorin::test {

// An account that is neither this one nor the administrator.
inline constexpr uid_t kOtherAccount = 65534;

inline void make_fifo(const std::string& path) { ASSERT_EQ(::mkfifo(path.c_str(), 0600), 0) << path; }

// While it lives, watches the thread that made it for a wait on a pipe's
// other end, which the code under test must never do. Such a wait is noted
// and let go by opening that end and closing it at once, so that the test
// fails instead of hanging (SIGPIPE is ignored meanwhile). Where the system
// does not say what a thread waits on, the pipe is let go every few seconds.
class PipeRescue {
public:
    explicit PipeRescue(std::string fifo)
        : fifo_(std::move(fifo)),
          wchan_("/proc/self/task/" + std::to_string(::gettid()) + "/wchan"),
          saved_(std::signal(SIGPIPE, SIG_IGN)),
          rescuer_([this] { run(); }) {}
    ~PipeRescue() {
        done_ = true;
        rescuer_.join();
        std::signal(SIGPIPE, saved_);
    }
    PipeRescue(const PipeRescue&) = delete;
    PipeRescue& operator=(const PipeRescue&) = delete;

    bool waited() const { return waited_; }

private:
    bool waiting() const {
        char name[32] = {};
        const int fd = ::open(wchan_.c_str(), O_RDONLY);
        const ssize_t n = fd < 0 ? 0 : ::read(fd, name, sizeof name - 1);
        if (fd >= 0) ::close(fd);
        return n > 0 && std::string(name) == "wait_for_partner";
    }
    void run() {
        for (int tick = 1; !done_; ++tick) {
            std::this_thread::sleep_for(std::chrono::milliseconds(5));
            const bool seen = waiting();
            waited_ = waited_ || seen;
            if (!seen && tick % 1000 != 0) continue;
            if (const int fd = ::open(fifo_.c_str(), O_RDWR | O_NONBLOCK); fd >= 0) ::close(fd);
        }
    }

    std::string fifo_;
    std::string wchan_;
    void (*saved_)(int);
    std::atomic<bool> done_ = false;
    std::atomic<bool> waited_ = false;
    std::thread rescuer_;
};

// The refusals of a file of the base folder that is a link or a pipe.
inline const std::string kLinkRefused = "Is a symbolic link, not followed";
inline const std::string kPipeRefused = "Not a regular file";

// Puts in the name a pipe when `refusal` is kPipeRefused, else a link to
// `target`; a pipe comes with its rescue.
inline std::optional<PipeRescue> plant(const std::string& name, const std::string& refusal, const std::string& target) {
    std::filesystem::remove(name);
    if (refusal != kPipeRefused) {
        std::filesystem::create_symlink(target, name);
        return std::nullopt;
    }
    make_fifo(name);
    return std::optional<PipeRescue>(std::in_place, name);
}

}  // namespace kalvorin::test
