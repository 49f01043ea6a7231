// The scoring of one message through the plug-in's code, with a list of
// typical lines and a message of realistic size: the baseline for caching work.
#include <benchmark/benchmark.h>

#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>

#include "platform/registry.h"
#include "plugin/PluginState.h"
#include "plugin/Scoring.h"

namespace {

using namespace kalvorin;

struct Message {
    std::map<std::int32_t, std::string> parts;
    static std::int32_t callback(HostArg arg, std::int32_t part, char* buf, std::int32_t size) {
        const std::string& text = reinterpret_cast<Message*>(arg)->parts[part];
        if (!buf) return static_cast<std::int32_t>(text.size());
        const auto n = std::min<std::int32_t>(size, static_cast<std::int32_t>(text.size()));
        std::memcpy(buf, text.data(), static_cast<std::size_t>(n));
        return n;
    }
};

void write(const std::filesystem::path& p, const std::string& text) {
    std::ofstream(p, std::ios::binary) << text;
}

void BM_GetSpamScore(benchmark::State& state) {
    const auto dir = std::filesystem::temp_directory_path() / "kalvorin-bench-scoring";
    std::filesystem::create_directories(dir);
    ::setenv("KALVORIN_HIVE", (dir / "hkcu.db").c_str(), 1);
    auto key = platform::RegKey::create("Software\\kalvorin\\directorys");
    key->set("basefolder", platform::kRegSz, dir.string() + '\0');
    write(dir / "version.ini", "1.0\r\n");
    std::string lines;
    for (int i = 0; i < static_cast<int>(state.range(0)); ++i)
        lines += "(sbjct=#offer" + std::to_string(i) + "#+snder=\"promo" + std::to_string(i) +
                 "\")*mbody-#unsubscribe#\r\nrwmsg=%CASINO[0-9]{" + std::to_string(i % 5 + 1) + "}%\r\n";
    write(dir / "secure.filters.txt", "");
    write(dir / "trash.filters.txt", lines);
    write(dir / "suspect.filters.txt", "");
    initialize();

    Message m;
    std::string body;
    while (body.size() < 50000) body += "Lorem ipsum dolor sit amet, consectetur adipiscing elit. ";
    m.parts[kPartSender] = "Someone <someone@example.org>";
    m.parts[kPartSubject] = "Weekly notes";
    m.parts[kPartBody] = body;
    m.parts[kPartHeader] = "From: Someone <someone@example.org>\r\nSubject: Weekly notes\r\n";
    m.parts[kPartRawMessage] = m.parts[kPartHeader] + "\r\n" + body;
    for (auto _ : state) benchmark::DoNotOptimize(get_spam_score(reinterpret_cast<HostArg>(&m), &Message::callback));
    std::filesystem::remove_all(dir);
}
BENCHMARK(BM_GetSpamScore)->Arg(10)->Arg(100)->Unit(benchmark::kMillisecond);

}  // namespace
