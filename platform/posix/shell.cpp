// The desktop's opener is xdg-open, started detached: a grandchild that the
// caller never waits for, so no zombie is left behind.
#include "platform/shell.h"

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/errors.h"
#include "platform/posix/unique_fd.h"

namespace kalvorin::platform {

void shell_open(const std::string& target) {
    int pipefd[2];
    if (::pipe2(pipefd, O_CLOEXEC) != 0) throw EInOutError(std::strerror(errno));
    posix::UniqueFd rd(pipefd[0]), wr(pipefd[1]);
    const pid_t child = ::fork();
    if (child < 0) throw EInOutError(std::strerror(errno));
    if (child == 0) {
        ::setsid();
        if (::fork() == 0) {
            ::execlp("xdg-open", "xdg-open", target.c_str(), static_cast<char*>(nullptr));
            const int err = errno;  // only reached when exec failed
            (void)!::write(wr.get(), &err, sizeof err);
        }
        ::_exit(0);
    }
    wr.reset();
    int status = 0;
    ::waitpid(child, &status, 0);
    int err = 0;
    // The pipe closes on a successful exec, so a read of nothing means started.
    if (::read(rd.get(), &err, sizeof err) == sizeof err)
        throw EInOutError("Cannot open " + target + ": no program to open it (xdg-open: " + std::strerror(err) + ")");
}

}  // namespace kalvorin::platform
