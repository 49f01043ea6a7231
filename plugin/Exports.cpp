// The nine exports. No exception leaves any of them.
#include <exception>
#include <string>

#include "plugin/PluginLog.h"
#include "plugin/PluginState.h"
#include "plugin/Scoring.h"
#include "plugin/Tell.h"
#include "kalvorin/tbp.h"

namespace {

enum class Report { StandardError, AlsoLog };

// Initialisation and finalisation have no result, so a failure is told to a
// person on standard error and, for initialisation, in the log when it can be
// written (finalisation leaves the log alone).
void report_failure(const std::string& what, Report where) noexcept {
    kalvorin::tell(what);
    if (where != Report::AlsoLog) return;
    try {
        const std::string& log = kalvorin::plugin_state().logfile;
        if (!log.empty()) kalvorin::log_append(log, "Kalvorin: " + what);
    } catch (...) {
    }
}

template <typename F>
void guarded(const char* what, F&& body, Report where = Report::StandardError) noexcept {
    try {
        body();
    } catch (const std::exception& e) {
        report_failure(std::string(what) + e.what(), where);
    } catch (...) {
        report_failure(std::string(what) + "unknown error", where);
    }
}

std::int32_t text_out(const char* what, std::string (*text)(), char* buffer, std::int32_t size) noexcept {
    std::int32_t n = 0;
    guarded(what, [&] { n = kalvorin::copy_out(text(), buffer, size); });
    return n;
}

std::string version_text() { return kalvorin::plugin_state().version; }

}  // namespace

extern "C" {

KALVORIN_EXPORT void KALVORIN_STDCALL TBP_Initialize() {
    guarded("", [] { kalvorin::initialize(); }, Report::AlsoLog);
}

KALVORIN_EXPORT void KALVORIN_STDCALL TBP_Finalize() {
    guarded("finalisation stopped: ", [] { kalvorin::finalize(); });
}

KALVORIN_EXPORT std::int32_t KALVORIN_STDCALL TBP_GetName(char* buffer, std::int32_t size) {
    return text_out("TBP_GetName: ", kalvorin::plugin_name, buffer, size);
}

KALVORIN_EXPORT std::int32_t KALVORIN_STDCALL TBP_GetVersion(char* buffer, std::int32_t size) {
    return text_out("TBP_GetVersion: ", version_text, buffer, size);
}

KALVORIN_EXPORT std::int32_t KALVORIN_STDCALL TBP_GetStatus() { return 0; }
KALVORIN_EXPORT std::int32_t KALVORIN_STDCALL TBP_NeedConfig() { return 0; }
KALVORIN_EXPORT std::int32_t KALVORIN_STDCALL TBP_NeedCOM() { return 0; }
KALVORIN_EXPORT std::int32_t KALVORIN_STDCALL TBP_Setup() { return 0; }

KALVORIN_EXPORT std::int32_t KALVORIN_STDCALL TBP_GetSpamScore(kalvorin::HostArg hostarg,
                                                                kalvorin::HostCallback hostcallback) {
    return kalvorin::get_spam_score(hostarg, hostcallback);
}

}  // extern "C"
