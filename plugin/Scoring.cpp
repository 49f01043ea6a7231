#include "plugin/Scoring.h"

#include <algorithm>
#include <optional>

#include "CodigoComun/CapturaSpam.h"
#include "CodigoComun/ConfigSys.h"
#include "CodigoComun/DumpEnds.h"
#include "CodigoComun/ExtImgRule.h"
#include "CodigoComun/ListPass.h"
#include "CodigoComun/LogField.h"
#include "CodigoComun/LogLines.h"
#include "CodigoComun/LogQueue.h"
#include "CodigoComun/Texto.h"
#include "kalvorin/parts.h"
#include "platform/textfile.h"
#include "plugin/PluginLog.h"
#include "plugin/PluginState.h"
#include "plugin/Tell.h"

namespace kalvorin {

namespace {

// The log's account of the message's parts, in dump order. A text that
// holds what would end it early when read back has its length given first.
void log_parts(const MessageParts& p) {
    for (std::size_t k = 0; k < log_lines::kDump.size(); ++k) {
        const int part = log_lines::kDump[k].part;
        const std::string_view dumped = trim_view(p[part]);
        if (log_lines::ends_early(k, dumped))
            write_log(1, std::string(log_lines::kIdx) + int_to_str(part) + std::string(log_lines::kIdxDumped) +
                             std::to_string(dumped.size()));
    }
    for (const log_lines::DumpedPart& d : log_lines::kDump) {
        write_log(2, d.banner);
        write_log(1, p[d.part]);
    }
}

// Steps 1 and 2 stand outside the message's catch-all. A log that cannot be
// written is told by the log's writers; nothing else met here may stop the
// scoring either.
void start_message() {
    PluginState& s = plugin_state();
    try {
        write_log(4, log_lines::kNewMail);
    } catch (...) {
    }
    // The counter wraps instead of overflowing.
    s.mailcount = static_cast<std::int32_t>(static_cast<std::uint32_t>(s.mailcount) + 1u);
    // A log size the window would refuse (stored so from elsewhere, or no
    // initialisation) counts as the default, which keeps the log bounded.
    const std::int32_t every = settings::logsize_in_force(s.logsize);
    if (s.mailcount % every == 0) {
        try {
            log_reset(s.logfile);
        } catch (...) {
        }
    }
}

// One compiled list: logged by name, read until a line matches.
void list_pass(std::int32_t list, std::int32_t& score) {
    const PluginState& s = plugin_state();
    const auto index = static_cast<std::size_t>(list - 1);
    const std::string name = BaseFiles::compiled_list_name(index);
    write_log(1, name);
    platform::TextReader reader(s.files.compiled_list(index), platform::Place::BaseFolder);
    std::string line;
    for (std::size_t number = 1; score == 0 && reader.next_line(line); ++number) {
        // A line too long to be taken apart stops the pass; the log names it
        // by its length rather than taking it in at every message.
        const std::string by_length = overlong(line) ? line_of_length(line.size()) : std::string();
        const std::string& shown = by_length.empty() ? line : by_length;
        write_log(1, shown);
        switch (try_line(line)) {
            case LineOutcome::match: score = get_score(list); break;
            case LineOutcome::passed_over:
                write_log(1, std::string(log_lines::kPassedOver) + " (" + name + ", line " + std::to_string(number) +
                                 ": " + shown + ")");
                break;
            case LineOutcome::no_match: break;
        }
    }
    reader.close();
}

// The block that ends a message's account. The sender and subject are shown
// on one line each, their control bytes as escapes, so that no line break of
// theirs can add a line to the summary; the part dump holds them as they are.
void log_summary(const MessageParts& p, std::int32_t score) {
    write_log(1, log_lines::kRule);
    write_log(1, log_lines::kResume);
    write_log(1, std::string(log_lines::kSenderLabel) + log_lines::one_line(p[kPartSender]));
    write_log(1, std::string(log_lines::kSubjectLabel) + log_lines::one_line(p[kPartSubject]));
    write_log(1, std::string(log_lines::kScoreLabel) + int_to_str(score));
    write_log(1, log_lines::kRule);
}

// The error that ended a message, then the summary, as far as the log takes
// them. The first of a session is told on standard error too: a filter line
// that cannot be taken apart ends every message that reaches it.
void log_stop(const MessageParts& p, std::int32_t score, const std::string& error) noexcept {
    try {
        bool& told = plugin_state().told_scoring_stopped;
        if (!told) tell("scoring stopped: " + error);
        told = true;
        searcher::trace_off();
        write_log(1, std::string(log_lines::kStopped) + error);
        log_summary(p, score);
    } catch (...) {
    }
}

// The parts by field index for the searcher, which takes them over; the
// sender and subject stay here too for the summary.
FieldParts hand_over(MessageParts& p) {
    FieldParts fields;
    for (std::size_t k = 0; k < kPartCount; ++k) {
        std::string& text = p.text[kHostIndexOf[k]];
        const bool summed_up = kParts[k].number == kPartSender || kParts[k].number == kPartSubject;
        fields[k] = summed_up ? text : std::move(text);
    }
    return fields;
}

// A base folder moved away and another put in its place ends the message
// before anything of it is fetched or written, and it is not counted. The
// log gets no line: where its path leads now is the other folder, and the
// log in the folder held is one that no one finds by its path any more.
bool base_folder_replaced() noexcept {
    try {
        check_base_folder();
        return false;
    } catch (const std::exception& e) {
        bool& told = plugin_state().told_scoring_stopped;
        if (!told) tell(std::string("scoring stopped: ") + e.what());
        told = true;
        return true;
    }
}

void external_image_rule(std::int32_t& score) {
    if (!searcher::haveimg()) return;
    write_log(1, "searcher.haveimg=TRUE");
    apply_image_rule(true, plugin_state().extimg, score, get_score);
}

}  // namespace

std::string get_part(HostArg hostarg, HostCallback callback, std::int32_t part) {
    try {
        const std::int32_t n = callback(hostarg, part, nullptr, 0);
        if (n <= 0) return std::string();
        // Zeroed: bytes that the host claims but never writes must not carry
        // what this memory held before into the filters and the log.
        std::string text(static_cast<std::size_t>(n), '\0');
        const std::int32_t m = callback(hostarg, part, text.data(), n);
        write_log(1, std::string(log_lines::kIdx) + int_to_str(part) + std::string(log_lines::kIdxCount) +
                         int_to_str(m));
        // A host that claims more than it was given room for gets the room.
        text.resize(static_cast<std::size_t>(std::clamp(m, 0, n)));
        cap_part(text, plugin_state().up50kb);
        // A part cut well short of its room (by the cap, say) lets the rest go.
        if (text.size() < text.capacity() / 2) text.shrink_to_fit();
        return text;
    } catch (...) {
        return std::string();
    }
}

std::int32_t get_score(std::int32_t n) {
    write_log(1, "get_score(" + int_to_str(n) + ")");
    const PluginState& s = plugin_state();
    switch (n) {
        case 1: return s.secure;
        case 2: return s.trash;
        case 3: return s.suspect;
        default: return 0;
    }
}

// The message's log lines go out in two rounds: the parts once dumped (so
// that the message is on disk before any filter runs), and the rest at the
// end, also when an error ends the message. A crash in the list pass loses
// the lines of the pass, which the parts on disk let anyone find again by
// explaining the message; a flush after each list would cost every message
// three more looks at the log's name and three more writes.
std::int32_t get_spam_score(HostArg hostarg, HostCallback callback) noexcept {
    if (!initialised() || base_folder_replaced()) return 0;
    std::optional<LogRound> round;
    if (!literal_mode()) round.emplace();
    start_message();
    std::int32_t score = 0;
    MessageParts p;
    try {
        if (callback)
            for (std::int32_t number = kFirstPartNumber; is_part_number(number); ++number)
                p[number] = get_part(hostarg, callback, number);
        log_parts(p);
        log_queue().flush();
        for (std::string& t : p.text) fill_if_empty(t);
        searcher::searcher_init(hand_over(p), plugin_state().uppercase);
        searcher::trace_on();
        for (std::int32_t list = 1; list <= 3; ++list) list_pass(list, score);
        write_log(1, "Score preimages:=" + int_to_str(score));
        external_image_rule(score);
        searcher::trace_off();
        log_summary(p, score);
    } catch (const std::exception& e) {
        // The score reached so far stands and nothing of the error reaches the
        // host, but the log says what stopped the message, so that a faulty
        // filter line can be found.
        log_stop(p, score, e.what());
    } catch (...) {
        log_stop(p, score, "unknown error");
    }
    searcher::searcher_done();
    return score;
}

}  // namespace kalvorin
