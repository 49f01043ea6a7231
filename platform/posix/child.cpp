#include "platform/child.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <csignal>
#include <cstring>

#include "platform/posix/unique_fd.h"

namespace kalvorin::platform {

namespace {

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

[[noreturn]] void child_main(posix::UniqueFd to_parent, const std::function<std::string()>& work) {
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

}  // namespace

ChildOutcome run_in_child(const std::function<std::string()>& work) {
    int ends[2];
    if (::pipe2(ends, O_CLOEXEC) != 0) return {std::nullopt, std::string("cannot start: ") + std::strerror(errno)};
    posix::UniqueFd from_child(ends[0]), to_parent(ends[1]);
    // A caller that inherited SIGCHLD ignored would find no child to wait for.
    struct sigaction chld {}, saved {};
    chld.sa_handler = SIG_DFL;
    ::sigaction(SIGCHLD, &chld, &saved);
    const pid_t pid = ::fork();
    if (pid == 0) {
        from_child.reset();
        child_main(std::move(to_parent), work);
    }
    if (pid < 0) {
        ::sigaction(SIGCHLD, &saved, nullptr);
        return {std::nullopt, std::string("cannot start: ") + std::strerror(errno)};
    }
    to_parent.reset();
    std::string result;
    char buf[4096];
    for (;;) {
        const ssize_t n = ::read(from_child.get(), buf, sizeof buf);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) break;
        result.append(buf, static_cast<std::size_t>(n));
    }
    int status = 0;
    pid_t waited;
    while ((waited = ::waitpid(pid, &status, 0)) < 0 && errno == EINTR) {
    }
    const int wait_error = errno;
    ::sigaction(SIGCHLD, &saved, nullptr);
    if (waited < 0) return {std::nullopt, std::string("cannot be waited for: ") + std::strerror(wait_error)};
    if (WIFEXITED(status) && WEXITSTATUS(status) == 0) return {std::move(result), {}};
    return {std::nullopt, why_failed(status)};
}

}  // namespace kalvorin::platform
