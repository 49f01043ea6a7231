// The writing half of the registry access.
#include <windows.h>

#include "platform/errors.h"
#include "platform/registry.h"
#include "platform/win/reg_key.h"

namespace kalvorin::platform {

using winreg::Key;
using winreg::normalise;
using winreg::open_key;

std::optional<RegKey> RegKey::create(const std::string& path) {
    const std::string p = normalise(path);
    HKEY k = nullptr;
    if (RegCreateKeyExA(HKEY_CURRENT_USER, p.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr,
                        &k, nullptr) != ERROR_SUCCESS)
        return std::nullopt;
    Key closer(k);
    return RegKey(p);
}

bool RegKey::set(const std::string& name, std::uint32_t type, const std::string& data) const {
    Key k = open_key(path_, KEY_ALL_ACCESS);
    // For string types the system stores one byte more when the data lacks its
    // final NUL and a NUL follows it in memory; a non-zero byte there keeps
    // the stored bytes exactly the data.
    const std::string guarded = data + '\x01';
    return k && RegSetValueExA(k.get(), name.c_str(), 0, type, reinterpret_cast<const BYTE*>(guarded.data()),
                               static_cast<DWORD>(data.size())) == ERROR_SUCCESS;
}

bool RegKey::remove_value(const std::string& name) const {
    Key k = open_key(path_, KEY_ALL_ACCESS);
    return k && RegDeleteValueA(k.get(), name.c_str()) == ERROR_SUCCESS;
}

bool reg_delete_key(const std::string& path) {
    const std::string p = normalise(path);
    if (p.empty()) return false;
    return RegDeleteTreeA(HKEY_CURRENT_USER, p.c_str()) == ERROR_SUCCESS;
}

// Windows keeps access rights in the key's security descriptor, which the
// Registry Editor edits; the settings tool does not change them.
bool reg_set_denied(const std::string&, bool) {
    throw ERegistryError(
        "ERROR: deny and allow are not available on Windows; set the key's permissions in the Registry Editor.");
}

}  // namespace kalvorin::platform
