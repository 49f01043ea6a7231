#pragma once
// An exclusive lock on a file, respected by every other process and by every
// other holder in this process. The file is created when missing; it is
// never written to or removed. It is a file of the base folder, opened as
// Place::BaseFolder (textfile.h) opens one.
#include <chrono>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>

namespace kalvorin::platform {

class FileLock {
public:
    // Takes the lock on the file at path, trying again every few hundredths
    // of a second until `wait` has passed. Empty when another holder kept it
    // all that time. Raises EInOutError when the file cannot be opened or
    // created.
    static std::optional<FileLock> acquire(const std::string& path, std::chrono::milliseconds wait);

    FileLock(FileLock&& other) noexcept
        : path_(std::move(other.path_)), handle_(std::exchange(other.handle_, kNone)) {}
    FileLock& operator=(FileLock&& other) noexcept {
        std::swap(path_, other.path_);
        std::swap(handle_, other.handle_);
        return *this;
    }
    FileLock(const FileLock&) = delete;
    FileLock& operator=(const FileLock&) = delete;
    ~FileLock() {
        if (handle_ != kNone) release(handle_);
    }
    const std::string& path() const { return path_; }

private:
    // The system's open file, which holds the lock while open: a descriptor,
    // or a Windows handle (whose invalid value is also -1).
    using Handle = std::intptr_t;
    static constexpr Handle kNone = -1;

    FileLock(std::string path, Handle handle) : path_(std::move(path)), handle_(handle) {}
    // The lock at once, or kNone when another holder has it.
    static Handle try_take(const std::string& path);
    static void release(Handle handle) noexcept;

    std::string path_;
    Handle handle_;
};

}  // namespace kalvorin::platform
