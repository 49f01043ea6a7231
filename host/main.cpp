// kalvorin-host: stands in for the mail client. Loads the plug-in, scores the
// messages given and prints one line per message: SCORE<TAB>SOURCE.
#include <chrono>
#include <cstdio>
#include <functional>
#include <iostream>
#include <optional>
#include <string>
#include <system_error>
#include <vector>

#include "host/CommandLine.h"
#include "host/Compare.h"
#include "host/Explain.h"
#include "host/ExitStatus.h"
#include "host/Filter.h"
#include "host/MimeParts.h"
#include "host/PartsDir.h"
#include "host/PluginHost.h"
#include "host/ReadAhead.h"
#include "inspect/Suggest.h"
#include "platform/errors.h"
#include "platform/terminal.h"

namespace {

using namespace kalvorin::host;
using kalvorin::MessageParts;
namespace platform = kalvorin::platform;

// Shows a count on standard error when it is a terminal and the run is long.
class Progress {
public:
    Progress() : enabled_(kalvorin::platform::stderr_is_terminal()), start_(std::chrono::steady_clock::now()) {}
    ~Progress() {
        if (shown_) std::fprintf(stderr, "\r%*s\r", 40, "");
    }
    void tick() {
        ++count_;
        if (!enabled_ || count_ % 25 != 0) return;
        if (std::chrono::steady_clock::now() - start_ < std::chrono::seconds(1)) return;
        std::fprintf(stderr, "\rkalvorin-host: %zu messages scored", count_);
        std::fflush(stderr);
        shown_ = true;
    }

private:
    bool enabled_;
    bool shown_ = false;
    std::size_t count_ = 0;
    std::chrono::steady_clock::time_point start_;
};

// What is done with each message read: scored by the plug-in, explained or compared.
using MessageFn = std::function<void(const std::string& label, const MessageParts& parts)>;

// The messages of files, mboxes and Maildirs are read ahead from the start,
// so that the first are ready once the lists or the plug-in are; parts
// folders are read as they are used. Where no second thread can be started
// (a limit on threads or on address space), the sources are read in turn.
class Messages {
public:
    explicit Messages(const Options& options) : options_(options) {
        if (options.parts_mode || options.sources.empty()) return;
        try {
            ahead_.emplace(options.sources, options.max_size, take_apart);
        } catch (const std::system_error&) {
        }
    }
    // Hands every message to fn; false when any could not be read or scored.
    bool each(const MessageFn& fn);

private:
    static MessageParts take_apart(std::string&& raw) { return extract_parts(std::move(raw)); }

