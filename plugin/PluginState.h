#pragma once
// The plug-in's process-wide state, filled by TBP_Initialize.
#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "CodigoComun/BaseFiles.h"
#include "CodigoComun/ExtImgRule.h"
#include "platform/held_folder.h"
#include "platform/lock.h"

namespace kalvorin {

struct PluginState {
    std::string basefolder;
    BaseFiles files;  // the paths of basefolder's files
    std::string version;
    std::int32_t secure = 0;
    std::int32_t trash = 0;
    std::int32_t suspect = 0;
    bool uppercase = false;
    bool up50kb = false;
    std::int32_t logsize = 0;
    std::string logfile;
    ExtImgRule extimg = ExtImgRule::none;
    std::int32_t mailcount = 0;
    // The compiled lists this initialisation wrote, in list order: finalisation
    // empties those and no other file.
    std::array<bool, 3> compiled{};
    // Held from initialisation to finalisation: see take_base_folder. Every
    // file of the base folder is opened in the folder held.
    std::unique_ptr<platform::HeldFolder> folder;
    std::optional<platform::FileLock> lock;
    // What this session (initialisation to the next) has told on standard
    // error; each is told once.
    bool told_log_failure = false;
    bool told_scoring_stopped = false;
};

// How long initialisation waits for another program to let go of the base
// folder, unless KALVORIN_LOCK_WAIT gives a number of seconds.
inline constexpr int kLockWaitSeconds = 60;

inline constexpr const char* kLogBanner = "K A L V O R I  L O G  F I L E";

PluginState& plugin_state();

// TBP_Initialize's steps in order. Raises InitFailure naming the step that
// failed; the earlier steps stay done and no later one runs. A log that
// cannot be reset or written stops nothing (go_on_without_the_log).
void initialize();
// Truncates the compiled lists the last initialisation wrote; raises at the
// first that fails. Lets go of the base folder, and ends the session,
// either way.
void finalize();
// Raises EInOutError when the base folder's path leads to another folder
// than the one held since initialisation: it was moved away and another put
// in its place.
void check_base_folder();
// Whether an initialisation got as far as the log's path, and no
// finalisation came after it: otherwise there is no base folder of this
// host's to score against.
bool initialised();

// The text of TBP_GetName: "Kalvorin in " + base folder.
std::string plugin_name();

// Copies at most size bytes of text into buffer, without a terminating zero.
// A null buffer or a negative size asks for the text's length.
std::int32_t copy_out(const std::string& text, char* buffer, std::int32_t size);

}  // namespace kalvorin
