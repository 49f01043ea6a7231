#include "CodigoComun/TrxEmitter.h"

#include <algorithm>
#include <cstdint>
#include <functional>
#include <utility>

namespace kalvorin::trx {

namespace {

constexpr unsigned long kPcreMaxCount = 65535;

// ---- Start positions ---------------------------------------------------------------

// The dialect tries a start position only when its byte (NUL for the end of
// the subject) can begin a match by a static first-character walk. Only a
// multiline $ makes that walk narrower than the matches: it adds just NUL.
struct FirstChars {
    ByteSet bytes;
    bool line_end = false;
};

bool walk_first(const std::vector<Node>& items, FirstChars& f);

// Adds what the node can start with; returns whether the walk goes on past it.
bool walk_first(const Node& n, FirstChars& f) {
    switch (n.kind) {
        case Node::Kind::empty: return true;
        case Node::Kind::literal:
            f.bytes.set(n.byte);
            if (n.caseless) f.bytes.set(case_partners()[n.byte]);
            return false;
        case Node::Kind::nul: f.bytes.set(0); return false;
        case Node::Kind::set: f.bytes |= n.bytes; return false;
        case Node::Kind::backref: f.bytes.set(); return false;
        case Node::Kind::assertion:
            switch (n.assertion) {
                case Assertion::line_end: f.line_end = true; [[fallthrough]];
                case Assertion::text_end: f.bytes.set(0); return false;
                default: return true;
            }
        case Node::Kind::group: {
            bool through = false;
            for (const auto& b : n.branches) through = walk_first(b, f) || through;
            return through;
        }
        case Node::Kind::repeat: return walk_first(n.operand.front(), f) || n.min == 0;
    }
    return true;
}

bool walk_first(const std::vector<Node>& items, FirstChars& f) {
    for (const Node& n : items)
        if (!walk_first(n, f)) return false;
    return true;
}

// A zero-width guard that keeps PCRE2 to the dialect's start positions, or
// nothing when it would not narrow them.
std::string start_guard(const std::vector<std::vector<Node>>& branches) {
    FirstChars f;
    bool through = false;
    for (const auto& b : branches) through = walk_first(b, f) || through;
    if (through || !f.line_end || f.bytes.all()) return {};
    ByteSet starts = f.bytes;
    starts.reset(0);
    std::string guard;
    if (starts.any()) guard = "(?=" + class_text(starts) + ")";
    if (f.bytes[0]) guard += std::string(guard.empty() ? "" : "|") + "\\z";
    return "(?:" + guard + ")";
}

}  // namespace

// ---- Repeat counts against the subject ------------------------------------------

namespace {

Width saturated(Width w) { return std::min(w, kWide); }

}  // namespace

Width min_width(const Node& n) {
    switch (n.kind) {
        case Node::Kind::literal:
        case Node::Kind::set: return 1;
        case Node::Kind::group: {
            Width w = kWide;
            for (const auto& b : n.branches) w = std::min(w, min_width(b));
            return w;
        }
        case Node::Kind::repeat: return saturated(n.min * min_width(n.operand.front()));
        default: return 0;  // assertions, the end of the subject, backrefs (the group may be empty)
    }
}

Width min_width(const std::vector<Node>& items) {
    Width w = 0;
    for (const Node& n : items) w = saturated(w + min_width(n));
    return w;
}

// An operand of width w fits at most length / w times, so a larger maximum is
// as good as none (and PCRE2 then holds one copy of a group instead of one per
// count). An operand that can match empty matches something at most length
// times; every other run is empty, so one more than that is as good as any
// larger minimum, and a maximum beyond it is as good as none.
std::optional<Counts> fit_to_subject(unsigned long min, unsigned long max, Width w, std::size_t subject_length) {
    const Width length = std::min<Width>(subject_length, kWide);
    Counts c{min, max};
    const Width most_runs = w > 0 ? length / w : length;
    if (w > 0 && c.min > most_runs) return std::nullopt;
    if (w == 0 && c.min > most_runs + 1) c.min = static_cast<unsigned long>(most_runs + 1);
    if (c.max != kUnbounded && c.max > most_runs) c.max = kUnbounded;
    return c;
}

namespace {

void gather_repeats(const Node& n, const std::function<void(const Node&)>& visit) {
    if (n.kind == Node::Kind::repeat) visit(n);
    for (const auto& b : n.branches)
        for (const Node& m : b) gather_repeats(m, visit);
    for (const Node& m : n.operand) gather_repeats(m, visit);
}

}  // namespace

Fitting::Fitting(const ParsedPattern& parsed) {
    const auto visit = [this](const Node& r) { repeats_.push_back({r.min, r.max, min_width(r.operand.front())}); };
    for (const auto& b : parsed.branches)
        for (const Node& n : b) gather_repeats(n, visit);
}

// The emitter reads the length only through fit_to_subject, so equal keys give
// equal translations. A repeat that can never match is marked by a maximum
// below its minimum, which no fitting gives.
std::vector<unsigned long> Fitting::length_class(std::size_t subject_length) const {
    std::vector<unsigned long> key;
    key.reserve(2 * repeats_.size());
    for (const Repeat& r : repeats_) {
        const auto c = fit_to_subject(r.min, r.max, r.width, subject_length);
        key.push_back(c ? c->min : 1);
        key.push_back(c ? c->max : 0);
    }
    return key;
}

namespace {

// ---- Emitter -----------------------------------------------------------------------

std::string count_text(unsigned long min, unsigned long max, bool lazy) {
    std::string q;
    if (min == 0 && max == kUnbounded) q = "*";
    else if (min == 1 && max == kUnbounded) q = "+";
    else if (min == 0 && max == 1) q = "?";
    else if (max == kUnbounded) q = "{" + std::to_string(min) + ",}";
    else if (min == max) return "{" + std::to_string(min) + "}";
    else q = "{" + std::to_string(min) + "," + std::to_string(max) + "}";
    return lazy ? q + "?" : q;
}

// Counts beyond PCRE2's limit, which only a subject longer than the limit
// leaves after fit_to_subject, are built from blocks of kPcreMaxCount copies.
// Each number of copies is reachable in one way only, so that backtracking
// over them stays linear.

// Exactly n copies.
std::string exact_copies(const std::string& unit, unsigned long n) {
    const unsigned long blocks = n / kPcreMaxCount, rest = n % kPcreMaxCount;
    const std::string block = unit + count_text(kPcreMaxCount, kPcreMaxCount, false);
    std::string out;
    if (blocks == 1) out = block;
    else if (blocks > 1) out = "(?:" + block + ")" + count_text(blocks, blocks, false);
    if (rest) out += unit + count_text(rest, rest, false);
    return out;
}

// From none up to k copies: either all k / B full blocks and up to k % B more,
// or fewer full blocks and fewer than B more (B = kPcreMaxCount).
std::string optional_copies(const std::string& unit, unsigned long k, bool lazy) {
    if (k <= kPcreMaxCount) return unit + count_text(0, k, lazy);
    const unsigned long blocks = k / kPcreMaxCount, rest = k % kPcreMaxCount;
    std::string all = exact_copies(unit, blocks * kPcreMaxCount);
    if (rest) all += unit + count_text(0, rest, lazy);
    std::string fewer;
    if (blocks > 1) fewer = "(?:" + unit + count_text(kPcreMaxCount, kPcreMaxCount, false) + ")" +
                            count_text(0, blocks - 1, lazy);
    fewer += unit + count_text(0, kPcreMaxCount - 1, lazy);
    return lazy ? "(?:" + fewer + "|" + all + ")" : "(?:" + all + "|" + fewer + ")";
}

// A group that PCRE2 would write out more often than this many characters of
// its text is instead defined once and called (PCRE2 holds 64 KB of compiled
// pattern, and a class takes up to two and a half times its text).
constexpr std::size_t kMaxCopiedText = 4096;
// Such a group is counted in digits of this base.
constexpr unsigned long kCallBase = 16;

// One translation. Groups defined for calls gather in helpers_ and end up in
// a (?(DEFINE)...) after the pattern, numbered after its own groups.
class Emitter {
public:
    Emitter(const std::vector<std::vector<Node>>& tree, int captures, std::size_t subject_length)
        : tree_(tree),
          captures_(captures),
          // Captures that no backreference reads cannot change whether a match exists.
          keep_captures_(any_node(tree, [captures](const Node& n) {
              return n.kind == Node::Kind::backref && n.number <= captures;
          })),
          subject_length_(subject_length) {}

