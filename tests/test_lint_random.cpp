// The checker held against the list pass: random nested lines over a few
// tests, so that lines repeat, imply and shadow each other, and random
// messages. No line that the checker says never decides may decide one, and a
// line that it says decides every message must decide each one it reaches.
#include <gtest/gtest.h>

#include <map>
#include <random>
#include <string>
#include <vector>

#include "inspect/Evaluation.h"
#include "tools/Lint.h"

namespace kalvorin::lint {
namespace {

class Generator {
public:
    explicit Generator(unsigned seed) : rng_(seed) {}

    std::size_t below(std::size_t n) { return std::uniform_int_distribution<std::size_t>(0, n - 1)(rng_); }
    const std::string& pick(const std::vector<std::string>& v) { return v[below(v.size())]; }

    // Few keywords and texts in both letter cases, a pattern the case rules
    // out, an empty text, now and then a constant.
    std::string test() {
        static const std::vector<std::string> keywords = {"SNDER", "sbjct", "RWMSG", "Sbjct"};
        static const std::vector<std::string> texts = {"#aa#", "#AA#", "#bb#", "\"aa\"", "%AA%", "%aa%", "%(?i)bb%", "##"};
        if (below(12) == 0) return below(2) ? "1" : "0";
        return pick(keywords) + (below(3) ? "=" : "-") + pick(texts);
    }

    // Lines of one shape with their tests in another order, which the
    // checker must not take for each other.
    std::string shaped() {
        static const std::vector<std::string> shapes = {"($+$)*$", "(($+$)*$)+$", "$*($+$)", "$+$*$", "$*$"};
        std::string out;
        for (const char c : pick(shapes)) out += c == '$' ? test() : std::string(1, c);
        return out;
    }

    // Lines whose later tests stand where earlier tests' digits put them.
    std::string by_values() {
        static const std::vector<std::string> glue = {"1", "0", "+", "*", "(", ")", "1+", "0)*(1", "0000000000"};
        std::string out = pick({"sbjct=", "SNDER=", "rwmsg-"}) + test();
        for (std::size_t n = 1 + below(3); n > 0; --n) out += pick(glue) + (below(2) ? test() : "");
        return out;
    }

    std::string line(int depth) {
        const std::size_t kind = below(6);
        if (kind == 0) return by_values();
        if (kind < 3) return shaped();
        return nested(depth);
    }

    std::string nested(int depth) {
        if (depth == 0 || below(3) == 0) return test();
        const std::string joined = nested(depth - 1) + (below(2) ? "+" : "*") + nested(depth - 1);
        return below(3) ? "(" + joined + ")" : joined;
    }

    std::string part() {
        static const std::vector<std::string> words = {"aa", "AA", "bb", "Bb", "cc", "x", "aab"};
        std::string s;
        for (std::size_t n = below(4); n > 0; --n) s += pick(words) + " ";
        return s;
    }

private:
    std::mt19937 rng_;
};

struct Claims {
    std::map<std::pair<std::size_t, std::size_t>, std::string> never;  // (list, line) -> finding
    std::map<std::pair<std::size_t, std::size_t>, std::string> every;
};

Claims claims(const Report& r) {
    Claims c;
    for (const Finding& f : r.findings) {
        const auto at = std::make_pair(f.list, f.number);
        if (f.kind == Kind::duplicate || f.kind == Kind::never_decides) c.never[at] = english(f.what);
        if (f.kind == Kind::decides_all) c.every[at] = english(f.what);
    }
    return c;
}

bool before(const inspect::LineAt& a, const std::pair<std::size_t, std::size_t>& b) {
    return a.list < b.first || (a.list == b.first && a.number <= b.second);
}

TEST(LintRandom, NoClaimIsContradictedByAMessage) {
    Generator g(20261209);
    std::size_t never_claims = 0, every_claims = 0;
    for (int round = 0; round < 60; ++round) {
        const bool uppercase = round % 2 == 0;
        inspect::FilterLists lists;
        for (auto& list : lists.lines)
            for (std::size_t n = 4 + g.below(8); n > 0; --n) list.push_back(g.line(3));
        const Claims c = claims(check(lists, uppercase));
        never_claims += c.never.size();
        every_claims += c.every.size();

        inspect::PassSettings settings;
        settings.scores = {-1000, 1000, 70};
        settings.uppercase = uppercase;
        const inspect::Evaluation ev(settings, {lists});
        for (int m = 0; m < 300; ++m) {
            inspect::HostParts parts;
            for (std::string& p : parts) p = g.part();
            const inspect::Verdict v = ev.score(inspect::see(parts, settings));
            // A line that decides every message leaves none undecided.
            ASSERT_TRUE(v.decided || v.error || c.every.empty())
                << "round " << round << ": no line decided a message, past a line that " << c.every.begin()->second;
            if (!v.decided) continue;
            const auto at = std::make_pair(v.decided->list, v.decided->number);
            const auto claim = c.never.find(at);
            ASSERT_EQ(claim, c.never.end())
                << "round " << round << ": " << inspect::list_name(at.first) << " line " << at.second << " ("
                << ev.line(0, *v.decided) << ") decided a message: " << claim->second;
            for (const auto& [every_at, text] : c.every)
                ASSERT_TRUE(before(*v.decided, every_at))
                    << "round " << round << ": " << ev.line(0, *v.decided) << " decided past a line that "
                    << text;
        }
    }
    // The lists are small enough that the checker proves many claims.
    EXPECT_GT(never_claims, 100u);
    EXPECT_GT(every_claims, 10u);
}

}  // namespace
}  // namespace kalvorin::lint
