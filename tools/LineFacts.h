#pragma once
// What the checker learns of one filter line from the plug-in's own code: its
// field tests taken apart ahead of any message, and the line's value under
// every combination of their answers (a sample when it has many).
#include <optional>
#include <string>
#include <vector>

namespace kalvorin::lint {

struct LineFacts {
    std::string canonical;               // keywords in upper case: equal lines behave alike
    std::optional<std::string> stop;     // how and when the line stops the scoring
    bool never_matches = false;          // every combination was tried and none matched
    std::vector<std::string> patterns;   // the patterns of its regular-expression tests
    std::vector<std::string> required;   // tests (keyword in upper case) it never matches without
    std::optional<std::string> single;   // the one test the line amounts to
};

LineFacts line_facts(const std::string& line);

// Whether a comment line would be a sound filter line without its ':'.
bool reads_as_filter(const std::string& comment);

}  // namespace kalvorin::lint
