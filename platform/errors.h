#pragma once
// The error types of the operating-system services, and the root of all the
// system's error types. Each carries the system's own message text.
#include <stdexcept>
#include <string>
#include <utility>

namespace kalvorin {

struct KalvorinError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// A file that cannot be opened, read, written or created ("File not found", ...).
// The message is the runtime's text alone; the file it concerns travels beside it.
struct EInOutError : KalvorinError {
    using KalvorinError::KalvorinError;
    EInOutError(const std::string& message, std::string path) : KalvorinError(message), path_(std::move(path)) {}
    // The file (or folder) the error is about; empty when not known.
    const std::string& path() const noexcept { return path_; }

private:
    std::string path_;
};

// A registry value of the wrong type or size, or one that cannot be set.
struct ERegistryError : KalvorinError {
    using KalvorinError::KalvorinError;
};

}  // namespace kalvorin
