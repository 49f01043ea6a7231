#pragma once
// Loading a shared library and finding its exports.
#include <memory>
#include <string>

namespace kalvorin::platform {

class DynLib {
public:
    // Loads the library; raises std::runtime_error with the loader's message.
    explicit DynLib(const std::string& path);
    ~DynLib();
    DynLib(const DynLib&) = delete;
    DynLib& operator=(const DynLib&) = delete;

    // The address of an exported symbol, or nullptr.
    void* symbol(const std::string& name) const;

private:
    void* handle_;
};

}  // namespace kalvorin::platform
