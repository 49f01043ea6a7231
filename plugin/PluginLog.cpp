#include "plugin/PluginLog.h"

#include "CodigoComun/LogQueue.h"
#include "CodigoComun/Texto.h"
#include "plugin/PluginState.h"

namespace kalvorin {

void log_append(const std::string& path, const std::string& text) { log_queue().append(path, text); }

void write_log(std::int32_t count, const std::string& text) {
    const std::string line = trim(text);
    for (std::int32_t i = 0; i < count; ++i) log_append(plugin_state().logfile, line);
}

void log_reset(const std::string& path) { log_queue().reset(path); }

}  // namespace kalvorin
