#pragma once
// The plug-in's process-wide state, filled by TBP_Initialize.
#include <array>
#include <cstdint>
#include <string>

#include "CodigoComun/FileNames.h"

namespace kalvorin {

struct PluginState {
    std::string basefolder;
    std::string version;
    std::int32_t secure = 0;
    std::int32_t trash = 0;
    std::int32_t suspect = 0;
    bool uppercase = false;
    bool up50kb = false;
    std::int32_t logsize = 0;
    std::string logfile;
    std::string extimg;
    std::int32_t mailcount = 0;
    // The compiled lists this initialisation wrote, in list order: finalisation
    // empties those and no other file.
    std::array<bool, 3> compiled{};
};

inline constexpr const char* kLogBanner = "K A L V O R I  L O G  F I L E";

PluginState& plugin_state();

// TBP_Initialize's steps in order. Raises InitFailure naming the step that
// failed; the earlier steps stay done and no later one runs.
void initialize();
// Truncates the compiled lists the last initialisation wrote; raises at the
// first that fails.
void finalize();

// The text of TBP_GetName: "Kalvorin in " + base folder.
std::string plugin_name();

// Copies at most size bytes of text into buffer, without a terminating zero.
// A null buffer or a negative size asks for the text's length.
std::int32_t copy_out(const std::string& text, char* buffer, std::int32_t size);

}  // namespace kalvorin
