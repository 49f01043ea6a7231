#include "host/Filter.h"

#include <cstdio>
#include <optional>
#include <sstream>

#include "host/ExitStatus.h"
#include "host/MimeParts.h"
#include "host/PluginHost.h"
#include "host/ScoreHeader.h"
#include "host/Sources.h"
#include "platform/child.h"
#include "platform/errors.h"
#include "platform/textfile.h"

namespace kalvorin::host {

namespace {

constexpr const char* kInput = "standard input";

// What the scoring process found: the status it would end with, and the
// field when the message was scored.
struct Scored {
    Exit status = kNotScored;
    std::optional<ScoreField> field;
};

// "STATUS" alone, or "STATUS SCORE HEADERLESS".
std::string encode(const Scored& s) {
    std::string out = std::to_string(s.status);
    if (s.field) {
        out += ' ';
        out += std::to_string(s.field->score);
        out += s.field->headerless ? " 1" : " 0";
    }
    return out;
}

std::optional<Scored> decode(const std::string& text) {
    std::istringstream in(text);
    int status = 0;
    if (!(in >> status)) return std::nullopt;
    Scored s{static_cast<Exit>(status), std::nullopt};
    ScoreField field;
    int headerless = 0;
    if (in >> field.score >> headerless) {
        field.headerless = headerless != 0;
        s.field = field;
    }
    return s;
}

// Loads, initialises, scores and finalises, as the other modes do for one
// message. Runs in the scoring process: what the plug-in and the MIME parser
// do to memory or to the process stays there.
Scored score_message(const std::string& plugin, std::string_view message) {
    Scored s;
    try {
        PluginHost host(plugin);
        host.initialize();
        if (!host.reports().init_failed) {
            score_one(kInput, [&] {
                const MessageParts parts = extract_parts(std::string(message));
                s.field = ScoreField{host.score(parts), is_headerless(parts, message)};
            });
        }
        host.finalize();
        s.status = outcome(host, s.field.has_value());
    } catch (const std::exception& e) {
        report(e.what());
        s.status = kNoPlugin;
    }
    return s;
}

std::string why_unscored(const platform::ChildOutcome& c, std::chrono::seconds limit) {
    if (c.timed_out)
        return "took longer than " + std::to_string(limit.count()) + " s (--filter-timeout) and was ended";
    return c.result ? "answered nothing usable" : c.failure;
}

Scored score_isolated(const FilterOptions& options, std::string_view message) {
    const platform::ChildOutcome c = platform::run_in_child(
        [&] { return encode(score_message(options.plugin, message)); }, options.time_limit);
    if (const auto s = c.result ? decode(*c.result) : std::nullopt) return *s;
    report(std::string(kInput) + ": the scoring " + why_unscored(c, options.time_limit) + ", not scored");
    return {};
}

}  // namespace

// The input is held in memory first, within the size cap; nothing is written
// before the outcome is known. The scoring runs in a child process, so that
// running out of memory there (GLib aborts rather than throws), a crash or a
// faulty plug-in cannot take the held message with it. What cannot be held
// or scored goes on whole without a field: downstream, no field means "not
// scored", never "scored 0". So does a message whose scoring outlasts its
// time limit, rather than hold up the delivery until the delivery program
// gives up on this program.
int filter_stdin(const FilterOptions& options) {
    platform::LineReader in;
    std::string raw;
    Scored scored;
    try {
        if (in.rest(raw, options.max_size)) scored = score_isolated(options, without_from_line(raw));
        else report(std::string(kInput) + ": " + too_big_text(options.max_size));
    } catch (const std::bad_alloc&) {
        // What was read is held; the rest is still unread and passes through.
        report(std::string(kInput) + ": out of memory while it was read, passed on unscored");
    } catch (const EInOutError& e) {
        report(e.path() + ": " + e.what());
        return kNotScored;
    }
    try {
        write_message(stdout, raw, &in, scored.field);
    } catch (const EInOutError& e) {
        report(e.path() + ": " + e.what());
        return e.path() == kInput ? kNotScored : kOutputFailed;
    } catch (const std::bad_alloc&) {
        report("standard output: out of memory, the message was not written whole");
        return kOutputFailed;
    }
    return options.detailed_status ? scored.status : kAllScored;
}

}  // namespace kalvorin::host
