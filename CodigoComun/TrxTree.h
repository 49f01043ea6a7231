#pragma once
// The parsed form of a pattern in the filter dialect, shared by the parser
// (TrxParser) and the emitter (TrxEmitter), with the byte-set helpers both use.
#include <array>
#include <bitset>
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace kalvorin::trx {

using ByteSet = std::bitset<256>;

// A repeat's maximum when it has none.
inline constexpr unsigned long kUnbounded = ~0UL;

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

// A whole pattern: its alternatives and the number of its capturing groups.
struct ParsedPattern {
    std::vector<std::vector<Node>> branches;
    int captures = 0;
};

// Upper case of a byte under the ANSI code page.
unsigned char upper(unsigned char c);
// The other case of each byte under the ANSI code page (the byte itself when
// it has none).
const std::array<unsigned char, 256>& case_partners();
bool has_partner(unsigned char c);
ByteSet byte_range(unsigned lo, unsigned hi);
ByteSet bytes_of(std::string_view bytes);
// A byte as PCRE2 text: letters and digits as they are, every other byte as \x{hh}.
std::string hex_byte(unsigned b);
std::string literal_text(unsigned char b);
// A PCRE2 class of exactly these bytes; an empty set never matches.
std::string class_text(const ByteSet& s);

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

}  // namespace kalvorin::trx
