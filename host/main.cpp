// kalvorin-host: stands in for the mail client. Loads the plug-in, scores the
// messages given and prints one line per message: SCORE<TAB>SOURCE.
#include <cctype>
#include <chrono>
#include <cstdio>
#include <filesystem>
#include <iostream>
#include <iterator>
#include <string>
#include <vector>

#include "host/MimeParts.h"
#include "host/PartsDir.h"
#include "host/PluginHost.h"
#include "host/Sources.h"
#include "platform/paths.h"
#include "platform/terminal.h"

namespace {

using namespace kalvorin::host;

const char* kUsage =
    "usage: kalvorin-host [--plugin PATH] SOURCE...       score .eml files, mbox files, Maildir folders\n"
    "       kalvorin-host [--plugin PATH] --parts DIR...  score messages given as six part files\n"
    "       kalvorin-host [--plugin PATH] --filter        score standard input, write it out with a score header\n"
    "       kalvorin-host [--plugin PATH]                 print the plug-in's name and version\n"
    "       kalvorin-host --version                       print this program's version\n";

// The Windows build has no MIME parser.
const char* kPartsOnly =
    "This build reads only --parts folders: .eml, mbox and Maildir sources and --filter\n"
    "need the Linux build.\n";

void print_usage(std::ostream& out) {
    out << kUsage;
    if (!mime_available()) out << kPartsOnly;
}

int usage_error(const std::string& what) {
    std::cerr << "kalvorin-host: " << what << "\n";
    print_usage(std::cerr);
    return 2;
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

void report(const std::string& what) { std::cerr << "kalvorin-host: " << what << "\n"; }

// Scores every message of the sources; false when any could not be read.
bool score_sources(const PluginHost& host, const std::vector<std::string>& sources) {
    bool all_read = true;
    Progress progress;
    for (const auto& source : sources) {
        try {
            for_each_message(source, [&](const SourceMessage& m) {
                if (!m.error.empty()) {
                    report(m.error);
                    all_read = false;
                    return;
                }
                MessageParts parts;
                try {
                    parts = extract_parts(m.raw);
                } catch (const std::exception& e) {
                    report(m.label + ": " + e.what());
                    all_read = false;
                    return;
                }
                std::cout << host.score(parts) << "\t" << m.label << "\n";
                progress.tick();
            });
        } catch (const std::exception& e) {
            report(e.what());
            all_read = false;
        }
    }
    return all_read;
}

bool score_parts_dirs(const PluginHost& host, const std::vector<std::string>& dirs) {
    bool all_read = true;
    for (const auto& dir : dirs) {
        try {
            std::cout << host.score(read_parts_dir(dir)) << "\t" << dir << "\n";
        } catch (const std::exception& e) {
            report(e.what());
            all_read = false;
        }
    }
    return all_read;
}

// Whether the header line at pos names the score field, in any letter case.
bool is_score_field(const std::string& raw, std::size_t pos) {
    static const std::string kName = "x-kalvorin-score";
    if (raw.size() - pos < kName.size()) return false;
    for (std::size_t i = 0; i < kName.size(); ++i)
        if (std::tolower(static_cast<unsigned char>(raw[pos + i])) != kName[i]) return false;
    std::size_t colon = pos + kName.size();
    while (colon < raw.size() && (raw[colon] == ' ' || raw[colon] == '\t')) ++colon;
    return colon < raw.size() && raw[colon] == ':';
}

// The message with "X-Kalvorin-Score: N" added at the top of its header,
// after an mbox "From " line if it has one, in the message's own line ending.
// Score fields already in the header go, folded lines and all: a sender could
// otherwise hand the next filter in the pipeline a score of its own choosing.
std::string with_score_header(const std::string& raw, std::int32_t score) {
    std::size_t at = 0;
    if (raw.compare(0, 5, "From ") == 0) {
        std::size_t nl = raw.find('\n');
        at = nl == std::string::npos ? raw.size() : nl + 1;
    }
    const std::size_t first_nl = raw.find('\n', at);
    const bool crlf = first_nl != std::string::npos && first_nl > 0 && raw[first_nl - 1] == '\r';
    std::string out = raw.substr(0, at) + "X-Kalvorin-Score: " + std::to_string(score) + (crlf ? "\r\n" : "\n");
    bool dropping = false;
    std::size_t pos = at;
    while (pos < raw.size()) {
        const std::size_t nl = raw.find('\n', pos);
        const std::size_t end = nl == std::string::npos ? raw.size() : nl + 1;
        if (raw[pos] == '\n' || raw.compare(pos, 2, "\r\n") == 0) break;  // the header ends
        const bool folded = raw[pos] == ' ' || raw[pos] == '\t';
        dropping = folded ? dropping : is_score_field(raw, pos);
        if (!dropping) out.append(raw, pos, end - pos);
        pos = end;
    }
    return out.append(raw, pos, std::string::npos);
}

bool filter_stdin(const PluginHost& host) {
    std::string raw((std::istreambuf_iterator<char>(std::cin)), std::istreambuf_iterator<char>());
    std::int32_t score = 0;
    bool parsed = true;
    try {
        std::string message = raw;
        if (message.compare(0, 5, "From ") == 0) {
            std::size_t nl = message.find('\n');
            message.erase(0, nl == std::string::npos ? message.size() : nl + 1);
        }
        score = host.score(extract_parts(message));
    } catch (const std::exception& e) {
        // The message still goes on down the pipeline, scored 0.
        report(std::string("standard input: ") + e.what());
        parsed = false;
    }
    std::cout << with_score_header(raw, score);
    return parsed;
}

}  // namespace

int main(int argc, char** argv) {
    std::ios::sync_with_stdio(false);
    std::string plugin = kalvorin::platform::program_folder() + kalvorin::platform::path_separator() + "Kalvorin.TBP";
    bool parts_mode = false, filter_mode = false;
    std::vector<std::string> sources;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--plugin") {
            if (i + 1 >= argc) return usage_error("--plugin needs a path");
            plugin = plugin_path(argv[++i]);
        } else if (a == "--version") {
            std::cout << "kalvorin-host " << KALVORIN_VERSION << "\n";
            return 0;
        } else if (a == "--parts") {
            parts_mode = true;
        } else if (a == "--filter") {
            filter_mode = true;
        } else if (a == "--help" || a == "-h") {
            print_usage(std::cout);
            return 0;
        } else if (a.rfind("--", 0) == 0) {
            return usage_error("unknown option " + a);
        } else {
            sources.push_back(a);
        }
    }
    if (filter_mode && (parts_mode || !sources.empty()))
        return usage_error("--filter reads standard input and takes no sources");
    if (parts_mode && sources.empty()) return usage_error("--parts needs at least one folder");
    if (!mime_available() && (filter_mode || (!parts_mode && !sources.empty()))) {
        std::cerr << "kalvorin-host: " << kPartsOnly;
        return 2;
    }
    try {
        PluginHost host(plugin);
        host.initialize();
        bool ok = true;
        if (filter_mode)
            ok = filter_stdin(host);
        else if (parts_mode)
            ok = score_parts_dirs(host, sources);
        else if (!sources.empty())
            ok = score_sources(host, sources);
        else
            std::cout << host.name() << "\n" << host.version() << "\n";
        std::cout.flush();
        host.finalize();
        return ok ? 0 : 1;
    } catch (const std::exception& e) {
        report(e.what());
        return 1;
    }
}
