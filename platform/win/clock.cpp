#include <windows.h>

#include "platform/clock.h"

namespace kalvorin::platform {

std::chrono::nanoseconds thread_cpu_time() {
    FILETIME created, exited, kernel, user;
    if (!GetThreadTimes(GetCurrentThread(), &created, &exited, &kernel, &user)) return {};
    auto ticks = [](const FILETIME& t) {
        return (static_cast<long long>(t.dwHighDateTime) << 32) | t.dwLowDateTime;
    };
    // FILETIME counts 100-nanosecond intervals.
    return std::chrono::nanoseconds((ticks(kernel) + ticks(user)) * 100);
}

}  // namespace kalvorin::platform
