#pragma once
// The first occurrence of one byte string in another, as
// std::string_view::find gives it.
#include <cstddef>
#include <string_view>

#if defined(__GLIBC__)
#include <string.h>
#endif

namespace kalvorin::platform {

// The C library's memmem, where there is one, skips ahead by what the bytes
// it has seen rule out; find stops at every byte that could begin the text,
// which in upper-cased mail is nearly every letter.
inline std::size_t find_bytes(std::string_view subject, std::string_view text) {
#if defined(__GLIBC__)
    // memmem takes no null pointer, which an empty view may hold.
    if (text.empty()) return 0;
    if (text.size() > subject.size()) return std::string_view::npos;
    const void* at = ::memmem(subject.data(), subject.size(), text.data(), text.size());
    return at ? static_cast<std::size_t>(static_cast<const char*>(at) - subject.data()) : std::string_view::npos;
#else
    return subject.find(text);
#endif
}

}  // namespace kalvorin::platform
