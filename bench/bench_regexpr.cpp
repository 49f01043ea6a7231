// One regular-expression test (compile, then search) on a 50000-byte message,
// the size a part is capped at.
#include <benchmark/benchmark.h>

#include <string>

#include "CodigoComun/RegExpr.h"

namespace {

// Ordinary mail text in CR LF lines, with no spam words in it.
std::string message_50k() {
    const std::string line =
        "Dear colleague, the minutes of Tuesday's meeting are attached; please send r\xE9sum\xE9s by Friday.\r\n";
    std::string m;
    while (m.size() + line.size() <= 50000) m += line;
    m.append(50000 - m.size(), 'x');
    return m;
}

void run(benchmark::State& state, const std::string& pattern) {
    const std::string message = message_50k();
    for (auto _ : state) benchmark::DoNotOptimize(kalvorin::regexpr_exec(pattern, message));
    state.SetBytesProcessed(static_cast<int64_t>(state.iterations()) * static_cast<int64_t>(message.size()));
}

void BM_TypicalFilterPattern(benchmark::State& state) { run(state, "(?i)v[i1!|]agra|c[i1]al[i1]s|rol[e3]x"); }
void BM_CaseSensitiveWord(benchmark::State& state) { run(state, "\\bFREE\\b"); }
void BM_MultilineHeaderPattern(benchmark::State& state) { run(state, "(?m)^Subject:.*\\$\\d+"); }
void BM_RepeatedWordsPattern(benchmark::State& state) { run(state, "(\\w+\\s?){2,4}viagra"); }
// A group counted more often than PCRE2 can write out, run through calls.
void BM_GroupCountedThousandsOfTimes(benchmark::State& state) { run(state, "^(?:[^\\r\\n]*\\r\\n){100,3000}Subject:"); }

BENCHMARK(BM_TypicalFilterPattern);
BENCHMARK(BM_CaseSensitiveWord);
BENCHMARK(BM_MultilineHeaderPattern);
BENCHMARK(BM_RepeatedWordsPattern);
BENCHMARK(BM_GroupCountedThousandsOfTimes);

}  // namespace
