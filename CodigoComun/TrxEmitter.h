#pragma once
// The emitter: a parsed pattern of the filter dialect written as the PCRE2
// pattern (8-bit, no UTF, compiled with DOTALL and DOLLAR_ENDONLY and the
// engine's Windows-1252 character tables) that gives the same answer, with its
// counted repeats fitted to the length of the subject.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "CodigoComun/TrxTree.h"

namespace kalvorin::trx {

// The fewest bytes a node can match. Sums and products stop at kWide, beyond
// any subject, so that nested counts cannot overflow.
using Width = std::uint64_t;
inline constexpr Width kWide = Width{1} << 36;
Width min_width(const Node& n);
Width min_width(const std::vector<Node>& items);

struct Counts {
    unsigned long min, max;
    bool operator==(const Counts&) const = default;
};

// The counts a repeat of min to max runs of an operand of width w needs on a
// subject of the given length, as far as whether a match exists goes; nothing
// when it can never match.
std::optional<Counts> fit_to_subject(unsigned long min, unsigned long max, Width w, std::size_t subject_length);

// How every repeat of a pattern is fitted to a subject's length. Lengths of the
// same class get the same fitting, so the same translation.
class Fitting {
public:
    explicit Fitting(const ParsedPattern& parsed);
    // The fitted counts of each repeat, in the tree's order, as one key.
    std::vector<unsigned long> length_class(std::size_t subject_length) const;

private:
    struct Repeat {
        unsigned long min, max;
        Width width;
    };
    std::vector<Repeat> repeats_;
};

// The PCRE2 pattern that matches a subject of at most subject_length bytes
// exactly when the parsed pattern matches it. It tells only whether a match
// exists, not where.
std::string emit(const ParsedPattern& parsed, std::size_t subject_length);

}  // namespace kalvorin::trx
