#pragma once
// The checks of kalvorin-lint: what in the three filter lists stops the
// scoring, costs the regular-expression engine its bounds, or can never
// decide a message.
#include <cstddef>
#include <string>
#include <vector>

#include "inspect/ListFiles.h"

namespace kalvorin::lint {

enum class Kind {
    stops,          // the line cannot be taken apart or evaluated, for every message or for some
    regex_error,    // a pattern that does not compile
    regex_cost,     // a pattern that the engine gives up on for a generated text
    duplicate,      // the same line earlier, keywords' letter case aside
    never_decides,  // an earlier line matches whenever this one does, or nothing makes it match
};

// "stops", "regex-error", "regex-cost", "duplicate", "never-decides".
const char* kind_name(Kind kind);

struct Finding {
    std::size_t list = 0;    // 0 secure, 1 trash, 2 suspect
    std::size_t number = 0;  // line number, from 1
    Kind kind = Kind::stops;
    std::string text;        // what was found, in words
};

struct Report {
    std::vector<Finding> findings;      // in list order, then line order
    std::size_t filter_lines = 0;       // the lines the list pass hands to filtred
    std::size_t disabled_comments = 0;  // comment lines that would be filter lines without their ':'
};

// The upper-case option decides the form in which the patterns see a text.
Report check(const inspect::FilterLists& lists, bool uppercase);

}  // namespace kalvorin::lint
