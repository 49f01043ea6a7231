#pragma once
// A message written on down the pipeline by --filter: whole, with the
// score's header field first and no score field of anyone else's.
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string_view>

#include "platform/textfile.h"

namespace kalvorin::host {

// The message without the mbox "From " line at its top, if it has one.
std::string_view without_from_line(std::string_view raw);

// Writes the message to out: head, the part of it held in memory, then what
// rest has left (rest may be null). "X-Kalvorin-Score: N" goes at the top of
// the header, after an mbox "From " line if there is one, in the message's
// own line ending; without a score nothing is added. Score fields already in
// the header go, folded lines and all, in any letter case: a sender could
// otherwise hand the next filter a score of its own choosing. Raises
// EInOutError when out cannot be written.
void write_message(std::FILE* out, std::string_view head, platform::LineReader* rest,
                   std::optional<std::int32_t> score);

}  // namespace kalvorin::host
