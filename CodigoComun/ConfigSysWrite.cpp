#include "CodigoComun/ConfigSys.h"
#include "CodigoComun/EasyRegistry.h"

namespace kalvorin {

namespace {
using settings::section;
void write_bool(const char* name, bool on) { section(settings::kSettings).write_str(name, on ? "true" : "false"); }
}  // namespace

void clsConfigSys::set_basefolder(const std::string& folder) const {
    section(settings::kDirectorys).write_str(settings::kBasefolder, folder);
}

void clsConfigSys::set_scores(std::int32_t secure, std::int32_t trash, std::int32_t suspect) const {
    clsRegistry reg = section(settings::kScores);
    reg.write_int(settings::kSecure, secure);
    reg.write_int(settings::kTrash, trash);
    reg.write_int(settings::kSuspect, suspect);
}

void clsConfigSys::set_extimg(const std::string& rule) const { section(settings::kSettings).write_str(settings::kExtimg, rule); }

void clsConfigSys::set_uppercase(bool on) const { write_bool(settings::kUppercase, on); }

void clsConfigSys::set_xpertmode(bool on) const { write_bool(settings::kXpertmode, on); }

void clsConfigSys::set_up50kb(bool on) const { write_bool(settings::kUp50kb, on); }

void clsConfigSys::set_logsize(std::int32_t size) const { section(settings::kSettings).write_int(settings::kLogsize, size); }

}  // namespace kalvorin
