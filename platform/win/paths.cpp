#include <windows.h>

#include "platform/paths.h"

namespace kalvorin::platform {

const std::string& path_separator() {
    static const std::string sep = "\\";
    return sep;
}

std::string program_folder() {
    std::string exe(MAX_PATH, '\0');
    for (;;) {
        const DWORD n = GetModuleFileNameA(nullptr, exe.data(), static_cast<DWORD>(exe.size()));
        if (n == 0) return ".";
        if (n < exe.size()) {
            exe.resize(n);
            break;
        }
        exe.resize(exe.size() * 2);  // the name was cut: ask again with more room
    }
    const auto slash = exe.find_last_of("\\/");
    return slash == std::string::npos ? "." : exe.substr(0, slash);
}

// Windows guards a folder with its access list, inherited by the files made
// in it, which permission bits do not describe; who may write there is left
// to it.
void check_private_folder(const std::string&) {}

}  // namespace kalvorin::platform
