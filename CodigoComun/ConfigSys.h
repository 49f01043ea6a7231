#pragma once
// The shared settings: their sections, value names, types and defaults, and
// the version file. Nothing is cached; every call goes to the store anew.
#include <cstdint>
#include <string>

#include "CodigoComun/BaseFiles.h"
#include "CodigoComun/EasyRegistry.h"

namespace kalvorin {

inline constexpr const char* kAppKey = "kalvorin";

// The stored base folder with the platform separator appended, leading and
// trailing blanks and control characters removed.
std::string get_basefolder();

// The paths of the files of the stored base folder: a program's one way to
// reach them.
BaseFiles stored_base_files();

// First line of base folder + "version.ini", trimmed. Raises EInOutError when
// the file cannot be read.
std::string get_version();
std::string get_version(const BaseFiles& files);

class clsConfigSys {
public:
    std::string get_basefolder() const;
    void get_scores(std::int32_t& secure, std::int32_t& trash, std::int32_t& suspect) const;
    std::string get_extimg() const;
    bool get_uppercase() const;
    bool get_xpertmode() const;
    bool get_up50kb() const;
    std::int32_t get_logsize() const;
    std::string get_version() const;

    // Setters (configuration program only; ConfigSysWrite.cpp).
    void set_basefolder(const std::string& folder) const;
    void set_scores(std::int32_t secure, std::int32_t trash, std::int32_t suspect) const;
    void set_extimg(const std::string& rule) const;
    void set_uppercase(bool on) const;
    void set_xpertmode(bool on) const;
    void set_up50kb(bool on) const;
    void set_logsize(std::int32_t size) const;
};

namespace settings {
// Sections and value names, shared by the getters and the setters.
inline constexpr const char* kDirectorys = "directorys";
inline constexpr const char* kScores = "scores";
inline constexpr const char* kSettings = "settings";
inline constexpr const char* kBasefolder = "basefolder";
inline constexpr const char* kSecure = "secure";
inline constexpr const char* kTrash = "trash";
inline constexpr const char* kSuspect = "suspect";
inline constexpr const char* kExtimg = "extimg";
inline constexpr const char* kUppercase = "uppercase";
inline constexpr const char* kXpertmode = "xpertmode";
inline constexpr const char* kUp50kb = "up50kb";
inline constexpr const char* kLogsize = "logsize";

// The defaults that every reader of these values uses.
inline constexpr std::int32_t kDefaultSecure = -1000;
inline constexpr std::int32_t kDefaultTrash = 1000;
inline constexpr std::int32_t kDefaultSuspect = 70;
inline constexpr std::int32_t kDefaultLogsize = 9;

// The log sizes the window takes, and that the plug-in and the log's readers
// obey. The log holds at most that many messages and is the window's only
// history of the mail, so a thousand keeps weeks of it for most users while
// the file stays within a few hundred megabytes even at the 50000-byte cap.
// A stored value outside (0 would divide by zero, a negative one or one of
// millions would let the log grow without end) counts as the default.
inline constexpr std::int32_t kMinLogsize = 1;
inline constexpr std::int32_t kMaxLogsize = 1000;
constexpr std::int32_t logsize_in_force(std::int32_t stored) {
    return stored >= kMinLogsize && stored <= kMaxLogsize ? stored : kDefaultLogsize;
}

// A registry accessor on \Software\kalvorin\<name>.
clsRegistry section(const char* name);
}  // namespace settings

}  // namespace kalvorin
