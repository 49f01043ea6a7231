#pragma once
// A filter line read from left to right as a person reads it: its tests,
// numbers, operators and parentheses, each with its column, and where it
// departs from tests joined by + and * in parentheses that pair up. The
// plug-in's own steps decide whether the line stops; this reading only says
// where to change it.
#include <cstddef>
#include <optional>
#include <string>
#include <vector>

#include "tools/Words.h"

namespace kalvorin::lint {

struct Remark {
    Words what, fix;
};

struct LineSyntax {
    // The first thing, from the left, that no expression allows, as what to
    // change; nothing when the line reads as one.
    std::optional<Words> fault;
    // What the plug-in accepts but a writer hardly means: a '(' never closed,
    // two operands with no operator between them. Only when there is no fault.
    std::vector<Remark> remarks;
    // The first number standing as an operand: its text and column.
    std::optional<std::pair<std::string, std::size_t>> number;
};

LineSyntax read_syntax(const std::string& line);

// The 1-based column of a test in the line, its keyword in any letter case;
// 0 when it does not stand there as written.
std::size_t column_of(const std::string& line, const std::string& test);

}  // namespace kalvorin::lint
