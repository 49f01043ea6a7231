#pragma once
// The programs under test: the native build of build/dist/, or a Windows
// build run under Wine in a prefix of its own. End-to-end suites are compiled
// once per target (KALVORIN_E2E_TARGET), so that each Wine prefix serves one
// test at a time.
#include <memory>
#include <string>
#include <vector>

#include "support/TestSupport.h"

namespace kalvorin::test {

class Target {
public:
    // The target this test program was built for.
    static const Target& current();
    // Every target of this build: the native one, then the Windows ones
    // whose programs were built.
    static std::vector<Target> all();

    const std::string& name() const { return name_; }
    bool windows() const { return !wineprefix_.empty(); }
    // The program's full path (".exe" added on Windows).
    std::string program(const std::string& name) const;
    // A path of this machine as the target's programs see it: Wine's drive
    // Z: is the root folder.
    std::string path(const std::string& local) const;
    // The separator the plug-in puts after the base folder.
    std::string separator() const { return windows() ? "\\" : "/"; }
    // Runs a program of the target's folder. Windows programs run under Wine
    // with the C locale (code page 1252); their CR LF line ends on standard
    // output and error come back as LF.
    RunResult run(const std::string& name, const std::vector<std::string>& args, const std::string& input = {}) const;
    // Runs any program built for the target, given by its full path.
    RunResult run_file(const std::string& file, const std::vector<std::string>& args,
                       const std::string& input = {}) const;
    // Starts it beside the test, with env entries NAME=VALUE of its own.
    std::unique_ptr<Started> start(const std::string& file, const std::vector<std::string>& args,
                                   const std::vector<std::string>& env = {}) const;
    // Ends it (Started::finish), with its output as run_file gives it.
    RunResult finish(Started& program) const;
    // A file of the target's program folder, by its full name.
    std::string file(const std::string& name) const { return dist_ + "/" + name; }
    std::string plugin() const { return file("Kalvorin.TBP"); }
    // A file of the target's build folder, by its path there.
    std::string object(const std::string& path) const { return dist_.substr(0, dist_.rfind('/')) + "/" + path; }
    // A probe program of tests/probe built for the target ("tbp-probe", ...).
    std::string probe(const std::string& name) const;
    // kalvorin-reg of the target. The program names every failure of its
    // own; a Windows run that fails without a word failed in Wine's start
    // (seen once in many thousand runs) and is run once more.
    RunResult reg(const std::vector<std::string>& args) const;
    const std::string& wineprefix() const { return wineprefix_; }
    // The same programs run in another Wine prefix.
    Target in_prefix(std::string wineprefix) const { return Target(name_, dist_, std::move(wineprefix)); }
    // Empties the target's settings store under HKCU\Software\kalvorin.
    void clear_settings() const;

    // The command line and environment that run the file on this target:
    // Windows programs through scripts/wine.sh, which picks Wine's loader.
    struct Command {
        std::vector<std::string> argv, env;
    };
    Command command(const std::string& file, const std::vector<std::string>& args) const;

private:
    // CR LF line ends of a Windows program's output become LF.
    RunResult as_lines(RunResult r) const;

    Target(std::string name, std::string dist, std::string wineprefix)
        : name_(std::move(name)), dist_(std::move(dist)), wineprefix_(std::move(wineprefix)) {}
    std::string name_;
    std::string dist_;
    std::string wineprefix_;  // empty for the native target
};

}  // namespace kalvorin::test
