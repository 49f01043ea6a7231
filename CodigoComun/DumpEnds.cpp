#include "CodigoComun/DumpEnds.h"

#include <algorithm>
#include <array>

#include "CodigoComun/FileNames.h"
#include "CodigoComun/LogLines.h"
#include "platform/find_bytes.h"

namespace kalvorin::log_lines {

namespace {

std::string line(std::string_view text) { return "\r\n" + std::string(text) + "\r\n"; }

std::array<std::vector<std::string>, kDump.size()> all_enders() {
    std::array<std::vector<std::string>, kDump.size()> enders;
    for (std::size_t k = 0; k + 1 < kDump.size(); ++k) {
        const std::string banner(kDump[k + 1].banner);
        enders[k] = {"\r\n" + banner + line(banner)};
    }
    const std::string first_list = std::string(kListNames[0]) + kCompiledSuffix;
    enders.back() = {line(first_list), "\r\n" + std::string(kStopped), line(kNewMail)};
    return enders;
}

// Whether the ender occurs in the text, or begins in it and runs on into what
// follows it. What runs on is a line break, and for a banner pair the banner
// after it: the ender itself can stand for whatever ender follows.
bool found_in(std::string_view dumped, const std::string& ender) {
    if (platform::find_bytes(dumped, ender) != std::string_view::npos) return true;
    const std::size_t tail = std::min(dumped.size(), ender.size() - 1);
    const std::string joint = std::string(dumped.substr(dumped.size() - tail)) + ender;
    return joint.find(ender) < tail;
}

}  // namespace

const std::vector<std::string>& dump_enders(std::size_t k) {
    static const std::array<std::vector<std::string>, kDump.size()> enders = all_enders();
    return enders.at(k);
}

bool ends_early(std::size_t k, std::string_view dumped) {
    for (const std::string& ender : dump_enders(k))
        if (found_in(dumped, ender)) return true;
    return false;
}

}  // namespace kalvorin::log_lines