    std::string pattern() {
        const std::string body = alternation(tree_);
        if (helpers_.empty()) return body;
        std::string defined;
        for (const std::string& h : helpers_) defined += "(" + h + ")";
        return "(?:" + body + ")(?(DEFINE)" + defined + ")";
    }

private:
    std::string alternation(const std::vector<std::vector<Node>>& branches) {
        std::string out;
        for (std::size_t k = 0; k < branches.size(); ++k) {
            if (k) out += '|';
            out += sequence(branches[k]);
        }
        return out;
    }

    // A case-insensitive ASCII letter that PCRE2 can fold with its own rules.
    static bool ascii_caseless(const Node& n) {
        return n.kind == Node::Kind::literal && n.caseless && n.byte < 0x80;
    }

    // The two cases of a letter as one class. Letters above 0x7F are always
    // written so: PCRE2's start-of-match search does not fold them with the
    // tables in every mode (not in the interpreter, for one).
    static std::string both_cases(unsigned char b) {
        ByteSet both;
        both.set(b);
        both.set(case_partners()[b]);
        return class_text(both);
    }

    // Adjacent case-insensitive ASCII letters share one (?i:...).
    std::string sequence(const std::vector<Node>& items) {
        std::string out;
        for (std::size_t k = 0; k < items.size();) {
            if (ascii_caseless(items[k])) {
                std::string run;
                for (; k < items.size() && ascii_caseless(items[k]); ++k)
                    run += literal_text(items[k].byte);
                out += "(?i:" + run + ")";
            } else {
                out += item(items[k++]);
            }
        }
        return out;
    }

