#include "host/CommandLine.h"

#include <cctype>
#include <charconv>
#include <cstdint>
#include <filesystem>
#include <iostream>

#include "host/ExitStatus.h"
#include "host/MimeParts.h"
#include "platform/paths.h"

namespace kalvorin::host {

namespace {

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
    "       kalvorin-host [OPTIONS] --suggest MESSAGE... [--against SOURCE...]\n"
    "                                               filter lines that catch the messages, best first, one a\n"
    "                                               row: LINE<TAB>messages caught<TAB>--against messages matched\n"
    "       kalvorin-host --version                 print this program's version\n"
    "options:\n"
    "  --plugin PATH    the plug-in to load; unless given, Kalvorin.TBP beside this program, else\n"
    "                   where an install puts it (" KALVORIN_PLUGIN_FROM_BIN " from this program's folder)\n"
    "  --max-size SIZE  messages above SIZE bytes (K, M: kibibytes, mebibytes) are not scored; 32M unless given\n"
    "  --detailed-status  with --filter: the statuses below, though the message was written out whole\n"
    "  --filter-timeout SECONDS  with --filter: a scoring that takes longer is ended, the message written\n"
    "                   out unscored; 120 unless given\n"
    "  --explain, --compare and --suggest run the plug-in's list pass in this program and take\n"
    "                   --parts DIR... too\n"
    "exit status: 0 all scored, 1 a message not scored, 2 usage, 3 the plug-in could not be loaded or\n"
    "did not initialise (--explain, --compare, --suggest: the settings or a list could not be read),\n"
    "4 all scored but the plug-in reported a failure, 5 the output could not be written\n"
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

// A time limit: whole seconds, up to a day.
std::optional<std::chrono::seconds> parse_seconds(const std::string& text) {
    long value = 0;
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || value < 1 || value > 24 * 60 * 60)
        return std::nullopt;
    return std::chrono::seconds(value);
}

// The plug-in beside the program (a build's dist folder, the Windows
// install), else where an install puts it, found from the program's own
// folder so that an installed tree still works when moved.
std::string default_plugin() {
    const std::string folder = platform::program_folder() + platform::path_separator();
    const std::string beside = folder + "Kalvorin.TBP";
    if (std::filesystem::exists(beside)) return beside;
    return folder + KALVORIN_PLUGIN_FROM_BIN + platform::path_separator() + "Kalvorin.TBP";
}

// The options and sources, or the status to end with; see CommandLine.
std::optional<int> read_into(Options& options, int argc, char** argv) {
    bool timeout_given = false;
    std::vector<std::string>* named = &options.sources;  // where the next source goes
    options.plugin = default_plugin();
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--plugin") {
            if (i + 1 >= argc) return usage_error("--plugin needs a path");
            options.plugin = plugin_path(argv[++i]);
        } else if (a == "--max-size") {
            const auto size = i + 1 < argc ? parse_size(argv[++i]) : std::nullopt;
            if (!size) return usage_error("--max-size needs a size from 1 to 2147483647 bytes, such as 500K or 32M");
            options.max_size = *size;
        } else if (a == "--filter-timeout") {
            const auto limit = i + 1 < argc ? parse_seconds(argv[++i]) : std::nullopt;
            if (!limit) return usage_error("--filter-timeout needs a whole number of seconds from 1 to 86400");
            options.filter_timeout = *limit;
            timeout_given = true;
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
        } else if (a == "--suggest") {
            options.suggest = true;
        } else if (a == "--against") {
            if (!options.suggest) return usage_error("--against goes after --suggest and its messages");
            named = &options.against;
        } else if (a == "--filter") {
            options.filter_mode = true;
        } else if (a == "--detailed-status") {
            options.detailed_status = true;
        } else if (a == "--help" || a == "-h") {
            print_usage(std::cout);
            return kAllScored;
        } else if (a.rfind("--", 0) == 0) {
            return usage_error("unknown option " + a);
        } else {
            named->push_back(a);
        }
    }
    const bool in_process = options.in_process();
    if (options.filter_mode && (options.parts_mode || !options.sources.empty() || in_process))
        return usage_error("--filter reads standard input and takes no sources");
    if (options.detailed_status && !options.filter_mode) return usage_error("--detailed-status goes with --filter");
    if (timeout_given && !options.filter_mode) return usage_error("--filter-timeout goes with --filter");
    if (options.parts_mode && options.sources.empty()) return usage_error("--parts needs at least one folder");
    if (options.explain + !options.compare.empty() + options.suggest > 1)
        return usage_error("--explain, --compare and --suggest go one at a time");
    if (options.suggest && options.sources.empty()) return usage_error("--suggest needs at least one message");
    if (in_process && options.sources.empty()) return usage_error("--explain and --compare need at least one source");
    if (!options.filter_mode && !mime_available() && !options.parts_mode && !options.sources.empty()) {
        std::cerr << "kalvorin-host: " << kPartsOnly;
        return kUsageError;
    }
    return std::nullopt;
}

}  // namespace

CommandLine read_command_line(int argc, char** argv) {
    CommandLine c;
    c.done = read_into(c.options, argc, argv);
    return c;
}

}  // namespace kalvorin::host
