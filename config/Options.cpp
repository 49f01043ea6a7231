#include "config/Options.h"

#include "CodigoComun/ConfigSys.h"
#include "config/IntConversion.h"

namespace kalvorin::config {

std::optional<std::int32_t> logsize_of(std::string_view field) {
    const std::optional<std::int32_t> typed = str_to_int(field);
    if (!typed) return kDefaultLogsize;
    if (*typed < settings::kMinLogsize || *typed > settings::kMaxLogsize) return std::nullopt;
    return typed;
}

OptionValues store_options(const OptionFields& fields) {
    OptionValues v;
    v.secure = str_to_int_def(fields.secure, kDefaultSecure);
    v.trash = str_to_int_def(fields.trash, kDefaultTrash);
    v.suspect = str_to_int_def(fields.suspect, kDefaultSuspect);
    v.extimg = fields.extimg;
    v.uppercase = fields.uppercase;
    v.xpertmode = fields.xpertmode;
    v.up50kb = fields.up50kb;
    v.logsize = settings::logsize_in_force(str_to_int_def(fields.logsize, kDefaultLogsize));

    clsConfigSys config;
    config.set_scores(v.secure, v.trash, v.suspect);
    config.set_extimg(v.extimg);
    config.set_uppercase(v.uppercase);
    config.set_xpertmode(v.xpertmode);
    config.set_up50kb(v.up50kb);
    config.set_logsize(v.logsize);
    return v;
}

}  // namespace kalvorin::config