    const Options& options_;
    std::optional<ReadAhead> ahead_;
};

// One message of a source: scored, or its error reported.
class SourceScoring {
public:
    explicit SourceScoring(const MessageFn& fn) : fn_(fn) {}
    void operator()(const ReadMessage& m) {
        if (!m.error.empty()) {
            report(m.error);
            all_scored_ = false;
            return;
        }
        all_scored_ &= score_one(m.label, [&] { fn_(m.label, m.taken_apart()); });
        progress_.tick();
    }
    // An error that ended the reading itself: the messages after it are not scored.
    void stopped(const std::exception& e) {
        report(e.what());
        all_scored_ = false;
    }
    bool all_scored() const { return all_scored_; }

private:
    const MessageFn& fn_;
    bool all_scored_ = true;
    Progress progress_;
};

bool for_parts_dirs(const std::vector<std::string>& dirs, std::size_t max_size, const MessageFn& fn) {
    bool all_scored = true;
    for (const auto& dir : dirs) {
        MessageParts parts;
        try {
            parts = read_parts_dir(dir, max_size);
        } catch (const std::exception& e) {
            report(e.what());
            all_scored = false;
            continue;
        }
        all_scored &= score_one(dir, [&] { fn(dir, parts); });
    }
    return all_scored;
}

bool Messages::each(const MessageFn& fn) {
    if (options_.parts_mode) return for_parts_dirs(options_.sources, options_.max_size, fn);
    SourceScoring scoring(fn);
    try {
        if (ahead_)
            while (const ReadMessage* m = ahead_->next()) scoring(*m);
        else
            read_in_turn(options_.sources, options_.max_size, take_apart, std::ref(scoring));
    } catch (const std::exception& e) {
        scoring.stopped(e);
    }
    return scoring.all_scored();
}

// --explain and --compare: the list pass runs in this program, on lists that
// are only read; no plug-in is loaded.
int inspect_messages(const Options& options) {
    std::optional<Messages> messages;
    std::optional<Explainer> explainer;
    std::optional<Comparer> comparer;
    try {
        messages.emplace(options);
        if (options.explain)
            explainer.emplace(std::cout);
        else
            comparer.emplace(std::cout, options.compare[0], options.compare[1]);
    } catch (const kalvorin::EInOutError& e) {
        report(e.path() + ": " + e.what());
        return kNoPlugin;
    } catch (const std::exception& e) {
        report(e.what());
        return kNoPlugin;
    }
    // A message whose scoring an error ended is one the plug-in would report.
    bool stopped = false;
    const bool all = messages->each([&](const std::string& label, const MessageParts& parts) {
        stopped |= explainer ? explainer->message(label, parts) : comparer->message(label, parts);
    });
    if (comparer) comparer->summary();
    if (!all) return kNotScored;
    return stopped ? kPluginFailed : kAllScored;
}

// --suggest: lines drawn from the messages given, counted over them and over
// the --against messages as they are read. The --against messages stand for
// mail the user keeps: each one a line matches counts against the line.
int suggest_lines(const Options& options) {
    std::optional<kalvorin::inspect::PassSettings> settings;
    try {
        settings = kalvorin::inspect::PassSettings::from_store();
    } catch (const std::exception& e) {
        report(e.what());
        return kNoPlugin;
    }
    std::vector<kalvorin::inspect::HostParts> chosen;
    bool all = Messages(options).each(
        [&](const std::string&, const MessageParts& parts) { chosen.push_back(host_parts(parts)); });
    kalvorin::inspect::Tally tally(chosen, *settings);
    if (!options.against.empty()) {
        Options against = options;
        against.sources = options.against;
        all &= Messages(against).each([&](const std::string&, const MessageParts& parts) {
            tally.history(kalvorin::inspect::see(host_parts(parts), *settings), true);
        });
    }
    for (const kalvorin::inspect::Proposal& p : tally.ranked())
        std::cout << p.line << "\t" << p.caught << "\t" << p.matched << "\n";
    return all ? kAllScored : kNotScored;
}

}  // namespace

int run(int argc, char** argv) {
    const CommandLine command_line = read_command_line(argc, argv);
    if (command_line.done) return *command_line.done;
    const Options& options = command_line.options;
    const std::vector<std::string>& sources = options.sources;
    if (options.filter_mode)
        return filter_stdin({options.plugin, options.max_size, options.detailed_status, options.filter_timeout});
    if (options.suggest) return suggest_lines(options);
    if (options.in_process()) return inspect_messages(options);
    try {
        Messages messages(options);
        PluginHost host(options.plugin);
        host.initialize();
        // After a failed initialisation the messages are still scored, as the
        // mail client would score them; the exit status tells the scores are
        // not to be trusted.
        bool all_scored = true;
        if (!sources.empty()) {
            all_scored = messages.each([&](const std::string& label, const MessageParts& parts) {
                std::cout << host.score(parts) << "\t" << label << "\n";
            });
        } else {
            std::cout << host.name() << "\n" << host.version() << "\n";
        }
        host.finalize();
        return outcome(host, all_scored);
    } catch (const std::exception& e) {
        report(e.what());
        return kNoPlugin;
    }
}

int main(int argc, char** argv) {
    std::ios::sync_with_stdio(false);
    platform::watch_standard_output();
    // Output that did not all arrive (a full disk, a closed pipe) outweighs
    // every other outcome: whatever the run found is lost. --filter has
    // reported it already.
    const int status = run(argc, argv);
    return status == kOutputFailed ? status : platform::finish_output(status, "kalvorin-host: ", kOutputFailed);
}