    std::string item(const Node& n) {
        switch (n.kind) {
            case Node::Kind::empty: return {};
            case Node::Kind::literal:
                if (!n.caseless) return literal_text(n.byte);
                return n.byte < 0x80 ? "(?i:" + literal_text(n.byte) + ")" : both_cases(n.byte);
            case Node::Kind::nul: return "\\z";
            case Node::Kind::set: return n.pcre;
            case Node::Kind::assertion: return assertion_text(n.assertion);
            case Node::Kind::backref: {
                if (n.number > captures_) return "(?!)";  // a group that does not exist never matches
                const std::string ref = "\\g{" + std::to_string(n.number) + "}";
                return n.caseless ? "(?i:" + ref + ")" : ref;
            }
            case Node::Kind::group:
                return (n.number && keep_captures_ ? "(" : "(?:") + alternation(n.branches) + ")";
            case Node::Kind::repeat: return repeat(n);
        }
        return {};
    }

    static std::string assertion_text(Assertion a) {
        switch (a) {
            case Assertion::text_start: return "\\A";
            case Assertion::text_end: return "\\z";
            // Line breaks are CR, LF, VT and FF, with CR LF as one break.
            case Assertion::line_start: return "(?:\\A|(?<=[\\n\\x{0b}\\f])|(?<=\\r)(?!\\n))";
            case Assertion::line_end: return "(?:\\z|(?=[\\r\\x{0b}\\f])|(?<!\\r)(?=\\n))";
            case Assertion::word_boundary: return "\\b";
            case Assertion::not_word_boundary: return "\\B";
        }
        return {};
    }

    bool never_matches(const Node& n) const {
        return (n.kind == Node::Kind::set && n.bytes.none()) ||
               (n.kind == Node::Kind::backref && n.number > captures_);
    }

    // The operand as one PCRE2 item. A case-insensitive letter becomes a class
    // of its two cases, since PCRE2 writes out a counted group once per count.
    std::string repeat_unit(const Node& n) {
        switch (n.kind) {
            case Node::Kind::literal: return n.caseless ? both_cases(n.byte) : item(n);
            case Node::Kind::group:
            case Node::Kind::set:
            case Node::Kind::backref: return item(n);
            default: return "(?:" + item(n) + ")";
        }
    }

