#pragma once
// The names of the files that the programs share, appended as they are to the
// base folder (or the program folder).
#include <array>

namespace kalvorin {

// The three lists in list order: 1 secure, 2 trash, 3 suspect.
inline constexpr std::array<const char*, 3> kListNames = {"secure", "trash", "suspect"};
inline constexpr const char* kTextSuffix = ".filters.txt";      // the list the user edits
inline constexpr const char* kCompiledSuffix = ".filters.dat";  // the plug-in's copy of it
inline constexpr const char* kPendingSuffix = ".edt.tmp";       // lines added since the last save
inline constexpr const char* kLogName = "plugin.log.txt";
inline constexpr const char* kStagingFile = "~tmp.dat";         // the bulk page's work file
// The plug-in's lock on the base folder. Its own file, never written and
// never removed: the log and the compiled lists are emptied, deleted and
// created again while the plug-in runs, and a lock on a file that is
// replaced keeps no one out. Named after the plug-in, whose lock it is.
inline constexpr const char* kLockName = "plugin.lock";
inline constexpr const char* kVersionFile = "version.ini";
// The window's texts: English first, then the user's language over them.
inline constexpr std::array<const char*, 2> kLanguageFiles = {"lang.eng.txt", "lang.txt"};
// Beside the window's program, it keeps the base folder setting as it is.
inline constexpr const char* kKeepBaseFolderMarker = "depure.dat";
// The help texts the window opens.
inline constexpr const char* kFilterHelpFile = "filters.hlp.txt";
inline constexpr const char* kReadmeFile = "leame.txt";
inline constexpr const char* kFaqFile = "faq.txt";

}  // namespace kalvorin
