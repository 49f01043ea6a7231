#include "platform/dynlib.h"

#include <dlfcn.h>

#include <stdexcept>

namespace kalvorin::platform {

DynLib::DynLib(const std::string& path) : handle_(::dlopen(path.c_str(), RTLD_NOW | RTLD_LOCAL)) {
    if (!handle_) {
        const char* err = ::dlerror();
        throw std::runtime_error(err ? err : ("cannot load " + path));
    }
}

DynLib::~DynLib() {
    if (handle_) ::dlclose(handle_);
}

void* DynLib::symbol(const std::string& name) const { return ::dlsym(handle_, name.c_str()); }

}  // namespace kalvorin::platform
