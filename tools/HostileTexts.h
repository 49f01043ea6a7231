#pragma once
// Texts on which a pattern's repeats have the most ways to divide their input
// before the match fails: each repeat's operand over and over, then a byte the
// pattern does not ask for, then a sketch of the whole pattern, so that the
// bytes a match requires are there and the engine cannot give up early.
#include <cstddef>
#include <string>
#include <vector>

#include "CodigoComun/TrxTree.h"

namespace kalvorin::lint {

struct HostileText {
    std::string text;
    std::string recipe;  // how it was made, for the report
};

// At most one text per repeat of the pattern (the first few in the tree) and
// one near miss of the whole pattern, each `length` bytes long.
std::vector<HostileText> hostile_texts(const trx::ParsedPattern& pattern, std::size_t length);

}  // namespace kalvorin::lint
