#include "plugin/PluginLog.h"

#include "CodigoComun/LogQueue.h"
#include "CodigoComun/Texto.h"
#include "plugin/PluginState.h"
#include "plugin/Tell.h"

namespace kalvorin {

void log_append(const std::string& path, std::string_view text) { log_queue().append(path, text); }

void write_log(std::int32_t count, std::string_view text) {
    const std::string_view line = trim_view(text);
    for (std::int32_t i = 0; i < count; ++i) log_append(plugin_state().logfile, line);
}

void log_reset(const std::string& path) { log_queue().reset(path); }

void go_on_without_the_log() {
    log_queue().on_write_failure([](const EInOutError& e) {
        bool& told = plugin_state().told_log_failure;
        if (told) return;
        told = true;
        tell("the log " + e.path() + " cannot be written: " + e.what() + "; scoring goes on without it");
    });
}

}  // namespace kalvorin
