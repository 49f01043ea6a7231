#include "EasyRegistry.h"

#include "platform/errors.h"
#include "platform/registry.h"
#include "CodigoComun/Texto.h"

namespace kalvorin {

void clsRegistry::init(const std::string& appkey) {
    appkey_ = appkey;
    section_.clear();
}

void clsRegistry::set_section(const std::string& name) { section_ = "\\" + name; }

std::string clsRegistry::key_path() const { return "\\Software\\" + appkey_ + section_; }

std::string clsRegistry::read_str(const std::string& name, const std::string& def) const {
    // Reads ask for full access too, so a write-denied key reads as missing.
    const auto value = platform::reg_read(key_path(), name);
    if (!value) return def;
    if (value->data.empty()) return std::string();
    if (value->type != platform::kRegSz && value->type != platform::kRegExpandSz)
        throw ERegistryError("Invalid data type for '" + name + "'");
    // The text ends at its first NUL; expandable strings come back unexpanded.
    return std::string(up_to_nul(value->data));
}

std::int32_t clsRegistry::read_int(const std::string& name, std::int32_t def) const {
    const auto value = platform::reg_read(key_path(), name);
    if (!value) return def;
    // The data is fetched into a 4-byte buffer before its type is looked at.
    if (value->data.size() > 4) throw ERegistryError("Failed to get data for '" + name + "'");
    if (value->type != platform::kRegDword) throw ERegistryError("Invalid data type for '" + name + "'");
    // The data bytes are read over the default, so a value of fewer than 4
    // bytes keeps the default's high bytes.
    std::string data = encode_dword(static_cast<std::uint32_t>(def));
    data.replace(0, value->data.size(), value->data);
    return static_cast<std::int32_t>(decode_dword(data));
}

std::string encode_dword(std::uint32_t value) { return platform::little_endian(value, 4); }

std::uint32_t decode_dword(const std::string& data) {
    return static_cast<std::uint32_t>(platform::from_little_endian(data, 4));
}

}  // namespace kalvorin
