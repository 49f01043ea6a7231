// filtred on typical filter lines against a message of 50000 bytes per part,
// the largest the scoring hands over with its size cap on. Nothing is cached
// between calls, so every iteration decomposes and searches afresh.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

#include "CodigoComun/CapturaSpam.h"

namespace {

const std::vector<std::string> kLines = {
    "(sbjct=#win#+snder-#friend#)*rwmsg=#viagra#",
    "snder=\"put your filters here\"",
    "((rwmsg=\"casino\"+mbody=#unsubscribe#)*headr-#example.org#)",
    "(sbjct=#free#+sbjct=#offer#+sbjct=#winner#)*mbody=\"click here\"",
};

// Words of mixed case, an accented letter among them, up to the size.
std::string filler(std::size_t size) {
    static const std::vector<std::string> words = {"Lorem ", "ipsum ", "DOLOR ", "sit\r\n", "am\xE9t, ", "mail "};
    std::string s;
    for (std::size_t i = 0; s.size() < size; ++i) s += words[i % words.size()];
    s.resize(size);
    return s;
}

void set_up_message(bool uppercase) {
    // Reading the base folder needs a settings store; a missing one reads as
    // the defaults, so a path in the temporary folder will do.
    const auto hive = std::filesystem::temp_directory_path() / "kalvorin-bench-filter-hive.db";
    ::setenv("KALVORIN_HIVE", hive.c_str(), 1);
    const std::string part = filler(50000);
    kalvorin::searcher::searcher_init("Someone <someone@example.net>", "A subject line", part, "file.pdf", part,
                                      part, uppercase);
}

void BM_filtred(benchmark::State& state) {
    set_up_message(state.range(1) != 0);
    const std::string& line = kLines[static_cast<std::size_t>(state.range(0))];
    for (auto _ : state) benchmark::DoNotOptimize(kalvorin::searcher::filtred(line));
    state.SetLabel(line);
}
BENCHMARK(BM_filtred)->ArgsProduct({{0, 1, 2, 3}, {0, 1}})->ArgNames({"line", "uppercase"});

}  // namespace
