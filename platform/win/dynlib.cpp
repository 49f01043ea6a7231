#include <windows.h>

#include <stdexcept>

#include "platform/dynlib.h"

namespace kalvorin::platform {

namespace {

std::string last_error_text() {
    const DWORD code = GetLastError();
    char* text = nullptr;
    const DWORD n = FormatMessageA(FORMAT_MESSAGE_ALLOCATE_BUFFER | FORMAT_MESSAGE_FROM_SYSTEM |
                                       FORMAT_MESSAGE_IGNORE_INSERTS,
                                   nullptr, code, 0, reinterpret_cast<char*>(&text), 0, nullptr);
    std::string out = n ? std::string(text, n) : "error " + std::to_string(code);
    LocalFree(text);
    while (!out.empty() && static_cast<unsigned char>(out.back()) <= ' ') out.pop_back();
    return out;
}

}  // namespace

DynLib::DynLib(const std::string& path) : handle_(LoadLibraryA(path.c_str())) {
    if (!handle_) throw std::runtime_error(path + ": " + last_error_text());
}

DynLib::~DynLib() {
    if (handle_) FreeLibrary(static_cast<HMODULE>(handle_));
}

void* DynLib::symbol(const std::string& name) const {
    return reinterpret_cast<void*>(GetProcAddress(static_cast<HMODULE>(handle_), name.c_str()));
}

}  // namespace kalvorin::platform
