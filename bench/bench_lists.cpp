// Filter lists of the benchmark generator's mix against messages of several
// sizes, three ways from one run: the matching stage alone (every line tried,
// no log), the whole TBP_GetSpamScore with its log, and the literal road.
// bench/table.sh writes the lists and prints the table; the lists are read
// from $KALVORIN_BENCH_LISTS/lines<N>.txt and contains<N>.txt.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <exception>
#include <array>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "CodigoComun/CapturaSpam.h"
#include "CodigoComun/ConfigSys.h"
#include "platform/textfile.h"
#include "plugin/PluginState.h"
#include "plugin/Scoring.h"

namespace {

using namespace kalvorin;

// A message of about the given size: a header, a body of everyday words with
// a few of the words the rules look for, and the raw message holding both.
struct Message {
    MessageParts parts;

    explicit Message(std::size_t bytes) {
        static const std::vector<std::string> words = {
            "the", "meeting", "report", "project", "free", "offer", "click", "here", "thanks", "regards",
            "please", "review", "attached", "money", "today", "schedule", "server", "upgrade", "http://example.org",
            "$1,250.00", "555-123-4567", "WINNER", "unsubscribe", "team", "call", "tomorrow", "list", "email"};
        std::mt19937 rng(42);
        const std::string header =
            "From: Someone <someone@example.org>\r\nTo: you@example.net\r\nSubject: Weekly notes\r\n"
            "X-Mailer: Mutt\r\nContent-Type: text/plain\r\nPrecedence: list\r\n";
        std::string body;
        while (body.size() + header.size() < bytes) {
            body += words[rng() % words.size()];
            body += rng() % 12 ? " " : ".\r\n";
        }
        parts[kPartHeader] = header;
        parts[kPartBody] = body;
        parts[kPartAttachments] = "notes.pdf";
        parts[kPartSender] = "Someone <someone@example.org>";
        parts[kPartSubject] = "Weekly notes";
        parts[kPartRawMessage] = header + "\r\n" + body;
    }

    static std::int32_t callback(HostArg arg, std::int32_t part, char* buf, std::int32_t size) {
        const std::string& text = reinterpret_cast<const Message*>(arg)->parts[part];
        if (!buf) return static_cast<std::int32_t>(text.size());
        const auto n = std::min<std::int32_t>(size, static_cast<std::int32_t>(text.size()));
        std::memcpy(buf, text.data(), static_cast<std::size_t>(n));
        return n;
    }
};

std::string list_path(std::int64_t lines) {
    const char* dir = std::getenv("KALVORIN_BENCH_LISTS");
    return std::string(dir ? dir : ".") + "/lines" + std::to_string(lines) + ".txt";
}

// A base folder with the list as the trash list, the plug-in initialised on
// it, parts taken whole.
class Plugin {
public:
    Plugin(std::int64_t lines, bool literal) : dir_(std::filesystem::temp_directory_path() / "kalvorin-bench-lists") {
        std::filesystem::create_directories(dir_);
        ::setenv("KALVORIN_HIVE", (dir_ / "hkcu.db").c_str(), 1);
        const clsConfigSys cfg;
        cfg.set_basefolder(dir_.string());
        cfg.set_up50kb(false);
        platform::write_file((dir_ / "version.ini").string(), "1.0\r\n");
        platform::write_file((dir_ / "trash.filters.txt").string(), platform::read_file(list_path(lines)));
        platform::write_file((dir_ / "secure.filters.txt").string(), "");
        platform::write_file((dir_ / "suspect.filters.txt").string(), "");
        set_literal_mode(literal);
        plugin_state() = PluginState();
        initialize();
    }
    ~Plugin() {
        set_literal_mode(false);
        std::filesystem::remove_all(dir_);
    }

private:
    std::filesystem::path dir_;
};

void score_messages(benchmark::State& state, bool literal) {
    const Plugin plugin(state.range(0), literal);
    const Message m(static_cast<std::size_t>(state.range(1)) * 1000);
    for (auto _ : state) benchmark::DoNotOptimize(get_spam_score(reinterpret_cast<HostArg>(&m), &Message::callback));
}

// Every line tried, as the list pass does when none matches; a line that
// raises is counted and the next one tried.
void match_lines(benchmark::State& state, const std::string& path) {
    std::vector<std::string> lines;
    for (std::string& line : platform::read_lines(path))
        if (!line.empty() && line[0] != ':') lines.push_back(std::move(line));
    searcher::prepare(lines);
    const Message m(static_cast<std::size_t>(state.range(1)) * 1000);
    FieldParts fields;
    for (std::size_t k = 0; k < kPartCount; ++k) fields[k] = m.parts.text[kHostIndexOf[k]];
    std::int64_t errors = 0;
    for (auto _ : state) {
        searcher::searcher_init(fields, true);
        for (const std::string& line : lines) {
            try {
                benchmark::DoNotOptimize(searcher::filtred(line));
            } catch (const std::exception&) {
                ++errors;
            }
        }
    }
    state.counters["errors"] = static_cast<double>(errors);
    searcher::forget();
}

void BM_Matching(benchmark::State& state) { match_lines(state, list_path(state.range(0))); }

// Lists of contains tests only, for how their cost grows with their number.
void BM_MatchingContains(benchmark::State& state) {
    const char* dir = std::getenv("KALVORIN_BENCH_LISTS");
    match_lines(state, std::string(dir ? dir : ".") + "/contains" + std::to_string(state.range(0)) + ".txt");
}

void BM_GetSpamScore(benchmark::State& state) { score_messages(state, false); }
void BM_Literal(benchmark::State& state) { score_messages(state, true); }

const std::vector<std::vector<std::int64_t>> kRows = {{10, 100, 1000, 10000}, {2, 50, 500}};

}  // namespace

BENCHMARK(BM_Matching)->ArgsProduct(kRows)->ArgNames({"lines", "kB"})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_GetSpamScore)->ArgsProduct(kRows)->ArgNames({"lines", "kB"})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_MatchingContains)->ArgsProduct({{1000, 10000}, {50}})->ArgNames({"lines", "kB"})->Unit(benchmark::kMillisecond);
BENCHMARK(BM_Literal)->ArgsProduct(kRows)->ArgNames({"lines", "kB"})->Unit(benchmark::kMillisecond);
