// A plug-in for the tests of --filter's time limit. It hands every call on
// to Kalvorin.TBP, which takes the base folder's lock as ever, but stalls in
// the scoring as KALVORIN_STALL says: "stop" stops itself (SIGSTOP),
// anything else waits for ever. Before it stalls it writes its process id
// to the file KALVORIN_STALL_PIDS.
#include <dlfcn.h>
#include <signal.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <memory>
#include <string>

#include "kalvorin/tbp.h"

namespace {

struct LibCloser {
    void operator()(void* handle) const noexcept { ::dlclose(handle); }
};

template <typename Fn>
Fn real(const char* name) {
    static const std::unique_ptr<void, LibCloser> lib(::dlopen(KALVORIN_REAL_PLUGIN, RTLD_NOW | RTLD_LOCAL));
    void* fn = lib ? ::dlsym(lib.get(), name) : nullptr;
    if (!fn) std::abort();
    return reinterpret_cast<Fn>(fn);
}

std::string env(const char* name) {
    const char* value = std::getenv(name);
    return value ? value : "";
}

[[noreturn]] void stall(const std::string& how) {
    std::ofstream(env("KALVORIN_STALL_PIDS")) << ::getpid() << std::endl;
    if (how == "stop") ::raise(SIGSTOP);
    for (;;) ::pause();
}

}  // namespace

extern "C" {

void TBP_Initialize() { real<TBP_Initialize_t>("TBP_Initialize")(); }
void TBP_Finalize() { real<TBP_Finalize_t>("TBP_Finalize")(); }
int32_t TBP_GetName(char* buffer, int32_t size) { return real<TBP_GetText_t>("TBP_GetName")(buffer, size); }
int32_t TBP_GetVersion(char* buffer, int32_t size) { return real<TBP_GetText_t>("TBP_GetVersion")(buffer, size); }
int32_t TBP_GetStatus() { return real<TBP_GetInt_t>("TBP_GetStatus")(); }
int32_t TBP_NeedConfig() { return real<TBP_GetInt_t>("TBP_NeedConfig")(); }
int32_t TBP_NeedCOM() { return real<TBP_GetInt_t>("TBP_NeedCOM")(); }
int32_t TBP_Setup() { return real<TBP_GetInt_t>("TBP_Setup")(); }

int32_t TBP_GetSpamScore(TBP_HostArg, TBP_HostCallback) { stall(env("KALVORIN_STALL")); }

}  // extern "C"
