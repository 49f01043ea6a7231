#pragma once
// What the checker learns of one filter line from the plug-in's own code: its
// field tests taken apart ahead of any message, and the line's value under
// every combination of their answers (a sample when it has many).
#include <memory>
#include <optional>
#include <string>
#include <vector>

namespace kalvorin::lint {

struct LineFacts {
    std::string canonical;               // keywords in upper case: equal lines behave alike
    std::optional<std::string> stop;     // how and when the line stops the scoring
    bool never_matches = false;          // every combination was tried and none matched
    std::vector<std::string> patterns;   // the patterns of its regular-expression tests
    // Tests (keyword in upper case) that the line never matches without, and
    // tests that make it match whatever the others answer; both only when
    // every combination was tried.
    std::vector<std::string> required;
    std::vector<std::string> sufficient;
};

class LineExaminer {
public:
    LineExaminer();
    ~LineExaminer();
    LineExaminer(const LineExaminer&) = delete;
    LineExaminer& operator=(const LineExaminer&) = delete;
    LineFacts facts(const std::string& line);

private:
    // The combinations' outcomes by shape of line, for the lines to come.
    struct Shapes;
    std::unique_ptr<Shapes> shapes_;
};

// Whether a comment line would be a sound filter line without its ':'.
bool reads_as_filter(const std::string& comment);

}  // namespace kalvorin::lint
