#include "CodigoComun/TrxParser.h"

#include <optional>
#include <string_view>
#include <utility>

#include "CodigoComun/Errors.h"

namespace kalvorin::trx {

namespace {

constexpr std::size_t kMaxCountDigits = 8;
constexpr int kMaxGroups = 89;

[[noreturn]] void fail(std::string_view problem, std::size_t pos) {
    throw ERegExpr("TRegExpr(comp): " + std::string(problem) + " (pos " + std::to_string(pos) + ")");
}

const ByteSet kDigit = byte_range('0', '9');
const ByteSet kWord = kDigit | byte_range('A', 'Z') | byte_range('a', 'z') | bytes_of("_");
const ByteSet kSpace = bytes_of(" \t\n\r\f");
const ByteSet kHorizontalSpace = bytes_of("\t \xA0");
const ByteSet kVerticalSpace = bytes_of("\n\x0B\f\r");
const ByteSet kLineBreaks = bytes_of("\n\r\x0B\f");

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

}  // namespace

ParsedPattern parse(const std::string& pattern) {
    if (pattern.empty()) throw ERegExpr("TRegExpr(exec): Not Assigned Expression Property");
    Parser parser(pattern);
    ParsedPattern parsed;
    parsed.branches = parser.parse();
    parsed.captures = parser.captures();
    return parsed;
}

}  // namespace kalvorin::trx
