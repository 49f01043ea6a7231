#include "CodigoComun/TrxFacts.h"

#include <algorithm>

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

void sketch(const std::vector<Node>& items, std::string& out);

// A short text that the node matches, as far as a sketch can tell: the first
// branch of a group, a back-reference or an assertion as nothing.
void sketch(const Node& n, std::string& out) {
    switch (n.kind) {
        case Node::Kind::literal: out += static_cast<char>(n.byte); break;
        case Node::Kind::set: out += pick(n.bytes); break;
        case Node::Kind::group:
            if (!n.branches.empty()) sketch(n.branches.front(), out);
            break;
        case Node::Kind::repeat:
            for (unsigned long i = 0; i < std::clamp(n.min, 1UL, kSketchRuns); ++i) sketch(n.operand, out);
            break;
        default: break;
    }
}

void sketch(const std::vector<Node>& items, std::string& out) {
    for (const Node& n : items) sketch(n, out);
}

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

}  // namespace kalvorin
