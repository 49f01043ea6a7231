// kalvorin-host: stands in for the mail client. Loads the plug-in, scores the
// messages given and prints one line per message: SCORE<TAB>SOURCE.
#include <iostream>
#include <string>
#include <vector>

#include "host/PartsDir.h"
#include "host/PluginHost.h"
#include "platform/paths.h"

namespace {

const char* kUsage =
    "usage: kalvorin-host [--plugin PATH] SOURCE...       score .eml files, mbox files, Maildir folders\n"
    "       kalvorin-host [--plugin PATH] --parts DIR...  score messages given as six part files\n"
    "       kalvorin-host [--plugin PATH] --filter        score standard input, write it out with a score header\n"
    "       kalvorin-host [--plugin PATH]                 print the plug-in's name and version\n";

}  // namespace

int main(int argc, char** argv) {
    using namespace kalvorin::host;
    std::string plugin = kalvorin::platform::program_folder() + "/Kalvorin.TBP";
    bool parts_mode = false;
    std::vector<std::string> sources;
    for (int i = 1; i < argc; ++i) {
        const std::string a = argv[i];
        if (a == "--plugin" && i + 1 < argc) {
            plugin = argv[++i];
        } else if (a == "--parts") {
            parts_mode = true;
        } else if (a == "--help" || a == "-h") {
            std::cout << kUsage;
            return 0;
        } else if (a.rfind("--", 0) == 0) {
            std::cerr << "kalvorin-host: unknown option " << a << "\n" << kUsage;
            return 2;
        } else {
            sources.push_back(a);
        }
    }
    try {
        PluginHost host(plugin);
        host.initialize();
        int status = 0;
        if (sources.empty()) {
            std::cout << host.name() << "\n" << host.version() << "\n";
        } else if (parts_mode) {
            for (const auto& dir : sources) std::cout << host.score(read_parts_dir(dir)) << "\t" << dir << "\n";
        }
        host.finalize();
        return status;
    } catch (const std::exception& e) {
        std::cerr << "kalvorin-host: " << e.what() << "\n";
        return 1;
    }
}
