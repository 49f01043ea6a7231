#pragma once
// What both halves of the Windows registry access share.
#include <windows.h>

#include <memory>
#include <string>
#include <type_traits>

namespace kalvorin::platform::winreg {

struct KeyCloser {
    void operator()(HKEY k) const noexcept { RegCloseKey(k); }
};
using Key = std::unique_ptr<std::remove_pointer_t<HKEY>, KeyCloser>;

// A key path under HKEY_CURRENT_USER without leading or trailing backslashes.
inline std::string normalise(const std::string& path) {
    std::string p = path;
    while (!p.empty() && p.front() == '\\') p.erase(0, 1);
    while (!p.empty() && p.back() == '\\') p.pop_back();
    return p;
}

// The key opened with the access asked for, or null.
inline Key open_key(const std::string& path, REGSAM access) {
    HKEY k = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, path.c_str(), 0, access, &k) != ERROR_SUCCESS) return nullptr;
    return Key(k);
}

}  // namespace kalvorin::platform::winreg
