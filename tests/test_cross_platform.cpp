// The same lists, settings and messages scored by the native plug-in and by
// both Windows plug-ins under Wine give the same scores and the same log,
// byte for byte once each run's own base folder is written as "<BASE>".
#include <gtest/gtest.h>

#include <map>
#include <set>
#include <string>
#include <vector>

#include "support/RandomFilters.h"
#include "support/Target.h"
#include "support/TestSupport.h"

namespace kalvorin {
namespace {

using test::Target;

struct Config {
    bool uppercase;
    std::string list;    // the list that holds most of the generated lines
    std::string extimg;  // the external-image mode
};

struct Outcome {
    int status = -1;  // 4 when a generated line stopped a message
    std::vector<std::string> scores;
    std::string log;
};

// Empty when the texts are equal; else where they part, with some context.
std::string first_difference(const std::string& a, const std::string& b) {
    if (a == b) return "";
    std::size_t at = 0;
    while (at < a.size() && at < b.size() && a[at] == b[at]) ++at;
    const std::size_t from = at < 200 ? 0 : at - 200;
    return "at byte " + std::to_string(at) + ":\n" + a.substr(from, 300) + "\n--- against ---\n" + b.substr(from, 300);
}

class CrossPlatform : public test::HiveTest {
protected:
    std::vector<std::string> messages(test::RandomFilters& g, int count) const {
        static const char* parts[] = {"SNDER", "SBJCT", "MBODY", "ATTCH", "HEADR", "RWMSG"};
        std::vector<std::string> dirs;
        for (int i = 0; i < count; ++i) {
            const std::string dir = tmp_ / ("m" + std::to_string(dirs_made_++));
            test::make_dir(dir);
            for (const char* p : parts)
                if (g.below(4)) test::spit(dir + "/" + p, g.part(8));
            dirs.push_back(dir);
        }
        return dirs;
    }

    std::map<std::string, std::string> lists(test::RandomFilters& g, const std::string& main_list) const {
        std::map<std::string, std::string> out;
        // A line that cannot be evaluated ends the message, so the random
        // (mostly malformed) lines come last, after every well-formed one.
        for (const char* l : {"secure", "trash", "suspect"}) {
            std::string text;
            for (std::size_t n = (l == main_list ? 10 : g.below(3)); n > 0; --n) text += g.sound_line() + "\r\n";
            out[l] = text;
        }
        for (std::size_t n = g.below(3); n > 0; --n) out["suspect"] += g.line() + "\r\n";
        return out;
    }

    // One run of the target's host over the messages, in a base folder of its own.
    Outcome score(const Target& t, const Config& c, const std::map<std::string, std::string>& lists,
                  const std::vector<std::string>& dirs) const {
        const std::string base = tmp_ / ("base-" + t.name() + "-" + std::to_string(runs_++));
        test::make_dir(base);
        test::spit(base + "/version.ini", "1.0\r\n");
        for (const auto& [name, text] : lists) test::spit(base + "/" + name + ".filters.txt", text);
        t.clear_settings();
        const std::string k = "HKCU\\Software\\kalvorin\\";
        for (const std::vector<std::string>& a :
             {std::vector<std::string>{"add", k + "directorys", "/v", "basefolder", "/d", t.path(base), "/f"},
              {"add", k + "settings", "/v", "uppercase", "/d", c.uppercase ? "true" : "false", "/f"},
              {"add", k + "settings", "/v", "extimg", "/d", c.extimg, "/f"},
              {"add", k + "settings", "/v", "logsize", "/t", "REG_DWORD", "/d", "1000", "/f"}}) {
            auto r = t.reg(a);
            EXPECT_EQ(r.status, 0) << t.name() << ": " << r.err;
        }
        std::vector<std::string> args{"--parts"};
        for (const auto& d : dirs) args.push_back(t.path(d));
        auto r = t.run("kalvorin-host", args);
        EXPECT_TRUE(r.status == 0 || r.status == 4) << t.name() << ": " << r.err;
        Outcome o;
        o.status = r.status;
        for (std::size_t pos = 0, nl; (nl = r.out.find('\n', pos)) != std::string::npos; pos = nl + 1)
            o.scores.push_back(r.out.substr(pos, r.out.find('\t', pos) - pos));
        o.log = test::slurp(base + "/plugin.log.txt");
        const std::string own = t.path(base) + t.separator();
        for (std::size_t at; (at = o.log.find(own)) != std::string::npos;) o.log.replace(at, own.size(), "<BASE>");
        return o;
    }

    mutable int dirs_made_ = 0;
    mutable int runs_ = 0;
};

TEST_F(CrossPlatform, EveryBuildGivesTheSameScoresAndLog) {
    const auto targets = Target::all();
    // The native build and each Windows build that this machine runs.
    ASSERT_GE(targets.size(), 2u);
    test::RandomFilters g(20261208);
    const std::vector<Config> configs = {
        {true, "secure", "none"}, {false, "secure", "susp"}, {true, "trash", "trash"},
        {false, "trash", "none"}, {true, "suspect", "susp"}, {false, "suspect", "trash"},
    };
    int cases = 0;
    std::set<std::string> seen;
    int evaluated = 0;
    for (const auto& c : configs) {
        const auto l = lists(g, c.list);
        const auto dirs = messages(g, 50);
        const Outcome native = score(targets[0], c, l, dirs);
        ASSERT_EQ(native.scores.size(), dirs.size());
        for (std::size_t i = 1; i < targets.size(); ++i) {
            const Outcome other = score(targets[i], c, l, dirs);
            EXPECT_EQ(other.status, native.status) << targets[i].name() << ", list " << c.list;
            EXPECT_EQ(other.scores, native.scores) << targets[i].name() << ", list " << c.list;
            EXPECT_EQ(first_difference(other.log, native.log), "") << targets[i].name() << ", list " << c.list;
        }
        cases += static_cast<int>(dirs.size());
        seen.insert(native.scores.begin(), native.scores.end());
        for (std::size_t at = 0; (at = native.log.find("#- la_descompone.result:=", at)) != std::string::npos; ++at)
            ++evaluated;
    }
    EXPECT_EQ(cases, 300);
    EXPECT_GE(seen.size(), 4u) << "the cases should reach every list and none";
    EXPECT_GE(evaluated, 1000) << "too few lines were evaluated to compare the builds";
}

}  // namespace
}  // namespace kalvorin
