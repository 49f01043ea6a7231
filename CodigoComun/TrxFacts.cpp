#include "CodigoComun/TrxFacts.h"

#include <algorithm>
#include <optional>

#include "CodigoComun/TrxParser.h"
#include "CodigoComun/TrxTree.h"

namespace kalvorin {

namespace {

using trx::ByteSet;
using trx::Node;

bool needs_lower_case(const Node& n);

bool needs_lower_case(const std::vector<Node>& sequence) {
    for (const Node& n : sequence)
        if (needs_lower_case(n)) return true;
    return false;
}

bool needs_lower_case(const std::vector<std::vector<Node>>& branches) {
    if (branches.empty()) return false;
    for (const auto& b : branches)
        if (!needs_lower_case(b)) return false;
    return true;
}

bool needs_lower_case(const Node& n) {
    static const ByteSet lower = trx::byte_range('a', 'z');
    switch (n.kind) {
        case Node::Kind::literal: return !n.caseless && lower[n.byte];
        case Node::Kind::set: return n.bytes.any() && (n.bytes & ~lower).none();
        case Node::Kind::group: return needs_lower_case(n.branches);
        case Node::Kind::repeat: return n.min >= 1 && needs_lower_case(n.operand.front());
        default: return false;
    }
}

constexpr std::size_t kMostRepeats = 6;
// A repeat's sketch runs its operand its minimum number of times, but at
// least once and at most this often.
constexpr unsigned long kSketchRuns = 4;

// How a sketch runs each repeat and which bytes it takes from a set.
struct SketchStyle {
    unsigned long runs = 1;  // wanted, within the repeat's bounds
    unsigned long most = kSketchRuns;
    ByteSet shunned;  // bytes a set gives only when it has no other
};

// A byte of the set, a letter or digit when it has one, so that the texts
// read like mail.
char pick(const ByteSet& set) {
    for (const auto& [lo, hi] : {std::pair{'a', 'z'}, std::pair{'A', 'Z'}, std::pair{'0', '9'}})
        for (char c = lo; c <= hi; ++c)
            if (set[static_cast<unsigned char>(c)]) return c;
    for (unsigned c = 32; c < 256; ++c)
        if (set[c]) return static_cast<char>(c);
    for (unsigned c = 0; c < 32; ++c)
        if (set[c]) return static_cast<char>(c);
    return '!';
}

char pick(const ByteSet& set, const ByteSet& shunned) {
    const ByteSet welcome = set & ~shunned;
    return pick(welcome.any() ? welcome : set);
}

unsigned long runs(const Node& repeat, const SketchStyle& style) {
    return std::clamp(style.runs, std::min(repeat.min, style.most), std::min(repeat.max, style.most));
}

void sketch(const std::vector<Node>& items, std::string& out, const SketchStyle& style);

// A short text that the node matches, as far as a sketch can tell: the first
// branch of a group, a back-reference or an assertion as nothing.
void sketch(const Node& n, std::string& out, const SketchStyle& style) {
    switch (n.kind) {
        case Node::Kind::literal: out += static_cast<char>(n.byte); break;
        case Node::Kind::set: out += pick(n.bytes, style.shunned); break;
        case Node::Kind::group:
            if (!n.branches.empty()) sketch(n.branches.front(), out, style);
            break;
        case Node::Kind::repeat:
            for (unsigned long i = 0; i < runs(n, style); ++i) sketch(n.operand, out, style);
            break;
        default: break;
    }
}

void sketch(const std::vector<Node>& items, std::string& out, const SketchStyle& style) {
    for (const Node& n : items) sketch(n, out, style);
}

void sketch(const std::vector<Node>& items, std::string& out) { sketch(items, out, SketchStyle{}); }

// A byte that no literal of the pattern is, to end the runs with.
char breaker(const trx::ParsedPattern& p) {
    for (const char c : {'!', '~', '#', '\x7F'}) {
        const bool used = trx::any_node(p.branches, [c](const Node& n) {
            return n.kind == Node::Kind::literal && n.byte == static_cast<unsigned char>(c);
        });
        if (!used) return c;
    }
    return '\x01';
}

// Work per start position grows faster than the text only when there are
// several ways to divide it: two repeats, or a repeat over alternatives. One
// repeat over one form takes at most a step per byte, far inside the engine's
// bounds, so such a pattern needs no texts.
bool can_divide_many_ways(const std::vector<const Node*>& repeats) {
    if (repeats.size() >= 2) return true;
    return std::any_of(repeats.begin(), repeats.end(), [](const Node* r) {
        return trx::any_node(r->operand.front(), [](const Node& n) { return n.branches.size() >= 2; });
    });
}

std::string quoted(const std::string& s) { return "\"" + s + "\""; }

HostileText make(const std::string& run, char end, const std::string& whole, std::size_t length) {
    HostileText t;
    const std::size_t room = length > whole.size() + 1 ? length - whole.size() - 1 : run.size();
    while (t.text.size() + run.size() <= room) t.text += run;
    t.text += end;
    t.text += whole;
    t.recipe = quoted(run) + " repeated, then " + quoted(std::string(1, end)) + " and a sketch of the pattern";
    return t;
}

// A repeat that can divide its input anew at each run: its operand holds a
// repeat or alternatives. Backing out of its runs one by one at every start
// position makes its work grow faster than the text.
bool is_repeated_group(const Node& n) {
    return n.kind == Node::Kind::repeat && trx::any_node(n.operand.front(), [](const Node& m) {
        return m.kind == Node::Kind::repeat || m.branches.size() >= 2;
    });
}

// A repeated group with sketches of what a match needs before and after it.
struct GroupAt {
    const Node* group = nullptr;
    std::string before, after;
};

void groups_at(const std::vector<Node>& items, const std::string& before, const std::string& after,
               std::vector<GroupAt>& out) {
    for (std::size_t i = 0; i < items.size(); ++i) {
        std::string lead = before;
        sketch(std::vector<Node>(items.begin(), items.begin() + static_cast<std::ptrdiff_t>(i)), lead);
        std::string rest;
        sketch(std::vector<Node>(items.begin() + static_cast<std::ptrdiff_t>(i) + 1, items.end()), rest);
        rest += after;
        const Node& n = items[i];
        if (is_repeated_group(n) && out.size() < kMostRepeats) out.push_back({&n, lead, rest});
        for (const auto& b : n.branches) groups_at(b, lead, rest, out);
        groups_at(n.operand, lead, rest, out);
    }
}

// Every literal byte of the pattern in both cases: runs made of other bytes
// cannot end a run early by spelling what follows them.
ByteSet literal_bytes(const trx::ParsedPattern& p) {
    ByteSet bytes;
    trx::any_node(p.branches, [&bytes](const Node& n) {
        if (n.kind == Node::Kind::literal) bytes.set(n.byte).set(trx::case_partners()[n.byte]);
        return false;
    });
    return bytes;
}

std::string times(unsigned long n) { return n == 1 ? "once" : std::to_string(n) + " times"; }

std::string lead_in(const std::string& before) { return before.empty() ? "" : quoted(before) + ", then "; }

constexpr const char* kFromPieces = ", made from its own pieces";

// Short words of the group's operand (each repeat in it run twice) as often
// as they fit, then the end byte, which breaks the last run just before what
// follows the group: at every start position the group backs out of all its
// runs before the match fails.
std::optional<HostileText> words(const GroupAt& g, const ByteSet& shunned, char end, std::size_t length) {
    std::string word;
    sketch(g.group->operand, word, {2, kSketchRuns, shunned});
    if (word.empty()) return std::nullopt;
    const std::string tail = end + g.after;
    HostileText t{g.before, lead_in(g.before) + quoted(word) + " repeated, then " + quoted(tail) + kFromPieces};
    do t.text += word;
    while (t.text.size() + word.size() + tail.size() <= length);
    t.text += tail;
    return t;
}

// For a group that must run `min` times, one run fewer, each with the
// repeats in it run as long as the length allows: the engine tries every
// way to share the text among the runs before the match fails.
std::optional<HostileText> stretched(const GroupAt& g, const ByteSet& shunned, char end, std::size_t length) {
    const unsigned long count = g.group->min - 1;
    const std::string tail = end + g.after;
    const auto unit = [&](unsigned long runs) {
        std::string u;
        sketch(g.group->operand, u, {runs, runs, shunned});
        return u;
    };
    const auto fits = [&](const std::string& u) { return g.before.size() + count * u.size() + tail.size() <= length; };
    unsigned long runs = 1;
    while (unit(2 * runs).size() > unit(runs).size() && fits(unit(2 * runs))) runs *= 2;
    if (runs == 1) return std::nullopt;
    const std::string u = unit(runs);
    HostileText t{g.before, lead_in(g.before) + quoted(unit(1)) + " " + times(count) +
                                " with each repeat in it run " + times(runs) + ", then " + quoted(tail) +
                                kFromPieces};
    for (unsigned long i = 0; i < count; ++i) t.text += u;
    t.text += tail;
    return t;
}

}  // namespace

bool trx_needs_lower_case(const std::string& pattern) { return needs_lower_case(trx::parse(pattern).branches); }

std::vector<HostileText> trx_hostile_texts(const std::string& pattern, std::size_t length) {
    const trx::ParsedPattern parsed = trx::parse(pattern);
    std::string whole;
    if (!parsed.branches.empty()) sketch(parsed.branches.front(), whole);
    const char end = breaker(parsed);
    std::vector<const Node*> repeats;
    trx::any_node(parsed.branches, [&repeats](const Node& n) {
        if (n.kind == Node::Kind::repeat && repeats.size() < kMostRepeats) repeats.push_back(&n);
        return false;
    });
    std::vector<HostileText> texts;
    if (!can_divide_many_ways(repeats)) return texts;
    const auto add = [&](const std::string& run) {
        if (run.empty()) return;
        HostileText t = make(run, end, whole, length);
        const bool known = std::any_of(texts.begin(), texts.end(), [&](const HostileText& k) { return k.text == t.text; });
        if (!known) texts.push_back(std::move(t));
    };
    for (const Node* r : repeats) {
        std::string run;
        sketch(r->operand, run);
        add(run);
    }
    if (whole.size() >= 2) add(whole.substr(0, whole.size() - 1));
    return texts;
}

std::vector<HostileText> trx_piece_texts(const std::string& pattern, std::size_t length) {
    const trx::ParsedPattern parsed = trx::parse(pattern);
    std::vector<GroupAt> groups;
    for (const auto& branch : parsed.branches) groups_at(branch, "", "", groups);
    const ByteSet shunned = literal_bytes(parsed);
    const char end = breaker(parsed);
    std::vector<HostileText> texts;
    for (const GroupAt& g : groups) {
        if (auto t = words(g, shunned, end, length)) texts.push_back(std::move(*t));
        if (g.group->min < 2) continue;
        if (auto t = stretched(g, shunned, end, length)) texts.push_back(std::move(*t));
    }
    return texts;
}

}  // namespace kalvorin
