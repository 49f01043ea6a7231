#pragma once
// The plug-in log's own lines: the plug-in writes them, and the window and
// the tools read the messages back by them. The log trims every line it
// writes, so a label that ends in a blank stands without it when nothing
// follows.
#include <array>
#include <cstddef>
#include <string_view>

#include "kalvorin/parts.h"

namespace kalvorin::log_lines {

inline constexpr std::string_view kNewMail = "K A L V O R I N  S P E A K: NEW MAIL!";
// "IDX: " + part number + " I       : " + the host's length of the part.
inline constexpr std::string_view kIdx = "IDX: ";
inline constexpr std::string_view kIdxCount = " I       : ";
// "IDX: " + part number + " D       : " + the length of the part's text as
// dumped, for a text that holds what would else end it early (DumpEnds.h).
inline constexpr std::string_view kIdxDumped = " D       : ";
inline constexpr std::string_view kStopped = "Scoring stopped: ";
// The trace line that ends a message's trace once it has reached its size:
// this, then ": it reached " + the size + " bytes".
inline constexpr std::string_view kTraceCut = "#- the trace of this message is cut here";
// A line passed over for this message: this, then " (" + the list's file
// name + ", line " + its number + ": " + the line or its length + ")".
inline constexpr std::string_view kPassedOver = "passed over: the pattern is too costly for this text";
inline constexpr std::string_view kRule = "+---------------------------";
inline constexpr std::string_view kResume = "|RESUME: ";
inline constexpr std::string_view kSenderLabel = "|Sender      : ";
inline constexpr std::string_view kSubjectLabel = "|Subject     : ";
inline constexpr std::string_view kScoreLabel = "|Final Score : ";

// The part dump, in its order: each part's banner, written twice before its
// text, and the host's number of the part.
struct DumpedPart {
    std::string_view banner;
    int part = 0;
};
inline constexpr std::array<DumpedPart, kPartCount> kDump = [] {
    std::array<DumpedPart, kPartCount> dump{};
    for (std::size_t k = 0; k < kPartCount; ++k) {
        const PartFacts& p = kParts[kDumpOrder[k]];
        dump[k] = {p.banner, p.number};
    }
    return dump;
}();

}  // namespace kalvorin::log_lines
