#include "ConfigSys.h"

#include "CodigoComun/EasyRegistry.h"
#include "CodigoComun/ExtImgRule.h"
#include "CodigoComun/Texto.h"
#include "platform/paths.h"
#include "platform/textfile.h"

namespace kalvorin {

clsRegistry settings::section(const char* name) {
    clsRegistry reg;
    reg.init(kAppKey);
    reg.set_section(name);
    return reg;
}

namespace {

using settings::section;

// Boolean texts: only the exact lower-case "true" is true.
bool read_bool(const char* name, const char* def) {
    return section(settings::kSettings).read_str(name, def) == "true";
}

}  // namespace

std::string get_basefolder() {
    return trim(section(settings::kDirectorys).read_str(settings::kBasefolder, ".") + platform::path_separator());
}

BaseFiles stored_base_files() { return BaseFiles(get_basefolder()); }

std::string get_version() { return get_version(stored_base_files()); }

std::string get_version(const BaseFiles& files) {
    platform::TextReader r(files.version(), platform::Place::BaseFolder);
    std::string line;
    r.next_line(line);
    return trim(line);
}

std::string clsConfigSys::get_basefolder() const { return kalvorin::get_basefolder(); }

std::string clsConfigSys::get_version() const { return kalvorin::get_version(); }

void clsConfigSys::get_scores(std::int32_t& secure, std::int32_t& trash, std::int32_t& suspect) const {
    clsRegistry reg = section(settings::kScores);
    secure = reg.read_int(settings::kSecure, settings::kDefaultSecure);
    trash = reg.read_int(settings::kTrash, settings::kDefaultTrash);
    suspect = reg.read_int(settings::kSuspect, settings::kDefaultSuspect);
}

std::string clsConfigSys::get_extimg() const { return section(settings::kSettings).read_str(settings::kExtimg, setting_of(ExtImgRule::none)); }

bool clsConfigSys::get_uppercase() const { return read_bool(settings::kUppercase, "true"); }

bool clsConfigSys::get_xpertmode() const { return read_bool(settings::kXpertmode, "false"); }

bool clsConfigSys::get_up50kb() const { return read_bool(settings::kUp50kb, "true"); }

std::int32_t clsConfigSys::get_logsize() const { return section(settings::kSettings).read_int(settings::kLogsize, settings::kDefaultLogsize); }

}  // namespace kalvorin
