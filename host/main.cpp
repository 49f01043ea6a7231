// kalvorin-host: stands in for the mail client. Loads the plug-in, scores the
// messages given and prints one line per message: SCORE<TAB>SOURCE.
#include <cctype>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <functional>
#include <iostream>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "host/Compare.h"
#include "host/Explain.h"
#include "host/ExitStatus.h"
#include "host/Filter.h"
#include "host/MimeParts.h"
#include "host/PartsDir.h"
#include "host/PluginHost.h"
#include "host/Sources.h"
#include "platform/errors.h"
#include "platform/paths.h"
#include "platform/terminal.h"

namespace {

using namespace kalvorin::host;
namespace platform = kalvorin::platform;

// Large enough for nearly all mail that servers deliver; a message above it
// costs several times its size in memory to parse.
constexpr std::size_t kDefaultMaxSize = std::size_t{32} << 20;

const char* kUsage =
    "usage: kalvorin-host [OPTIONS] SOURCE...       score .eml files, mbox files, Maildir folders\n"
    "       kalvorin-host [OPTIONS] --parts DIR...  score messages given as six part files\n"
    "       kalvorin-host [OPTIONS] --filter        score standard input, write it out with a score header\n"
    "       kalvorin-host [OPTIONS]                 print the plug-in's name and version\n"
    "       kalvorin-host [OPTIONS] --explain SOURCE...\n"
    "                                               which line decides each message, and why\n"
    "       kalvorin-host [OPTIONS] --compare OLD_BASE NEW_BASE SOURCE...\n"
    "                                               the messages whose deciding list or score differs\n"
    "                                               between the lists of two base folders\n"
    "       kalvorin-host --version                 print this program's version\n"
    "options:\n"
    "  --plugin PATH    the plug-in to load; Kalvorin.TBP beside this program unless given\n"
    "  --max-size SIZE  messages above SIZE bytes (K, M: kibibytes, mebibytes) are not scored; 32M unless given\n"
    "  --detailed-status  with --filter: the statuses below, though the message was written out whole\n"
    "  --explain and --compare run the plug-in's list pass in this program and take --parts DIR... too\n"
    "exit status: 0 all scored, 1 a message not scored, 2 usage, 3 the plug-in could not be loaded or\n"
    "did not initialise (--explain, --compare: the settings or a list could not be read), 4 all scored\n"
    "but the plug-in reported a failure, 5 the output could not be written\n"
    "--filter exits 0 when the message was written out whole, scored or not; 1 when the input could\n"
    "not be read, 5 when the output could not be written\n";

void print_usage(std::ostream& out) {
    out << kUsage;
    if (!mime_available()) out << kPartsOnly;
}

int usage_error(const std::string& what) {
    std::cerr << "kalvorin-host: " << what << "\n";
    print_usage(std::cerr);
    return kUsageError;
}

// A bare file name is a file in the current folder, as for any other program
// that takes a path; the system's library search never sees it.
std::string plugin_path(const std::string& given) {
    if (std::filesystem::path(given).has_parent_path()) return given;
    return (std::filesystem::current_path() / given).string();
}

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

// Hands every message of the sources to fn; false when any could not be read or scored.
bool for_sources(const std::vector<std::string>& sources, std::size_t max_size, const MessageFn& fn) {
    bool all_scored = true;
    Progress progress;
    for (const auto& source : sources) {
        try {
            for_each_message(source, max_size, [&](SourceMessage& m) {
                if (!m.error.empty()) {
                    report(m.error);
                    all_scored = false;
                    return;
                }
                all_scored &= score_one(m.label, [&] { fn(m.label, extract_parts(m.raw)); });
                progress.tick();
            });
        } catch (const std::exception& e) {
            report(e.what());
            all_scored = false;
        }
    }
    return all_scored;
}

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

struct Options {
    std::string plugin;
    std::size_t max_size = kDefaultMaxSize;
    bool parts_mode = false;
    bool explain = false;
    bool detailed_status = false;
    std::vector<std::string> compare;  // the old and the new base folder
};

bool for_messages(const Options& options, const std::vector<std::string>& sources, const MessageFn& fn) {
    return options.parts_mode ? for_parts_dirs(sources, options.max_size, fn)
                              : for_sources(sources, options.max_size, fn);
}

// --explain and --compare: the list pass runs in this program, on lists that
// are only read; no plug-in is loaded.
int inspect_messages(const Options& options, const std::vector<std::string>& sources) {
    std::optional<Explainer> explainer;
    std::optional<Comparer> comparer;
    try {
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
    const bool all = for_messages(options, sources, [&](const std::string& label, const MessageParts& parts) {
        stopped |= explainer ? explainer->message(label, parts) : comparer->message(label, parts);
    });
    if (comparer) comparer->summary();
    if (!all) return kNotScored;
    return stopped ? kPluginFailed : kAllScored;
}

// A size: bytes, or with K or M after it, kibibytes or mebibytes; the parts
// the plug-in takes are counted in 32 bits, so no more than that.
std::optional<std::size_t> parse_size(const std::string& text) {
    std::size_t digits = 0;
    while (digits < text.size() && std::isdigit(static_cast<unsigned char>(text[digits]))) ++digits;
    if (digits == 0 || digits > 10) return std::nullopt;
    std::uint64_t value = std::stoull(text.substr(0, digits));
    const std::string unit = text.substr(digits);
    if (unit == "K" || unit == "k") value <<= 10;
    else if (unit == "M" || unit == "m") value <<= 20;
    else if (!unit.empty()) return std::nullopt;
    if (value == 0 || value > INT32_MAX) return std::nullopt;
    return static_cast<std::size_t>(value);
}

}  // namespace

int run(int argc, char** argv) {
    Options options;
    options.plugin = kalvorin::platform::program_folder() + kalvorin::platform::path_separator() + "Kalvorin.TBP";
    bool filter_mode = false;
    std::vector<std::string> sources;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--plugin") {
            if (i + 1 >= argc) return usage_error("--plugin needs a path");
            options.plugin = plugin_path(argv[++i]);
        } else if (a == "--max-size") {
            const auto size = i + 1 < argc ? parse_size(argv[++i]) : std::nullopt;
            if (!size) return usage_error("--max-size needs a size from 1 to 2147483647 bytes, such as 500K or 32M");
            options.max_size = *size;
        } else if (a == "--version") {
            std::cout << "kalvorin-host " << KALVORIN_VERSION << "\n";
            return kAllScored;
        } else if (a == "--parts") {
            options.parts_mode = true;
        } else if (a == "--explain") {
            options.explain = true;
        } else if (a == "--compare") {
            if (i + 2 >= argc) return usage_error("--compare needs two base folders");
            options.compare = {argv[i + 1], argv[i + 2]};
            i += 2;
        } else if (a == "--filter") {
            filter_mode = true;
        } else if (a == "--detailed-status") {
            options.detailed_status = true;
        } else if (a == "--help" || a == "-h") {
            print_usage(std::cout);
            return kAllScored;
        } else if (a.rfind("--", 0) == 0) {
            return usage_error("unknown option " + a);
        } else {
            sources.push_back(a);
        }
    }
    const bool in_process = options.explain || !options.compare.empty();
    if (filter_mode && (options.parts_mode || !sources.empty() || in_process))
        return usage_error("--filter reads standard input and takes no sources");
    if (options.detailed_status && !filter_mode) return usage_error("--detailed-status goes with --filter");
    if (options.parts_mode && sources.empty()) return usage_error("--parts needs at least one folder");
    if (options.explain && !options.compare.empty()) return usage_error("--explain and --compare go one at a time");
    if (in_process && sources.empty()) return usage_error("--explain and --compare need at least one source");
    if (filter_mode) return filter_stdin({options.plugin, options.max_size, options.detailed_status});
    if (!mime_available() && !options.parts_mode && !sources.empty()) {
        std::cerr << "kalvorin-host: " << kPartsOnly;
        return kUsageError;
    }
    if (in_process) return inspect_messages(options, sources);
    try {
        PluginHost host(options.plugin);
        host.initialize();
        // After a failed initialisation the messages are still scored, as the
        // mail client would score them; the exit status tells the scores are
        // not to be trusted.
        bool all_scored = true;
        if (!sources.empty()) {
            all_scored = for_messages(options, sources, [&](const std::string& label, const MessageParts& parts) {
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
