#pragma once
// A log that the real plug-in wrote for the twelve sample messages, for the
// tests of line use. POSIX: the native kalvorin-host scores them.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/registry.h"
#include "support/TestSupport.h"

namespace kalvorin::test {

// Stores the settings and lists of the scoring, scores the messages in their
// order (the log keeps all twelve), then adds secure line 4, which the
// plug-in never saw, so that a count shows the lists of today. Among the
// lines: suspect line 4 decides three messages; trash line 2 decides one
// that trash line 3 would decide alike, and suspect line 2 one that the
// external-image rule would score alike; trash lines 3 and 4 and suspect
// line 3 decide none.
inline void log_samples(const std::string& base) {
    const std::string settings = "Software\\kalvorin\\settings";
    store_value(settings, "extimg", platform::kRegSz, std::string("susp") + '\0');
    store_value(settings, "logsize", platform::kRegDword, dword(20));
    const std::string secure = ":s\r\nsnder=#@example-family.org#\r\nsnder=\"newsletter@kalvorin-users.example\"\r\n";
    spit(base + "secure.filters.txt", secure);
    spit(base + "trash.filters.txt",
         ":t\r\nsbjct=#viagra#\r\nsbjct=\"viagra\"+mbody=\"viagra\"\r\nattch=%\\.PIF$%\r\n"
         "(sbjct=#lottery#+sbjct=#winner#)*mbody=#claim#\r\n:");
    spit(base + "suspect.filters.txt", ":u\r\nsbjct=#this weekend#\r\nsbjct=#winner#\r\nsnder=#.example.com#\r\n:");
    std::vector<std::string> argv;
    for (const auto& e : std::filesystem::directory_iterator(std::string(KALVORIN_SOURCE_DIR) + "/resources/demo/messages"))
        argv.push_back(e.path().string());
    std::sort(argv.begin(), argv.end());
    argv.insert(argv.begin(), dist("kalvorin-host"));
    const RunResult r = run(argv);
    ASSERT_EQ(r.status, 0) << r.err;
    spit(base + "secure.filters.txt", secure + "sbjct=#invoice#\r\n");
}

}  // namespace kalvorin::test
