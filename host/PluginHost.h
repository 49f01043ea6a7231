#pragma once
// Loads Kalvorin.TBP, resolves its nine exports and drives them as the mail
// client would.
#include <cstdint>
#include <string>

#include "host/MessageParts.h"
#include "platform/dynlib.h"
#include "kalvorin/tbp.h"

namespace kalvorin::host {

class PluginHost {
public:
    // Raises std::runtime_error when the library cannot be loaded or an export
    // is missing (the message names it).
    explicit PluginHost(const std::string& path);

    void initialize() const { initialize_(); }
    void finalize() const { finalize_(); }
    std::string name() const { return fetch_text(get_name_); }
    std::string version() const { return fetch_text(get_version_); }
    // Scores one message; the callback hands each part's bytes by the two-call protocol.
    std::int32_t score(const MessageParts& parts) const;

private:
    // The length with a null buffer, then the text into a buffer of that size.
    static std::string fetch_text(TBP_GetText_t fn);

    platform::DynLib lib_;
    TBP_Initialize_t initialize_;
    TBP_Finalize_t finalize_;
    TBP_GetText_t get_name_;
    TBP_GetText_t get_version_;
    TBP_GetSpamScore_t get_spam_score_;
};

}  // namespace kalvorin::host
