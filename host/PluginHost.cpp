#include "host/PluginHost.h"

#include <algorithm>
#include <cstring>
#include <functional>
#include <string_view>
#include <stdexcept>
#include <vector>

namespace kalvorin::host {

namespace {

template <typename Fn>
Fn resolve(const platform::DynLib& lib, const char* name) {
    void* p = lib.symbol(name);
    if (!p) throw std::runtime_error(std::string("the plug-in does not export ") + name);
    return reinterpret_cast<Fn>(p);
}

std::int32_t KALVORIN_STDCALL part_callback(HostArg hostarg, std::int32_t part, char* buffer, std::int32_t size) {
    if (!is_part_number(part)) return 0;
    const auto* parts = reinterpret_cast<const MessageParts*>(hostarg);
    const std::string& text = (*parts)[part];
    const auto len = static_cast<std::int32_t>(std::min<std::size_t>(text.size(), INT32_MAX));
    if (buffer == nullptr) return len;
    const std::int32_t n = std::min(len, std::max(size, 0));
    if (n > 0) std::memcpy(buffer, text.data(), static_cast<std::size_t>(n));
    return n;
}

}  // namespace

PluginHost::PluginHost(const std::string& path)
    : lib_(path),
      initialize_(resolve<TBP_Initialize_t>(lib_, "TBP_Initialize")),
      finalize_(resolve<TBP_Finalize_t>(lib_, "TBP_Finalize")),
      get_name_(resolve<TBP_GetText_t>(lib_, "TBP_GetName")),
      get_version_(resolve<TBP_GetText_t>(lib_, "TBP_GetVersion")),
      get_spam_score_(resolve<TBP_GetSpamScore_t>(lib_, "TBP_GetSpamScore")) {
    // The other four are resolved too, so that a library missing any of the
    // nine is refused, although the host does not call them.
    for (const char* name : {"TBP_GetStatus", "TBP_NeedConfig", "TBP_NeedCOM", "TBP_Setup"})
        resolve<TBP_GetInt_t>(lib_, name);
}

std::string PluginHost::fetch_text(TBP_GetText_t fn) {
    const std::int32_t len = fn(nullptr, 0);
    if (len <= 0) return std::string();
    std::vector<char> buf(static_cast<std::size_t>(len));
    const std::int32_t got = fn(buf.data(), len);
    return std::string(buf.data(), static_cast<std::size_t>(std::clamp(got, 0, len)));
}

// Each line the plug-in prints is a failure; the one that names its
// initialisation means nothing was set up to score with.
void PluginHost::watched(const std::function<void()>& call) {
    const std::string printed = watch_.during(call);
    std::string_view rest = printed;
    while (!rest.empty()) {
        const std::size_t nl = std::min(rest.find('\n'), rest.size());
        const std::string_view line = rest.substr(0, nl);
        if (line.starts_with("Kalvorin: initialisation stopped"))
            reports_.init_failed = true;
        else if (line.starts_with("Kalvorin: "))
            reports_.other = true;
        rest.remove_prefix(std::min(nl + 1, rest.size()));
    }
}

void PluginHost::initialize() {
    watched([this] { initialize_(); });
}

void PluginHost::finalize() {
    watched([this] { finalize_(); });
}

std::int32_t PluginHost::score(const MessageParts& parts) {
    std::int32_t score = 0;
    watched([&] { score = get_spam_score_(reinterpret_cast<HostArg>(&parts), part_callback); });
    return score;
}

}  // namespace kalvorin::host
