// The settings store's reader on any bytes as the hive file: a sound hive, a
// cut one, one of another layout, or no database at all. Every read gives a
// value or raises the store's own error; nothing else may come out.
#include <cstddef>
#include <cstdint>
#include <sstream>
#include <string>
#include <string_view>

#include "CodigoComun/ConfigSys.h"
#include "fuzz/FuzzSupport.h"
#include "platform/errors.h"
#include "platform/registry.h"
#include "tools/RegTool.h"

namespace {

using namespace kalvorin;

template <class Read>
void read(Read r) {
    try {
        r();
    } catch (const KalvorinError&) {
    }
}

void settings_read() {
    const clsConfigSys cfg;
    std::int32_t secure = 0, trash = 0, suspect = 0;
    read([] { get_basefolder(); });
    read([&] { cfg.get_scores(secure, trash, suspect); });
    read([&] { cfg.get_extimg(); });
    read([&] { cfg.get_uppercase(); });
    read([&] { cfg.get_xpertmode(); });
    read([&] { cfg.get_up50kb(); });
    read([&] { cfg.get_logsize(); });
}

void keys() {
    read([] {
        for (const char* path : {"", "Software\\kalvorin", "Software\\kalvorin\\settings"}) {
            const auto key = platform::RegKey::open_read(path);
            if (!key) continue;
            key->values();
            for (const std::string& name : key->subkeys()) platform::RegKey::open(std::string(path) + "\\" + name);
        }
    });
}

void query_tool() {
    std::istringstream in;
    std::ostringstream out, err;
    const int status = tools::reg_command({"query", "HKCU\\Software\\kalvorin\\scores"}, {in, false, out, err});
    if (status != 0 && status != 1) fuzz::finding("kalvorin-reg query ended with " + std::to_string(status));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    fuzz::base_folder();
    fuzz::replace_hive(std::string_view(reinterpret_cast<const char*>(data), size));
    settings_read();
    keys();
    query_tool();
    return 0;
}
