#include "CodigoComun/TrxDialect.h"

#include <algorithm>
#include <array>
#include <bitset>
#include <cstdint>
#include <optional>
#include <string_view>
#include <utility>
#include <vector>

#include "CodigoComun/Errors.h"
#include "platform/ansi.h"

namespace kalvorin {

namespace {

using ByteSet = std::bitset<256>;

constexpr unsigned long kUnbounded = ~0UL;
constexpr unsigned long kPcreMaxCount = 65535;
constexpr std::size_t kMaxCountDigits = 8;
constexpr int kMaxGroups = 89;

[[noreturn]] void fail(std::string_view problem, std::size_t pos) {
    throw ERegExpr("TRegExpr(comp): " + std::string(problem) + " (pos " + std::to_string(pos) + ")");
}

// ---- Bytes and byte sets ---------------------------------------------------

unsigned char upper(unsigned char c) {
    return static_cast<unsigned char>(platform::ansi_upper(static_cast<char>(c)));
}

// The other case of each byte under the ANSI code page (the byte itself when
// it has none).
const std::array<unsigned char, 256>& case_partners() {
    static const std::array<unsigned char, 256> partners = [] {
        std::array<unsigned char, 256> p{};
        for (unsigned b = 0; b < 256; ++b) p[b] = static_cast<unsigned char>(b);
        for (unsigned b = 0; b < 256; ++b) {
            const unsigned char u = upper(static_cast<unsigned char>(b));
            if (u != b) {
                p[b] = u;
                p[u] = static_cast<unsigned char>(b);
            }
        }
        return p;
    }();
    return partners;
}

bool has_partner(unsigned char c) { return case_partners()[c] != c; }

ByteSet byte_range(unsigned lo, unsigned hi) {
    ByteSet s;
    for (unsigned b = lo; b <= hi; ++b) s.set(b);
    return s;
}

ByteSet bytes_of(std::string_view bytes) {
    ByteSet s;
    for (char c : bytes) s.set(static_cast<unsigned char>(c));
    return s;
}

const ByteSet kDigit = byte_range('0', '9');
const ByteSet kWord = kDigit | byte_range('A', 'Z') | byte_range('a', 'z') | bytes_of("_");
const ByteSet kSpace = bytes_of(" \t\n\r\f");
const ByteSet kHorizontalSpace = bytes_of("\t \xA0");
const ByteSet kVerticalSpace = bytes_of("\n\x0B\f\r");
const ByteSet kLineBreaks = bytes_of("\n\r\x0B\f");

std::string hex_byte(unsigned b) {
    static constexpr char digits[] = "0123456789abcdef";
    return std::string("\\x{") + digits[b >> 4] + digits[b & 15] + "}";
}

std::string literal_text(unsigned char b) {
    const bool alnum = (b >= '0' && b <= '9') || (b >= 'A' && b <= 'Z') || (b >= 'a' && b <= 'z');
    return alnum ? std::string(1, static_cast<char>(b)) : hex_byte(b);
}

// A PCRE2 class of exactly these bytes; an empty set never matches.
std::string class_text(const ByteSet& s) {
    if (s.none()) return "(?!)";
    std::string out = "[";
    for (unsigned b = 0; b < 256;) {
        if (!s[b]) {
            ++b;
            continue;
        }
        unsigned e = b;
        while (e + 1 < 256 && s[e + 1]) ++e;
        out += hex_byte(b);
        if (e > b + 1) out += '-';
        if (e > b) out += hex_byte(e);
        b = e + 1;
    }
    return out + "]";
}

struct Shorthand {
    ByteSet bytes;
    std::string pcre;
};

// \d \w \s \h and their negations run on the engine's tables, whose \s has no VT;
// \v is spelt out because PCRE2's also holds 0x85.
std::optional<Shorthand> shorthand(unsigned char c) {
    switch (c) {
        case 'd': return Shorthand{kDigit, "\\d"};
        case 'D': return Shorthand{~kDigit, "\\D"};
        case 'w': return Shorthand{kWord, "\\w"};
        case 'W': return Shorthand{~kWord, "\\W"};
        case 's': return Shorthand{kSpace, "\\s"};
        case 'S': return Shorthand{~kSpace, "\\S"};
        case 'h': return Shorthand{kHorizontalSpace, "\\h"};
        case 'H': return Shorthand{~kHorizontalSpace, "\\H"};
        case 'v': return Shorthand{kVerticalSpace, class_text(kVerticalSpace)};
        case 'V': return Shorthand{~kVerticalSpace, class_text(~kVerticalSpace)};
        default: return std::nullopt;
    }
}

// The byte that an escaped letter or sign stands for: the control-character
// escapes, otherwise the character itself (there is no octal, and unknown
// letters are plain letters).
unsigned char escaped_byte(unsigned char c) {
    switch (c) {
        case 't': return '\t';
        case 'n': return '\n';
        case 'r': return '\r';
        case 'f': return '\f';
        case 'a': return '\a';
        case 'e': return 0x1B;
        default: return c;
    }
}

int hex_value(unsigned char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

bool is_ascii_letter(unsigned char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

bool is_quantifier(unsigned char c) { return c == '*' || c == '+' || c == '?' || c == '{'; }

// ---- The parsed pattern -------------------------------------------------------

struct Modifiers {
    bool i = false, r = true, s = true, g = true, m = false, x = false;
};

enum class Assertion { text_start, text_end, line_start, line_end, word_boundary, not_word_boundary };

struct Node {
    enum class Kind { empty, literal, nul, set, assertion, backref, group, repeat };
    Kind kind = Kind::empty;
    unsigned char byte = 0;                   // literal
    bool caseless = false;                    // literal, backref
    ByteSet bytes;                            // set: the bytes it matches
    std::string pcre;                         // set: its PCRE2 text
    Assertion assertion = Assertion::text_start;
    int number = 0;                           // backref: its group; group: capture number, 0 for (?:
    std::vector<std::vector<Node>> branches;  // group
    std::vector<Node> operand;                // repeat: exactly one node
    unsigned long min = 0, max = 0;           // repeat
    bool lazy = false;                        // repeat
};

struct Piece {
    Node node;
    bool has_width;  // the dialect's "cannot match empty", which decides what may be repeated
};

Node make_node(Node::Kind kind) {
    Node n;
    n.kind = kind;
    return n;
}

Node set_node(ByteSet bytes, std::string pcre) {
    Node n = make_node(Node::Kind::set);
    n.bytes = bytes;
    n.pcre = std::move(pcre);
    return n;
}

Node assertion_node(Assertion a) {
    Node n = make_node(Node::Kind::assertion);
    n.assertion = a;
    return n;
}

// ---- Parser ---------------------------------------------------------------------

struct ClassMember {
    unsigned char byte = 0;
    std::optional<Shorthand> shorthand;
};

// Recursive descent over the dialect: alternation, branch, piece (an atom and
// its quantifier), atom. Positions in errors count the characters consumed.
class Parser {
public:
    explicit Parser(std::string_view pattern) : p_(pattern) {}

    std::vector<std::vector<Node>> parse() {
        bool has_width = false;
        auto branches = alternation(has_width);
        if (!at_end()) fail("ParseReg Unmatched ()", pos_);  // a ')' without its '('
        return branches;
    }

    int captures() const { return captures_; }

private:
    bool at_end() const { return pos_ >= p_.size(); }
    bool next_is(char c, std::size_t ahead = 0) const {
        return pos_ + ahead < p_.size() && p_[pos_ + ahead] == c;
    }
    unsigned char take() { return static_cast<unsigned char>(p_[pos_++]); }

    std::vector<std::vector<Node>> alternation(bool& has_width) {
        std::vector<std::vector<Node>> branches;
        has_width = true;
        for (;;) {
            bool branch_width = false;
            branches.push_back(branch(branch_width));
            has_width = has_width && branch_width;
            if (!next_is('|')) return branches;
            ++pos_;
        }
    }

    std::vector<Node> branch(bool& has_width) {
        std::vector<Node> items;
        has_width = false;
        while (!at_end() && !next_is('|') && !next_is(')')) {
            Piece p = piece();
            has_width = has_width || p.has_width;
            items.push_back(std::move(p.node));
        }
        return items;
    }

    Piece piece() {
        Piece a = atom();
        if (at_end() || !is_quantifier(static_cast<unsigned char>(p_[pos_]))) return a;
        const unsigned char op = take();
        if (!a.has_width && op != '?') fail("*+ Operand Could Be Empty", pos_);
        Node r = make_node(Node::Kind::repeat);
        switch (op) {
            case '*': r.min = 0, r.max = kUnbounded; break;
            case '+': r.min = 1, r.max = kUnbounded; break;
            case '?': r.min = 0, r.max = 1; break;
            default: braces(r.min, r.max); break;
        }
        r.lazy = !mods_.g;
        if (next_is('?')) {
            ++pos_;
            r.lazy = true;
        }
        if (!at_end() && is_quantifier(static_cast<unsigned char>(p_[pos_]))) fail("Nested *?+", pos_ + 1);
        r.operand.push_back(std::move(a.node));
        // A braced count counts as width even with {0,n}, as the dialect has it.
        return {std::move(r), op == '+' || op == '{'};
    }

    void braces(unsigned long& min, unsigned long& max) {
        min = count();
        if (next_is('}')) {
            ++pos_;
            max = min;
            return;
        }
        if (!next_is(',')) fail("Incorrect {} Braces", pos_);
        ++pos_;
        if (next_is('}')) {
            ++pos_;
            max = kUnbounded;
            return;
        }
        max = count();
        if (!next_is('}')) fail("Incorrect {} Braces", pos_);
        ++pos_;
        if (min > max) fail("Braces {} Min Param Greater Than Max", pos_);
    }

    unsigned long count() {
        const std::size_t start = pos_;
        unsigned long value = 0;
        while (!at_end() && p_[pos_] >= '0' && p_[pos_] <= '9') {
            if (pos_ - start == kMaxCountDigits) fail("Braces {} Argument Too Big", pos_ + 1);
            value = value * 10 + static_cast<unsigned long>(take() - '0');
        }
        if (pos_ == start) fail("Incorrect {} Braces", pos_);
        return value;
    }

    Piece atom() {
        const unsigned char c = static_cast<unsigned char>(p_[pos_]);
        if (mods_.x && (is_x_blank(c) || c == '#')) return blanks();
        switch (c) {
            case '^':
                ++pos_;
                return {assertion_node(mods_.m ? Assertion::line_start : Assertion::text_start), false};
            case '$':
                ++pos_;
                return {assertion_node(mods_.m ? Assertion::line_end : Assertion::text_end), false};
            case '.':
                ++pos_;
                return {mods_.s ? set_node(~ByteSet{}, ".") : set_node(~kLineBreaks, class_text(~kLineBreaks)), true};
            case '[': return char_class();
            case '(': return group();
            case '\\': return escape();
            case '*':
            case '+':
            case '?': fail("?+*{ Follows Nothing", pos_ + 1);
            default: ++pos_; return {literal(c), true};
        }
    }

    static bool is_x_blank(unsigned char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

    // Under x, blanks and #-comments (to the next CR or LF) are an empty item.
    Piece blanks() {
        while (!at_end()) {
            const unsigned char c = static_cast<unsigned char>(p_[pos_]);
            if (is_x_blank(c)) {
                ++pos_;
            } else if (c == '#') {
                while (!at_end() && !next_is('\r') && !next_is('\n')) ++pos_;
            } else {
                break;
            }
        }
        return {make_node(Node::Kind::empty), false};
    }

    // A NUL in the pattern stands for the end of the subject.
    Node literal(unsigned char c) const {
        if (c == 0) return make_node(Node::Kind::nul);
        Node n = make_node(Node::Kind::literal);
        n.byte = c;
        n.caseless = mods_.i && has_partner(c);
        return n;
    }

    Piece group() {
        ++pos_;  // '('
        if (!next_is('?')) return subexpression(++captures_);
        if (next_is('#', 1)) return comment();
        if (!next_is(':', 1)) return modifiers();
        pos_ += 2;
        return subexpression(0);
    }

    Piece subexpression(int capture) {
        if (++groups_ > kMaxGroups) fail("ParseReg Too Many ()", pos_);
        const Modifiers outer = mods_;
        Node g = make_node(Node::Kind::group);
        g.number = capture;
        bool has_width = false;
        g.branches = alternation(has_width);
        if (!next_is(')')) fail("ParseReg Unmatched ()", pos_);
        ++pos_;
        mods_ = outer;  // modifiers set inside end with the group
        return {std::move(g), has_width};
    }

    Piece comment() {
        const std::size_t close = p_.find(')', pos_ + 2);
        if (close == std::string_view::npos) fail("Unclosed (?#Comment)", p_.size());
        pos_ = close + 1;
        return {make_node(Node::Kind::empty), false};
    }

    Piece modifiers() {
        ++pos_;  // '?'
        Modifiers m = mods_;
        bool on = true;
        for (;;) {
            if (at_end()) fail("Unrecognized Modifier", pos_);
            const unsigned char c = take();
            if (c == ')') break;
            if (c == '-') {
                on = false;
                continue;
            }
            switch (is_ascii_letter(c) ? c | 0x20 : 0) {
                case 'i': m.i = on; break;
                case 'r': m.r = on; break;
                case 's': m.s = on; break;
                case 'g': m.g = on; break;
                case 'm': m.m = on; break;
                case 'x': m.x = on; break;
                default: fail("Unrecognized Modifier", pos_);
            }
        }
        mods_ = m;
        return {make_node(Node::Kind::empty), false};
    }

    Piece escape() {
        if (pos_ + 1 >= p_.size()) fail("Trailing \\", pos_ + 1);
        pos_ += 1;
        const unsigned char c = take();
        if (auto s = shorthand(c)) return {set_node(s->bytes, s->pcre), true};
        switch (c) {
            case 'b': return {assertion_node(Assertion::word_boundary), false};
            case 'B': return {assertion_node(Assertion::not_word_boundary), false};
            case 'A': return {assertion_node(Assertion::text_start), false};
            case 'Z': return {assertion_node(Assertion::text_end), false};
            case 'x': return {literal(hex()), true};
            case 'c': return {literal(control()), true};
            default: break;
        }
        if (c >= '1' && c <= '9') {
            Node n = make_node(Node::Kind::backref);
            n.number = c - '0';
            n.caseless = mods_.i;
            return {std::move(n), true};
        }
        return {literal(escaped_byte(c)), true};
    }

    // \xHH with exactly two digits, or \x{...} up to FF (\x{} is NUL).
    unsigned char hex() {
        if (at_end()) fail("No Hex Code After \\x", pos_);
        if (next_is('{')) {
            ++pos_;
            unsigned value = 0;
            while (!next_is('}')) {
                if (at_end()) fail("Unclosed \\x{}", pos_);
                const int d = hex_value(take());
                if (d < 0) fail("Bad Hex Digit", pos_);
                value = value * 16 + static_cast<unsigned>(d);
                if (value > 0xFF) fail("Hex Code After \\x Is Too Big", pos_);
            }
            ++pos_;
            return static_cast<unsigned char>(value);
        }
        unsigned value = 0;
        for (int k = 0; k < 2; ++k) {
            if (at_end()) fail("Bad Hex Digit", pos_);
            const int d = hex_value(take());
            if (d < 0) fail("Bad Hex Digit", pos_);
            value = value * 16 + static_cast<unsigned>(d);
        }
        return static_cast<unsigned char>(value);
    }

    unsigned char control() {
        if (at_end() || !is_ascii_letter(static_cast<unsigned char>(p_[pos_])))
            fail("No Letter \"A\"..\"Z\" After \\c", pos_);
        return static_cast<unsigned char>((take() & ~0x20) ^ 0x40);
    }

    // Under i the members and range ends are kept in upper case and a subject
    // byte matches when its upper case is a member. So (?i)[a-Z] is the range
    // A-Z, and (?i)[à-ÿ] (C0 up to the upper case of ÿ, 9F) is empty.
    Piece char_class() {
        ++pos_;  // '['
        const bool negated = next_is('^');
        if (negated) ++pos_;
        ByteSet members;
        for (bool first = true;; first = false) {
            if (at_end()) fail("Unmatched []", pos_);
            if (next_is(']') && !first) {
                ++pos_;
                break;
            }
            const ClassMember m = class_member();
            if (m.shorthand) {
                members |= m.shorthand->bytes;
                continue;
            }
            const unsigned char b = mods_.i ? upper(m.byte) : m.byte;
            // A byte that starts a range is a member only through the range,
            // which under i may be empty.
            if (next_is('-') && pos_ + 1 < p_.size() && p_[pos_ + 1] != ']') {
                ++pos_;
                const ClassMember end = class_member();
                if (end.shorthand) fail("Metachar After \"-\" In [] Range", pos_);
                add_range(members, b, end.byte);
                continue;
            }
            members.set(b);
        }
        ByteSet matched = members;
        if (mods_.i) {
            for (unsigned b = 0; b < 256; ++b) matched[b] = members[upper(static_cast<unsigned char>(b))];
        }
        if (negated) matched.flip();
        return {set_node(matched, class_text(matched)), true};
    }

    // Inside a class: \b is b, [ is plain, no backreferences.
    ClassMember class_member() {
        const unsigned char c = take();
        if (c != '\\') return {c, std::nullopt};
        if (at_end()) fail("Parse Atom Trailing \\", pos_);
        const unsigned char e = take();
        if (auto s = shorthand(e)) return {0, std::move(s)};
        if (e == 'x') return {hex(), std::nullopt};
        if (e == 'c') return {control(), std::nullopt};
        return {escaped_byte(e), std::nullopt};
    }

    // Under r the reversed range E0-DF (the Cyrillic а-Я) is all of C0-FF.
    void add_range(ByteSet& members, unsigned char lo, unsigned char hi) const {
        if (mods_.r && lo == 0xE0 && hi == 0xDF) {
            members |= byte_range(0xC0, 0xFF);
            return;
        }
        if (lo > hi) fail("Invalid [] Range", pos_);
        const unsigned char top = mods_.i ? upper(hi) : hi;
        if (lo <= top) members |= byte_range(lo, top);
    }

    std::string_view p_;
    std::size_t pos_ = 0;
    Modifiers mods_;
    int groups_ = 0;
    int captures_ = 0;
};

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

// ---- Repeat counts against the subject ------------------------------------------

// The fewest bytes a node can match. Sums and products stop at kWide, beyond
// any subject, so that nested counts cannot overflow.
using Width = std::uint64_t;
constexpr Width kWide = Width{1} << 36;

Width saturated(Width w) { return std::min(w, kWide); }

Width min_width(const std::vector<Node>& items);

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

struct Counts {
    unsigned long min, max;
};

// The counts a repeat needs on a subject of the given length, as far as
// whether a match exists goes; nothing when it can never match. An operand of
// width w fits at most length / w times, so a larger maximum is as good as
// none (and PCRE2 then holds one copy of a group instead of one per count).
// An operand that can match empty matches something at most length times;
// every other run is empty, so one more than that is as good as any larger
// minimum, and a maximum beyond it is as good as none.
std::optional<Counts> fit_to_subject(const Node& repeat, std::size_t subject_length) {
    const Width w = min_width(repeat.operand.front());
    const Width length = std::min<Width>(subject_length, kWide);
    Counts c{repeat.min, repeat.max};
    const Width most_runs = w > 0 ? length / w : length;
    if (w > 0 && c.min > most_runs) return std::nullopt;
    if (w == 0 && c.min > most_runs + 1) c.min = static_cast<unsigned long>(most_runs + 1);
    if (c.max != kUnbounded && c.max > most_runs) c.max = kUnbounded;
    return c;
}

// ---- Emitter -----------------------------------------------------------------------

// Whether any node of the tree satisfies the test.
template <class Test>
bool any_node(const Node& n, const Test& test) {
    if (test(n)) return true;
    for (const auto& b : n.branches)
        for (const Node& m : b)
            if (any_node(m, test)) return true;
    for (const Node& m : n.operand)
        if (any_node(m, test)) return true;
    return false;
}

template <class Test>
bool any_node(const std::vector<std::vector<Node>>& branches, const Test& test) {
    for (const auto& b : branches)
        for (const Node& n : b)
            if (any_node(n, test)) return true;
    return false;
}

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
    // tables in every mode (the interpreter, or JIT with a callout).
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
        const auto counts = fit_to_subject(n, subject_length_);
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

std::string trx_to_pcre2(const std::string& pattern, std::size_t subject_length) {
    if (pattern.empty()) throw ERegExpr("TRegExpr(exec): Not Assigned Expression Property");
    Parser parser(pattern);
    const auto branches = parser.parse();
    // The whole pattern is checked before anything is dropped for the subject's sake.
    const std::string body = Emitter(branches, parser.captures(), subject_length).pattern();
    const std::string guard = start_guard(branches);
    return guard.empty() ? body : guard + "(?:" + body + ")";
}

}  // namespace kalvorin
