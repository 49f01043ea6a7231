#include "support/Target.h"

#include <algorithm>
#include <iostream>

namespace kalvorin::test {

namespace {

std::string without_cr(std::string s) {
    std::string out;
    out.reserve(s.size());
    for (std::size_t i = 0; i < s.size(); ++i)
        if (!(s[i] == '\r' && i + 1 < s.size() && s[i + 1] == '\n')) out.push_back(s[i]);
    return out;
}

}  // namespace

const Target& Target::current() {
    static const Target t = [] {
        for (const Target& c : all())
            if (c.name() == KALVORIN_E2E_TARGET) return c;
        return all().front();
    }();
    return t;
}

std::vector<Target> Target::all() {
    std::vector<Target> out{Target("linux", KALVORIN_DIST, "")};
#ifdef KALVORIN_WINE_DIR
    // The architectures that this machine runs (tests/wine.cmake).
    for (int bits : {KALVORIN_WINE_BITS}) {
        const std::string win = "win" + std::to_string(bits);
        out.push_back(Target(win, std::string(KALVORIN_BUILD_DIR) + "/" + win + "/dist",
                             std::string(KALVORIN_WINE_DIR) + "/" + win));
    }
#endif
    return out;
}

std::string Target::program(const std::string& name) const { return dist_ + "/" + name + (windows() ? ".exe" : ""); }

std::string Target::path(const std::string& local) const {
    if (!windows() || local.empty() || local[0] != '/') return local;
    std::string p = "Z:" + local;
    std::replace(p.begin(), p.end(), '/', '\\');
    return p;
}

std::string Target::probe(const std::string& name) const {
    return object("probe/" + name) + (windows() ? ".exe" : "");
}

RunResult Target::run(const std::string& name, const std::vector<std::string>& args, const std::string& input) const {
    return run_file(program(name), args, input);
}

Target::Command Target::command(const std::string& file, const std::vector<std::string>& args) const {
    Command c;
#ifdef KALVORIN_WINE_DIR
    if (windows()) {
        c.argv = {KALVORIN_WINE};
        c.env = {"WINEPREFIX=" + wineprefix_, "WINEDEBUG=-all", "LC_ALL=C", "WINEDLLOVERRIDES=mscoree,mshtml="};
    }
#endif
    c.argv.push_back(file);
    c.argv.insert(c.argv.end(), args.begin(), args.end());
    return c;
}

RunResult Target::as_lines(RunResult r) const {
    if (windows()) {
        r.out = without_cr(r.out);
        r.err = without_cr(r.err);
    }
    return r;
}

RunResult Target::run_file(const std::string& file, const std::vector<std::string>& args,
                           const std::string& input) const {
    const Command c = command(file, args);
    return as_lines(test::run(c.argv, input, c.env));
}

std::unique_ptr<Started> Target::start(const std::string& file, const std::vector<std::string>& args,
                                       const std::vector<std::string>& env) const {
    Command c = command(file, args);
    c.env.insert(c.env.end(), env.begin(), env.end());
    return std::make_unique<Started>(c.argv, c.env);
}

RunResult Target::finish(Started& program) const { return as_lines(program.finish()); }

RunResult Target::reg(const std::vector<std::string>& args) const {
    RunResult r = run("kalvorin-reg", args);
    if (windows() && r.status != 0 && r.err.empty()) {
        std::cerr << name_ << ": kalvorin-reg exited " << r.status << " without a message; run again\n";
        r = run("kalvorin-reg", args);
    }
    return r;
}

void Target::clear_settings() const { reg({"delete", "HKCU\\Software\\kalvorin", "/f"}); }

}  // namespace kalvorin::test
