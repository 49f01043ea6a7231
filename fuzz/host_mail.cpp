// The host's reading of mail: an mbox read message by message under a size cap, each message's six
// parts as the host hands them over, and the conversion of decoded texts into
// Windows-1252, which must give what GLib gives for the whole text.
#include <glib.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
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
constexpr std::size_t kMaxMessageSize = 2048;

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
    const MessageParts parts = host::extract_parts(raw);
    if (parts[kPartRawMessage] != raw) finding("the raw message is not the message");
    if (!raw.starts_with(host::header_block(raw))) finding("the header block is not the start of the message");
}

// The messages of the input read as an mbox, the ones above the cap left out.
std::vector<std::string> mbox_messages(const std::string& raw) {
    std::vector<std::string> out;
    if (!raw.starts_with("From ")) return out;
    const std::unique_ptr<std::FILE, int (*)(std::FILE*)> stream(fmemopen(const_cast<char*>(raw.data()), raw.size(), "rb"),
                                                                 std::fclose);
    if (!stream) return out;
    platform::LineReader in(stream.get(), "mbox");
    std::string line;
    if (in.next(line, kMaxMessageSize) == platform::LineReader::Read::Cut) in.skip_line();
    host::MboxReader reader(in, kMaxMessageSize);
    std::string message;
    bool too_big = false;
    while (reader.next(message, too_big)) {
        if (too_big && !message.empty()) finding("a message above the cap keeps bytes");
        if (!too_big && message.size() > kMaxMessageSize) finding("a message above the cap is not marked");
        if (!too_big) out.push_back(message);
    }
    return out;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string raw(reinterpret_cast<const char*>(data), size);
    parts_of(raw);
    const std::vector<std::string> messages = mbox_messages(raw);
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
