#include <windows.h>

#include <memory>
#include <stdexcept>

#include "platform/dynlib.h"

namespace kalvorin::platform {

namespace {

struct LocalFreer {
    void operator()(char* p) const noexcept { LocalFree(p); }
};

std::string last_error_text() {
    const DWORD code = GetLastError();
    char* raw = nullptr;
    const DWORD n = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                       FORMAT_MESSAGE_IGNORE_INSERTS,
                                   nullptr, code, 0, reinterpret_cast<char*>(&raw), 0, nullptr);
    const std::unique_ptr<char, LocalFreer> text(raw);
    std::string out = n ? std::string(text.get(), n) : "error " + std::to_string(code);
    while (!out.empty() && static_cast<unsigned char>(out.back()) <= ' ') out.pop_back();
    return out;
}

// The system's own error boxes (a missing disk, say) would block a host
// that runs unattended; the error comes back as a message instead.
HMODULE load_quietly(const std::string& path) {
    DWORD old_mode = 0;
    SetThreadErrorMode(SEM_FAILCRITICALERRORS | SEM_NOOPENFILEERRORBOX, &old_mode);
    HMODULE h = LoadLibraryA(path.c_str());
    const DWORD err = GetLastError();
    SetThreadErrorMode(old_mode, nullptr);
    SetLastError(err);
    return h;
}

}  // namespace

DynLib::DynLib(const std::string& path) : handle_(load_quietly(path)) {
    if (!handle_) throw std::runtime_error(path + ": " + last_error_text());
}

DynLib::~DynLib() {
    if (handle_) FreeLibrary(static_cast<HMODULE>(handle_));
}

void* DynLib::symbol(const std::string& name) const {
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle_), name.c_str()));
}

}  // namespace kalvorin::platform