    std::string repeat(const Node& n) {
        const Node& op = n.operand.front();
        if (never_matches(op)) return n.min == 0 ? "" : "(?!)";
        // The end of the subject can be met only once.
        if (op.kind == Node::Kind::nul) return n.min == 0 ? "(?:\\z)?" : "\\z";
        const auto counts = fit_to_subject(n.min, n.max, min_width(op), subject_length_);
        // Groups inside stay, never reached, so that backreferences keep their numbers.
        if (!counts) return captures_nothing(op) ? "(?!)" : "(?!)" + repeat_unit(op);
        const std::string unit = repeat_unit(op);
        const auto [min, max] = *counts;
        const unsigned long copies = max == kUnbounded ? min + 1 : max;
        if (op.kind == Node::Kind::group && copies > kMaxCopiedText / unit.size() && captures_nothing(op))
            return called_repeat(unit, min, max, n.lazy);
        if (min <= kPcreMaxCount && (max == kUnbounded || max <= kPcreMaxCount))
            return unit + count_text(min, max, n.lazy);
        const std::string fixed = exact_copies(unit, min);
        if (max == kUnbounded) return fixed + unit + count_text(0, kUnbounded, n.lazy);
        return max == min ? fixed : fixed + optional_copies(unit, max - min, n.lazy);
    }

    // Whether the node's text has no capturing group. A call leaves the
    // captures as they were before it, so only such a group may be called in
    // place of its copies.
    bool captures_nothing(const Node& group) const {
        const auto captures = [](const Node& n) { return n.kind == Node::Kind::group && n.number != 0; };
        return !keep_captures_ || !any_node(group, captures);
    }

    // A group of the DEFINE part, and the call to it.
    std::string define(const std::string& text) {
        helpers_.push_back(text);
        const int first = (keep_captures_ ? captures_ : 0) + 1;
        return "(?" + std::to_string(first + static_cast<int>(helpers_.size()) - 1) + ")";
    }

    // Between min and max copies of the unit through calls to groups of
    // kCallBase^k copies; every number of copies is reached in one way only.
    std::string called_repeat(const std::string& unit, unsigned long min, unsigned long max, bool lazy) {
        const unsigned long top = max == kUnbounded ? min : max;
        std::vector<std::string> blocks{define(unit)};
        for (unsigned long size = kCallBase; size <= top; size *= kCallBase)
            blocks.push_back(define(blocks.back() + count_text(kCallBase, kCallBase, false)));
        const auto digits = [&](unsigned long n) {
            std::vector<unsigned long> d;
            for (std::size_t k = 0; k < blocks.size(); ++k, n /= kCallBase) d.push_back(n % kCallBase);
            return d;
        };
        const auto calls = [&](std::size_t level, unsigned long lo, unsigned long hi) {
            return hi == 0 ? std::string() : blocks[level] + count_text(lo, hi, lazy && lo != hi);
        };
        std::string out;
        const auto fixed = digits(min);
        for (std::size_t k = blocks.size(); k-- > 0;) out += calls(k, fixed[k], fixed[k]);
        if (max == kUnbounded) return out + blocks.front() + count_text(0, kUnbounded, lazy);
        const auto limit = digits(max - min);
        // Up to the value of the digits below level: either the same digit
        // there and at most the rest below it, or a smaller digit and anything below.
        std::string within;
        for (std::size_t level = 0; level < blocks.size(); ++level) {
            std::string same = calls(level, limit[level], limit[level]) + within;
            if (limit[level] == 0) {
                within = same;
                continue;
            }
            std::string smaller = calls(level, 0, limit[level] - 1);
            for (std::size_t k = level; k-- > 0;) smaller += calls(k, 0, kCallBase - 1);
            within = lazy ? "(?:" + smaller + "|" + same + ")" : "(?:" + same + "|" + smaller + ")";
        }
        return out + within;
    }

    const std::vector<std::vector<Node>>& tree_;
    int captures_;
    bool keep_captures_;
    std::size_t subject_length_;
    std::vector<std::string> helpers_;
};

}  // namespace

std::string emit(const ParsedPattern& parsed, std::size_t subject_length) {
    const std::string body = Emitter(parsed.branches, parsed.captures, subject_length).pattern();
    const std::string guard = start_guard(parsed.branches);
    return guard.empty() ? body : guard + "(?:" + body + ")";
}

}  // namespace kalvorin::trx
