#pragma once
// A message written on down the pipeline by --filter: whole, with the
// score's header field first and no score field of anyone else's.
#include <cstdint>
#include <cstdio>
#include <optional>
#include <string_view>

#include "kalvorin/parts.h"
#include "platform/textfile.h"

namespace kalvorin::host {

// The message without the mbox "From " line at its top, if it has one.
std::string_view without_from_line(std::string_view raw);

// The field to add: the score, and whether the text had a header to add it
// to. A text that begins with no header gets an empty line after the field,
// so that its first line stays in the body where the scoring saw it.
struct ScoreField {
    std::int32_t score = 0;
    bool headerless = false;
};

// Whether the message (without its "From " line) had no header as the parts
// taken from it show: an empty header block, though the text does not begin
// with the empty line that ends one.
bool is_headerless(const MessageParts& parts, std::string_view message);

// Writes the message to out: head, the part of it held in memory, then what
// rest has left (rest may be null). The field "X-Kalvorin-Score: N" goes at
// the top of the header, after an mbox "From " line if there is one, in the
// message's own line ending; without a field nothing is added. Score fields
// already in the header go, folded lines and all, in any letter case and
// with any blanks before their colon: a sender could otherwise hand the next
// filter a score of its own choosing. The header reaches as far as any
// delivery program reads one, which is up to the first line of a bare LF;
// in it a line whose bytes other than CR give the name, any blanks and then
// a colon, a NUL or the line's end is taken for a score field. Nothing else
// is changed. Raises EInOutError when out cannot be written.
void write_message(std::FILE* out, std::string_view head, platform::LineReader* rest,
                   std::optional<ScoreField> field);

}  // namespace kalvorin::host
