#pragma once
// A message's scoring told in words: the account that kalvorin-host --explain
// prints and the configuration window shows, and the one-line forms that a
// comparison of two sets of lists uses. Each takes the wording of the
// caller's language, English when none is given.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "inspect/Evaluation.h"
#include "inspect/Wording.h"

namespace kalvorin::inspect {

// Appends the bytes with their control characters made visible: \n, \r, \t,
// or \xHH for the others; every other byte as it is.
void escaped(std::string& out, std::string_view bytes);

// "trash line 3: <the line>".
std::string describe_line(const Evaluation& ev, std::size_t base, LineAt at, const Wording& w = {});

// The part's bytes around the span, the span marked [[ ]], "..." where the
// part goes on; control bytes are written as escapes so that the excerpt
// stays on its line.
std::string excerpt(const std::string& part, Span span);

// The account of e, the explanation of m with base's lists, one text line
// each, indented by two blanks (four for a field test): the line that
// decided, the one that stopped the scoring, or that none decides; that
// line's field tests with where their texts were found, its expression and
// value; the error and the score reached; the cap; the external-image rule.
std::vector<std::string> account_lines(const Evaluation& ev, const SeenMessage& m, const Explained& e,
                                       std::size_t base = 0, const Wording& w = {});

// What decided: a list's name, "image" (the external-image rule alone),
// "stopped" (an error ended the scoring) or "none".
std::string decider(const Verdict& v, const Wording& w = {});

// The verdict in one line: the deciding line, or why no line decides.
std::string account(const Evaluation& ev, std::size_t base, const Verdict& v, const Wording& w = {});

}  // namespace kalvorin::inspect
