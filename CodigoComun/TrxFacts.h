#pragma once
// What the list checker learns of a pattern in the filter dialect from its
// parsed form, which stays inside the translator. Both raise ERegExpr with the
// dialect's message for a pattern the dialect rejects.
#include <cstddef>
#include <string>
#include <vector>

namespace kalvorin {

// Whether every match of the pattern holds a byte from a to z: a literal
// letter not made caseless, or a set of such letters only.
bool trx_needs_lower_case(const std::string& pattern);

struct HostileText {
    std::string text;
    std::string recipe;  // how it was made, for the report
};

// Texts on which a pattern's repeats have the most ways to divide their input
// before the match fails: each repeat's operand over and over, then a byte the
// pattern does not ask for, then a sketch of the whole pattern, so that the
// bytes a match requires are there and the engine cannot give up early. At
// most one text per repeat of the pattern (the first few in the tree) and one
// near miss of the whole pattern, each `length` bytes long.
std::vector<HostileText> trx_hostile_texts(const std::string& pattern, std::size_t length);

// Texts of at most `length` bytes (one piece more when not even one fits)
// made from the pieces of each repeated group (a repeat over a repeat or over
// alternatives; the first few in the tree): what a match needs before the
// group, short words of the group's operand over and over, then a byte that
// breaks the last word before what follows the group, so that the match fails
// there. A group that must run several times also gets a text of one run
// fewer, the repeats inside each run stretched. None for a pattern without
// repeated groups, whose work grows no faster than its text on such texts.
std::vector<HostileText> trx_piece_texts(const std::string& pattern, std::size_t length);

}  // namespace kalvorin
