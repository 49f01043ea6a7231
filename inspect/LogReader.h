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
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "inspect/Evaluation.h"
#include "kalvorin/tbp.h"

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
    std::array<std::optional<std::int32_t>, 6> host_length;   // the part's "IDX: " count, when logged
    std::array<Recovery, 6> recovery{};
    std::optional<std::int32_t> logged_score;  // "|Final Score : ", unless the log ends before it

    // The part is as the plug-in held it (whole, or capped).
    bool whole(std::size_t part) const;
    const std::string& sender() const { return parts[kPartSender - kPartHeader]; }
    const std::string& subject() const { return parts[kPartSubject - kPartHeader]; }
};

// Every message whose part dump the log holds whole, oldest first. A message
// appears once the line after its raw message is in the log (the first
// list's name, or the error that stopped it); before that the log may hold
// a part of its raw message only. Until its summary is there (it is still
// being scored) it has no logged score. The sender and subject get back
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

// The message as the plug-in handed it to the filter code, the cap noted
// where the log shows it cut a part.
SeenMessage see(const LoggedMessage& m, const PassSettings& settings);

// One plain sentence for each part that is not the host's text byte for
// byte, in the order of the field keywords, such as "HEADR: the log trimmed
// 2 characters (blanks or line ends) from its ends; tests that look at them
// may answer differently".
std::vector<std::string> part_notes(const LoggedMessage& m);

}  // namespace kalvorin::inspect
