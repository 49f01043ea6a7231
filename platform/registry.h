#pragma once
// The current user's registry hive (HKEY_CURRENT_USER). Key paths are
// backslash-separated and relative to the hive root ("Software\kalvorin\scores");
// key and value names compare without regard to ASCII case. Each call opens
// the store, does one operation and closes it again; where the store is a
// settings file, a read may instead be answered from the last one while the
// file is provably unchanged.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kalvorin::platform {

enum RegType : std::uint32_t {
    kRegNone = 0,
    kRegSz = 1,
    kRegExpandSz = 2,
    kRegBinary = 3,
    kRegDword = 4,
    kRegMultiSz = 7,
    kRegQword = 11,
};

// Numbers are stored little-endian: a REG_DWORD in 4 bytes, a REG_QWORD in 8.
inline std::string little_endian(std::uint64_t value, int bytes) {
    std::string out;
    for (int i = 0; i < bytes; ++i) out.push_back(static_cast<char>((value >> (8 * i)) & 0xFF));
    return out;
}

// The number of the first bytes of data, 8 at most.
inline std::uint64_t from_little_endian(const std::string& data, std::size_t bytes = 8) {
    std::uint64_t value = 0;
    for (std::size_t i = 0; i < data.size() && i < bytes && i < 8; ++i)
        value |= static_cast<std::uint64_t>(static_cast<unsigned char>(data[i])) << (8 * i);
    return value;
}

struct RegValue {
    std::string name;
    std::uint32_t type = kRegNone;
    std::string data;  // the exact data bytes
};

// An open key. Opening fails (nullopt) when the key is missing, or when full
// access is asked for and the key is write-denied.
class RegKey {
public:
    // Opens the key with full access, without creating anything.
    static std::optional<RegKey> open(const std::string& path);
    // Opens the key with full access, creating it and every missing key above it.
    static std::optional<RegKey> create(const std::string& path);
    // Opens the key for reading only (a write-denied key opens too).
    static std::optional<RegKey> open_read(const std::string& path);

    // The value's type and data; nullopt when it does not exist.
    std::optional<RegValue> query(const std::string& name) const;
    // Sets the value; false when it cannot be set.
    bool set(const std::string& name, std::uint32_t type, const std::string& data) const;
    // Every value of the key, in the order they were created.
    std::vector<RegValue> values() const;
    // The names of the key's direct subkeys, in alphabetical order without
    // regard to ASCII case.
    std::vector<std::string> subkeys() const;
    bool remove_value(const std::string& name) const;

    const std::string& path() const { return path_; }

private:
    explicit RegKey(std::string path) : path_(std::move(path)) {}
    std::string path_;  // as stored, without a leading backslash
};

// The value as RegKey::open(path) and then query(name) give it; nullopt when
// either gives nothing. Where reads are remembered, the two take one look at
// whether the settings file changed.
std::optional<RegValue> reg_read(const std::string& path, const std::string& name);

// Deletes the key with its values and subkeys; false when it does not exist.
bool reg_delete_key(const std::string& path);
// Marks the key write-denied (true) or clears the mark; false when it does not
// exist. Only the settings file of other systems has the mark: on Windows it
// raises ERegistryError.
bool reg_set_denied(const std::string& path, bool denied);

// The hive's file, for messages.
std::string hive_location();

}  // namespace kalvorin::platform
