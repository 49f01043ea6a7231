// TBP_GetSpamScore with a host whose callback lies: lengths above or below
// the part's, zero and negative counts, counts that change between the two
// calls of a part, counts above the room it was given, or no callback at
// all. The plug-in must keep to the two-call protocol, never hand the host
// less room than it asked for, and return a list's score or 0.
//
// Input: the six parts in host order (HEADR MBODY ATTCH SNDER SBJCT RWMSG)
// separated by two NULs, then optionally a control field: its first byte
// chooses the host argument's value (0xFF: no callback), then two bytes per
// part say how the length query and the fill are answered.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <limits>
#include <string>
#include <vector>

#include "CodigoComun/ConfigSys.h"
#include "fuzz/FuzzSupport.h"
#include "kalvorin/tbp.h"
#include "platform/textfile.h"

namespace {

using namespace kalvorin;
using fuzz::finding;

constexpr std::int32_t kSecure = -1000, kTrash = 1000, kSuspect = 70;
constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();
constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();

struct Host {
    std::array<std::string, 6> parts;
    std::string control;
    TBP_HostArg arg = 0;
    std::size_t next = 0;        // the part the plug-in must ask for next
    std::int32_t claimed = 0;    // the length told for it, while its fill is due
    bool fill_due = false;

    unsigned char control_byte(std::size_t k) const {
        return k < control.size() ? static_cast<unsigned char>(control[k]) : 0;
    }
};

Host g_host;

std::int32_t length_answer(unsigned char how, std::int32_t length) {
    switch (how % 8) {
        case 0: return length;
        case 1: return 0;
        case 2: return -1;
        case 3: return kMin;
        case 4: return length + 1 + how / 8 * 997;
        case 5: return length / 2;
        case 6: return 60000;
        default: return std::max(1, length - 1);
    }
}

std::int32_t fill_answer(unsigned char how, std::int32_t stored, std::int32_t size) {
    switch (how % 8) {
        case 0: return stored;
        case 1: return 0;
        case 2: return -5;
        case 3: return kMin;
        case 4: return kMax;
        case 5: return size < kMax ? size + 1 : size;
        case 6: return stored / 2;
        default: return 60000;
    }
}

std::int32_t callback(TBP_HostArg arg, std::int32_t part, char* buffer, std::int32_t size) {
    Host& h = g_host;
    if (arg != h.arg) finding("the host argument came back as " + std::to_string(arg));
    if (h.next >= h.parts.size() || part != kPartHeader + static_cast<std::int32_t>(h.next))
        finding("part " + std::to_string(part) + " asked for out of order");
    const std::string& text = h.parts[h.next];
    const auto length = static_cast<std::int32_t>(text.size());
    if (!h.fill_due) {
        if (buffer || size != 0) finding("a part's first call carries a buffer");
        h.claimed = length_answer(h.control_byte(1 + 2 * h.next), length);
        h.fill_due = h.claimed > 0;
        if (!h.fill_due) ++h.next;
        return h.claimed;
    }
    if (!buffer || size < h.claimed)
        finding("the fill of part " + std::to_string(part) + " has room for " + std::to_string(size) + " bytes, " +
                std::to_string(h.claimed) + " were asked for");
    const unsigned char how = h.control_byte(2 + 2 * h.next);
    const std::int32_t stored = std::min(length, size);
    std::memcpy(buffer, text.data(), static_cast<std::size_t>(stored));
    // A host may use all the room it was given.
    if (how & 8) std::memset(buffer + stored, '~', static_cast<std::size_t>(size - stored));
    h.fill_due = false;
    ++h.next;
    return fill_answer(how, stored, size);
}

void set_up() {
    const std::string& base = fuzz::base_folder();
    const clsConfigSys cfg;
    cfg.set_scores(kSecure, kTrash, kSuspect);
    cfg.set_logsize(1);
    cfg.set_extimg("trash");
    platform::write_file(base + "secure.filters.txt",
                         ":Secure filters\r\nsnder=\"friend@example.org\"\r\n"
                         "(sbjct=#meeting#+headr=%^From: .*@example\\.org%)*mbody-#unsubscribe#\r\n:\r\n");
    platform::write_file(base + "trash.filters.txt",
                         ":Trash filters\r\nrwmsg=%(?i)v[i1]agra%\r\nmbody=#lottery#*sbjct-#re:#\r\n"
                         "attch=%\\.(exe|scr)$%\r\n \r\n\r\n:\r\n");
    platform::write_file(base + "suspect.filters.txt",
                         ":Suspect filters\r\nsbjct=%[A-Z]{6,}%\r\nsnder=#xsnder=#a#\r\nheadr=\"X-Spam\"+sbjct=%(%\r\n:");
    TBP_Initialize();
    if (platform::read_file(base + "secure.filters.dat").empty()) finding("the plug-in did not initialise");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    static const bool ready = (set_up(), true);
    (void)ready;
    const std::vector<std::string> f = fuzz::fields(data, size);
    g_host = Host();
    for (std::size_t k = 0; k < g_host.parts.size() && k < f.size(); ++k) g_host.parts[k] = f[k];
    if (f.size() > 6) g_host.control = f[6];
    const unsigned char first = g_host.control_byte(0);
    g_host.arg = static_cast<TBP_HostArg>(first) * 0x01010101;
    const std::int32_t score = TBP_GetSpamScore(g_host.arg, first == 0xFF ? nullptr : callback);
    if (first != 0xFF && g_host.next != g_host.parts.size())
        finding("only " + std::to_string(g_host.next) + " parts were asked for");
    if (score != 0 && score != kSecure && score != kTrash && score != kSuspect)
        finding("score " + std::to_string(score) + " of no list");
    return 0;
}
