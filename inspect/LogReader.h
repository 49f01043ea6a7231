#pragma once
// The messages the plug-in scored, read back from its log ("plugin.log.txt"):
// each message's six parts as its part dump holds them, checked against the
// lengths its "IDX: " lines give, and the score its summary gives.
//
// The log is lossy. Its own lines are trimmed, so a part loses the blanks and
// line ends at its two ends; the dump comes after the cap, while a part's
// "IDX: " count is the host's length before it; an empty part has no "IDX: "
// line. A part's line breaks are kept as they were, since the log is read as
// bytes.
#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "inspect/Evaluation.h"
#include "inspect/Wording.h"
#include "kalvorin/parts.h"

namespace kalvorin::inspect {

// How a part's text came back from the log.
enum class Recovery {
    whole,      // the text the host gave, byte for byte
    capped,     // the host's text cut to its first 50000 bytes, as the plug-in held it
    trimmed,    // shorter than the host's count: the log trimmed its ends
    uncertain,  // no count to check it against, or longer than the count
};

struct LoggedMessage {
    HostParts parts;                                          // in host order
    std::array<std::optional<std::int32_t>, kPartCount> host_length;  // the part's "IDX: " count, when logged
    std::array<Recovery, kPartCount> recovery{};
    std::optional<std::int32_t> logged_score;  // "|Final Score : ", unless the log ends before it
    // What ended the scoring early, as the log's "Scoring stopped: " line gives it.
    std::optional<std::string> stopped;

    // The part is as the plug-in held it (whole, or capped).
    bool whole(std::size_t part) const;
    const std::string& sender() const { return parts[host_index(kPartSender)]; }
    const std::string& subject() const { return parts[host_index(kPartSubject)]; }
};

// Every message whose part dump the log holds whole, oldest first. A message
// appears once the line after its raw message is in the log (the first
// list's name, or the error that stopped it), or once its raw message ends
// the log with a line end (its scoring never got further); before that the
// log may hold a part of its raw message only. Until its summary is there
// (it is still being scored, or never finished) it has no logged score. The sender and subject get back
// their leading blanks from the summary. The messages are told apart by the
// lines the plug-in writes around them, never by what their texts hold: a
// text ends at the first line that follows a text in the dump, or where the
// dumped length given before the dump ends it. A part that the log does not
// place so consistently is not called whole.
// Raises EInOutError, naming the file, when the log cannot be read; the log
// is read by the rules of the base folder's files (no link, no pipe).
std::vector<LoggedMessage> read_log(const std::string& path);
// The same on the log's bytes.
std::vector<LoggedMessage> parse_log(std::string_view log);

// The last messages of those read_log finds, oldest first, and how many it
// finds in all.
struct LogTail {
    std::vector<LoggedMessage> messages;
    std::size_t total = 0;
};
// The log is read front to back a piece at a time, and only the last
// how_many messages and the part of the log not yet taken apart are held:
// memory stays bounded whatever the log's size. It is not read from its
// end: a text whose length the log gives may hold a whole log of its own,
// which only what comes before it tells apart from the plug-in's lines.
// Raises as read_log does.
LogTail read_log_tail(const std::string& path, std::size_t how_many);
// The same on bytes handed over a piece at a time: next appends at most n
// bytes to out and returns how many, fewer only at the end.
using NextPiece = std::function<std::size_t(std::string& out, std::size_t n)>;
LogTail parse_log_tail(const NextPiece& next, std::size_t how_many, std::size_t piece);

// The message as the plug-in handed it to the filter code, the cap noted
// where the log shows it cut a part.
SeenMessage see(const LoggedMessage& m, const PassSettings& settings);

// One plain sentence for each part that is not the host's text byte for
// byte, in the order of the field keywords, such as "HEADR: the log trimmed
// 2 characters (blanks or line ends) from its ends; tests that look at them
// may answer differently", in w's language (English when none is given).
std::vector<std::string> part_notes(const LoggedMessage& m, const Wording& w = {});

// Whether the blanks or line ends that the log trimmed from part h (host
// order) can change how the lists of ev's base 0 decide the message: it is
// scored again with the likeliest ends put back, a line end after the text
// and blanks before it, as many as the log trimmed.
bool trimmed_ends_matter(const Evaluation& ev, const LoggedMessage& m, std::size_t h);
// The notes of part_notes, without those on trimmed ends that do not matter.
std::vector<std::string> part_notes(const LoggedMessage& m, const Evaluation& ev, const Wording& w = {});

}  // namespace kalvorin::inspect
