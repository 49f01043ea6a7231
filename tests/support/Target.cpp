#include "support/Target.h"

#include <algorithm>

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
    for (const char* bits : {"32", "64"})
        out.push_back(Target(std::string("win") + bits, std::string(KALVORIN_BUILD_DIR) + "/win" + bits + "/dist",
                             std::string(KALVORIN_WINE_DIR) + "/win" + bits));
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

RunResult Target::run_file(const std::string& file, const std::vector<std::string>& args,
                           const std::string& input) const {
    if (!windows()) {
        std::vector<std::string> argv{file};
        argv.insert(argv.end(), args.begin(), args.end());
        return test::run(argv, input);
    }
    std::vector<std::string> argv{"/usr/bin/wine", file};
    argv.insert(argv.end(), args.begin(), args.end());
    RunResult r = test::run(argv, input,
                            {"WINEPREFIX=" + wineprefix_, "WINEDEBUG=-all", "LC_ALL=C",
                             "WINEDLLOVERRIDES=mscoree,mshtml="});
    r.out = without_cr(r.out);
    r.err = without_cr(r.err);
    return r;
}

void Target::clear_settings() const { reg({"delete", "HKCU\\Software\\kalvorin", "/f"}); }

}  // namespace kalvorin::test
