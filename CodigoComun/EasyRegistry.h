#pragma once
// Typed access to the current user's settings: one key per section under
// \Software\<application key>. No handle survives a call; every read and write
// opens the key, does one value operation and closes it.
#include <cstdint>
#include <string>

namespace kalvorin {

// A REG_DWORD's data: the number as 4 bytes, least significant first.
std::string encode_dword(std::uint32_t value);
// REQUIRES: data holds exactly 4 bytes.
std::uint32_t decode_dword(const std::string& data);

class clsRegistry {
public:
    // Sets the application key and clears the section path.
    void init(const std::string& appkey);
    // Section path := "\" + name, replacing any earlier section.
    void set_section(const std::string& name);

    // The text stored under name, or the default when the key or the value is
    // missing or the key cannot be opened with full access. Raises
    // ERegistryError for a value that is not REG_SZ or REG_EXPAND_SZ.
    std::string read_str(const std::string& name, const std::string& def) const;
    // The REG_DWORD stored under name, or the default. Raises ERegistryError for
    // more than 4 data bytes ("Failed to get data") or another type.
    std::int32_t read_int(const std::string& name, std::int32_t def) const;

    // Writers (configuration program only; their code lives in EasyRegistryWrite.cpp).
    // A key that cannot be opened or created means nothing is written, silently.
    void write_str(const std::string& name, const std::string& value) const;
    void write_int(const std::string& name, std::int32_t value) const;

    // The absolute key path, "\Software\" + application key + section path.
    std::string key_path() const;

private:
    std::string appkey_;
    std::string section_;
};

}  // namespace kalvorin
