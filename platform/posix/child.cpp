#include "platform/child.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/prctl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstring>

#include "platform/posix/unique_fd.h"

namespace kalvorin::platform {

namespace {

using Clock = std::chrono::steady_clock;

bool write_all(int fd, const std::string& text) {
    std::size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = ::write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        done += static_cast<std::size_t>(n);
    }
    return true;
}

// The kernel kills the child when the caller ends, even by SIGKILL and even
// while the child is stopped, which no watch run by the child itself could
// do. A caller that ended before the request took hold has left the child
// to another parent already: the child ends at once.
[[noreturn]] void child_main(pid_t caller, posix::UniqueFd to_parent, const std::function<std::string()>& work) {
    if (::prctl(PR_SET_PDEATHSIG, SIGKILL) != 0 || ::getppid() != caller) ::_exit(1);
    // A process group of its own, which the time limit ends whole.
    ::setpgid(0, 0);
    // Whatever the work prints on standard output would land in the
    // caller's; it goes where the caller's reports go.
    ::dup2(2, 1);
    int status = 1;
    try {
        if (write_all(to_parent.get(), work())) status = 0;
    } catch (...) {
    }
    ::_exit(status);
}

std::string why_failed(int status) {
    if (WIFSIGNALED(status))
        return "ended by signal " + std::to_string(WTERMSIG(status)) + " (" + ::strsignal(WTERMSIG(status)) + ")";
    return "ended with status " + std::to_string(WEXITSTATUS(status));
}

// Whether the child has ended; it stays to be waited for. One that cannot
// be asked about counts as ended, so that waiting for it tells why.
bool has_ended(pid_t pid) {
    siginfo_t info{};
    while (::waitid(P_PID, static_cast<id_t>(pid), &info, WEXITED | WNOHANG | WNOWAIT) != 0)
        if (errno != EINTR) return true;
    return info.si_pid == pid;
}

// Reads what the child writes until it has ended and its pipe is closed;
// false when the deadline came first. Once the child has ended, whatever it
// started is killed: it would keep what the child held, and its end of the
// pipe. The child is looked at every few hundredths of a second, and at
// once whenever it writes.
bool collect(pid_t pid, int from_child, std::string& result, Clock::time_point deadline) {
    constexpr std::chrono::milliseconds kLook(20);
    pollfd pipe_end{from_child, POLLIN, 0};
    bool ended = false;
    for (;;) {
        if (!ended && has_ended(pid)) {
            ended = true;
            ::kill(-pid, SIGKILL);
        }
        if (ended && pipe_end.fd < 0) return true;
        const Clock::time_point now = Clock::now();
        if (now >= deadline) return false;
        const auto wait = std::min<Clock::duration>(kLook, deadline - now);
        if (::poll(&pipe_end, 1, static_cast<int>(std::chrono::ceil<std::chrono::milliseconds>(wait).count())) <= 0)
            continue;
        char buf[4096];
        const ssize_t n = ::read(from_child, buf, sizeof buf);
        if (n > 0) result.append(buf, static_cast<std::size_t>(n));
        else if (n == 0 || errno != EINTR) pipe_end.fd = -1;  // poll passes over a negative descriptor
    }
}

// A caller that inherited SIGCHLD ignored would find no child to wait for.
class DefaultSigchld {
public:
    DefaultSigchld() {
        struct sigaction chld {};
        chld.sa_handler = SIG_DFL;
        ::sigaction(SIGCHLD, &chld, &saved_);
    }
    ~DefaultSigchld() { ::sigaction(SIGCHLD, &saved_, nullptr); }
    DefaultSigchld(const DefaultSigchld&) = delete;
    DefaultSigchld& operator=(const DefaultSigchld&) = delete;

private:
    struct sigaction saved_ {};
};

}  // namespace

ChildOutcome run_in_child(const std::function<std::string()>& work, std::chrono::milliseconds limit) {
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0) return {std::nullopt, std::string("cannot start: ") + std::strerror(errno)};
    posix::UniqueFd from_child(ends[0]), to_parent(ends[1]);
    const DefaultSigchld sigchld;
    const Clock::time_point deadline = Clock::now() + limit;
    const pid_t caller = ::getpid();
    const pid_t pid = ::fork();
    if (pid == 0) {
        from_child.reset();
        child_main(caller, std::move(to_parent), work);
    }
    if (pid < 0) return {std::nullopt, std::string("cannot start: ") + std::strerror(errno)};
    // Set from both sides, so that the group is there before either goes on.
    ::setpgid(pid, pid);
    to_parent.reset();
    std::string result;
    const bool in_time = collect(pid, from_child.get(), result, deadline);
    if (!in_time) {
        ::kill(-pid, SIGKILL);
        ::kill(pid, SIGKILL);  // should the work have left its group
    }
    int status = 0;
    pid_t waited;
    while ((waited = ::waitpid(pid, &status, 0)) < 0 && errno == EINTR) {
    }
    if (waited < 0) return {std::nullopt, std::string("cannot be waited for: ") + std::strerror(errno)};
    if (!in_time) return {std::nullopt, "did not end in time", true};
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return {std::move(result), {}};
    return {std::nullopt, why_failed(status)};
}

}  // namespace kalvorin::platform
