#pragma once
// Loads Kalvorin.TBP, resolves its nine exports and drives them as the mail
// client would.
#include <cstdint>
#include <string>

#include "host/StderrWatch.h"
#include "kalvorin/parts.h"
#include "kalvorin/tbp.h"
#include "platform/dynlib.h"

namespace kalvorin::host {

// What the plug-in reported on standard error.
struct PluginReports {
    bool init_failed = false;  // its initialisation stopped
    bool other = false;        // another failure: its log, or a message's scoring
};

class PluginHost {
public:
    // Raises std::runtime_error when the library cannot be loaded or an export
    // is missing (the message names it).
    explicit PluginHost(const std::string& path);

    void initialize();
    void finalize();
    std::string name() const { return fetch_text(get_name_); }
    std::string version() const { return fetch_text(get_version_); }
    // Scores one message; the callback hands each part's bytes by the two-call protocol.
    std::int32_t score(const MessageParts& parts);
    const PluginReports& reports() const { return reports_; }

private:
    void watched(const std::function<void()>& call);

    // The length with a null buffer, then the text into a buffer of that size.
    static std::string fetch_text(TBP_GetText_t fn);

    platform::DynLib lib_;
    TBP_Initialize_t initialize_;
    TBP_Finalize_t finalize_;
    TBP_GetText_t get_name_;
    TBP_GetText_t get_version_;
    TBP_GetSpamScore_t get_spam_score_;
    StderrWatch watch_;
    PluginReports reports_;
};

}  // namespace kalvorin::host
