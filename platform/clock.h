#pragma once
#include <chrono>

namespace kalvorin::platform {

// Processor time used so far by the calling thread.
std::chrono::nanoseconds thread_cpu_time();

}  // namespace kalvorin::platform
