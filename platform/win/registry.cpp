// The current user's registry through the ANSI registry functions. Every call
// opens the key, does one operation and closes it again, as the hive does
// elsewhere.
#include <windows.h>

#include "platform/registry.h"
#include "platform/win/reg_key.h"

namespace kalvorin::platform {

using winreg::Key;
using winreg::normalise;
using winreg::open_key;

namespace {
bool key_exists(const std::string& path) { return open_key(path, KEY_READ) != nullptr; }
}  // namespace

std::string hive_location() { return "HKEY_CURRENT_USER"; }

std::optional<RegKey> RegKey::open(const std::string& path) {
    const std::string p = normalise(path);
    if (!open_key(p, KEY_ALL_ACCESS)) return std::nullopt;
    return RegKey(p);
}

std::optional<RegValue> reg_read(const std::string& path, const std::string& name) {
    const std::optional<RegKey> key = RegKey::open(path);
    return key ? key->query(name) : std::nullopt;
}

std::optional<RegKey> RegKey::open_read(const std::string& path) {
    const std::string p = normalise(path);
    if (!key_exists(p)) return std::nullopt;
    return RegKey(p);
}

std::optional<RegValue> RegKey::query(const std::string& name) const {
    Key k = open_key(path_, KEY_READ);
    if (!k) return std::nullopt;
    // The value may grow between the size query and the read; ask again then.
    for (;;) {
        DWORD type = 0, size = 0;
        if (RegQueryValueExA(k.get(), name.c_str(), nullptr, &type, nullptr, &size) != ERROR_SUCCESS)
            return std::nullopt;
        std::string data(size, '\0');
        LONG rc = RegQueryValueExA(k.get(), name.c_str(), nullptr, &type,
                                   reinterpret_cast<BYTE*>(data.data()), &size);
        if (rc == ERROR_MORE_DATA) continue;
        if (rc != ERROR_SUCCESS) return std::nullopt;
        data.resize(size);
        return RegValue{name, static_cast<std::uint32_t>(type), std::move(data)};
    }
}

std::vector<RegValue> RegKey::values() const {
    std::vector<RegValue> out;
    Key k = open_key(path_, KEY_READ);
    if (!k) return out;
    DWORD max_name = 0;
    if (RegQueryInfoKeyA(k.get(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &max_name,
                         nullptr, nullptr, nullptr) != ERROR_SUCCESS)
        return out;
    std::string name(max_name + 1, '\0');
    for (DWORD i = 0;;) {
        DWORD len = static_cast<DWORD>(name.size());
        const LONG rc = RegEnumValueA(k.get(), i, name.data(), &len, nullptr, nullptr, nullptr, nullptr);
        if (rc == ERROR_MORE_DATA) {  // an ANSI name longer than the count in characters
            name.resize(name.size() * 2);
            continue;
        }
        if (rc != ERROR_SUCCESS) break;
        if (auto v = query(name.substr(0, len))) out.push_back(std::move(*v));
        ++i;
    }
    return out;
}

std::vector<std::string> RegKey::subkeys() const {
    std::vector<std::string> out;
    Key k = open_key(path_, KEY_READ);
    if (!k) return out;
    std::string name(256, '\0');  // key names are at most 255 characters
    for (DWORD i = 0;; ++i) {
        DWORD len = static_cast<DWORD>(name.size());
        if (RegEnumKeyExA(k.get(), i, name.data(), &len, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS) break;
        out.push_back(name.substr(0, len));
    }
    // The registry keeps subkeys in alphabetical order without regard to case.
    return out;
}

}  // namespace kalvorin::platform
