// The host's reading of mail: an mbox cut into messages, each message's six
// parts as the host hands them over, and the conversion of decoded texts into
// Windows-1252, which must give what GLib gives for the whole text.
#include <glib.h>

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "fuzz/FuzzSupport.h"
#include "host/MimeParts.h"
#include "host/Sources.h"

namespace {

using namespace kalvorin;
using fuzz::finding;
using fuzz::shown;

constexpr std::size_t kMaxMessages = 4;

struct GFree {
    void operator()(char* p) const noexcept { g_free(p); }
};

std::string glib_cp1252(const std::string& text) {
    gsize written = 0;
    const std::unique_ptr<char, GFree> out(
        g_convert_with_fallback(text.c_str(), -1, "CP1252", "UTF-8", "?", nullptr, &written, nullptr));
    return out ? std::string(out.get(), written) : text.substr(0, text.find('\0'));
}

void parts_of(const std::string& raw) {
    const host::MessageParts parts = host::extract_parts(raw);
    if (parts[kPartRawMessage] != raw) finding("the raw message is not the message");
    if (!raw.starts_with(host::header_block(raw))) finding("the header block is not the start of the message");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string raw(reinterpret_cast<const char*>(data), size);
    parts_of(raw);
    const std::vector<std::string> messages = host::split_mbox(raw);
    std::size_t from = 0;
    for (const std::string& m : messages) {
        const std::size_t at = raw.find(m, from);
        if (at == std::string::npos) finding("mbox message '" + shown(m) + "' is not in the file in its order");
        from = at + m.size();
    }
    for (std::size_t k = 0; k < messages.size() && k < kMaxMessages; ++k) parts_of(messages[k]);
    const std::string converted = host::to_cp1252(raw.c_str());
    const std::string want = glib_cp1252(raw);
    if (converted != want)
        finding("to_cp1252('" + shown(raw) + "') is '" + shown(converted) + "', GLib gives '" + shown(want) + "'");
    return 0;
}
