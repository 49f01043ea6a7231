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

}  // namespace kalvorin
