#include "platform/lock.h"

#include <thread>

namespace kalvorin::platform {

std::optional<FileLock> FileLock::acquire(const std::string& path, std::chrono::milliseconds wait) {
    using Clock = std::chrono::steady_clock;
    constexpr std::chrono::milliseconds kPoll(50);
    const Clock::time_point give_up = Clock::now() + wait;
    for (;;) {
        const Handle handle = try_take(path);
        if (handle != kNone) return FileLock(path, handle);
        const Clock::time_point now = Clock::now();
        if (now >= give_up) return std::nullopt;
        std::this_thread::sleep_for(std::min<Clock::duration>(kPoll, give_up - now));
    }
}

}  // namespace kalvorin::platform
