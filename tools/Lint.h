#pragma once
// The checks of kalvorin-lint: what in the three filter lists stops the
// scoring, costs the regular-expression engine its bounds, or can never
// decide a message.
#include <array>
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "inspect/ListFiles.h"
#include "tools/Words.h"

namespace kalvorin::lint {

// Most serious first.
enum class Kind {
    stops,          // the line cannot be taken apart or evaluated, for every message or for some
    regex_error,    // a pattern that does not compile
    regex_cost,     // a pattern out of its budget on a generated text: the line is passed over for such a message
    decides_all,    // the line matches every message, so no line after it decides
    never_holds,    // a test whose search never succeeds: an empty text, a pattern the case rules out
    always_holds,   // such a test negated
    unclosed,       // a '(' never closed, which the plug-in drops
    no_operator,    // two operands side by side, whose digits the plug-in joins into one number
    utf8,           // the line reads as UTF-8, which the plug-in takes for Windows-1252
    duplicate,      // an earlier line gives the same value for every message
    never_decides,  // an earlier line matches whenever this one does, or nothing makes it match
};

// "stops", "regex-error", "regex-cost", "decides-all", "never-holds",
// "always-holds", "unclosed", "no-operator", "utf-8", "duplicate",
// "never-decides".
const char* kind_name(Kind kind);
// The kind's label among the templates.
Says label(Kind kind);

struct Finding {
    std::size_t list = 0;    // 0 secure, 1 trash, 2 suspect
    std::size_t number = 0;  // line number, from 1
    Kind kind = Kind::stops;
    Words what;              // what was found; the system's own error texts stand among its values
    Words fix;               // what to change, and where: a column or a test
};

struct Report {
    std::vector<Finding> findings;      // in list order, then line order, then most serious first
    std::size_t filter_lines = 0;       // the lines the list pass hands to filtred
    std::size_t disabled_comments = 0;  // comment lines that would be filter lines without their ':'
};

// Called before each line with how many lines of the three lists come
// before it and their number; it may raise to end the check.
using BetweenLines = std::function<void(std::size_t done, std::size_t total)>;

// By list, how many of its first lines are passed over: neither checked nor
// compared with, so a line after them is told only what it has of itself.
using FirstLines = std::array<std::size_t, 3>;

// The upper-case option decides the form in which the patterns see a text.
// A claim that a line never decides (duplicate, never-decides) is made only
// when it is proven for every message.
Report check(const inspect::FilterLists& lists, bool uppercase, const FirstLines& passed_over = {},
             const BetweenLines& between = nullptr);

// The findings, most serious first, in list order and line order within a kind.
std::vector<Finding> by_severity(std::vector<Finding> findings);

// The line in Windows-1252 when it reads as UTF-8 and every character it
// holds is in the code page; nothing otherwise.
std::optional<std::string> utf8_fix(const std::string& line);

}  // namespace kalvorin::lint
