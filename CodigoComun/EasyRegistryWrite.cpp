#include "CodigoComun/EasyRegistry.h"
#include "platform/errors.h"
#include "platform/registry.h"

namespace kalvorin {

namespace {
void write_value(const std::string& path, const std::string& name, std::uint32_t type, const std::string& data) {
    auto key = platform::RegKey::create(path);
    if (!key) return;
    if (!key->set(name, type, data)) throw ERegistryError("Failed to set data for '" + name + "'");
}
}  // namespace

void clsRegistry::write_str(const std::string& name, const std::string& value) const {
    // REG_SZ: the characters and one NUL.
    write_value(key_path(), name, platform::kRegSz, value + '\0');
}

void clsRegistry::write_int(const std::string& name, std::int32_t value) const {
    write_value(key_path(), name, platform::kRegDword, encode_dword(static_cast<std::uint32_t>(value)));
}

}  // namespace kalvorin
