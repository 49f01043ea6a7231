#pragma once
// The system's error codes in the runtime's terms.

namespace kalvorin::platform {

// The runtime's error number for a system error code, so that every file
// error carries the same texts (io_message).
int errno_of(unsigned long code);

}  // namespace kalvorin::platform
