#pragma once
// The error types of the operating-system services, and the root of all the
// system's error types. Each carries the system's own message text.
#include <stdexcept>
#include <string>

namespace kalvorin {

struct KalvorinError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// A file that cannot be opened, read, written or created ("File not found", ...).
struct EInOutError : KalvorinError {
    using KalvorinError::KalvorinError;
};

// A registry value of the wrong type or size, or one that cannot be set.
struct ERegistryError : KalvorinError {
    using KalvorinError::KalvorinError;
};

}  // namespace kalvorin
