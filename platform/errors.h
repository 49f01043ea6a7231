#pragma once
// The few error types of the system. Each carries the system's own message text.
#include <stdexcept>
#include <string>
#include <utility>

namespace kalvorin {

struct KalvorinError : std::runtime_error {
    using std::runtime_error::runtime_error;
};

// A text that should be a number is not ("'x' is not a valid integer value"),
// or a number is outside the signed 32-bit range.
struct EConvertError : KalvorinError {
    using KalvorinError::KalvorinError;
};

// A filter line or its expression that cannot be evaluated (a malformed field
// test, or an expression that no reduction cycle can change).
struct EFilterError : KalvorinError {
    using KalvorinError::KalvorinError;
};

// A regular expression that does not compile, or that is too costly to run.
struct ERegExpr : KalvorinError {
    using KalvorinError::KalvorinError;
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
