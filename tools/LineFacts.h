#pragma once
// What the checker learns of one filter line from the plug-in's own code: its
// field tests taken apart ahead of any message, and the line's value under
// every combination of their answers (a sample when it has many).
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "tools/Words.h"

namespace kalvorin::lint {

// A field test as the checker compares it with tests of other lines.
struct TestRef {
    std::string key;    // what decides its answer under the upper-case option, and its operator
    std::string shown;  // the test with its keyword in upper case
};

// A test whose search never succeeds, whatever the message.
struct NeverFound {
    std::string shown;
    Says why = Says::why_empty_text;
    bool negated = false;  // then the test itself always holds
};

struct LineFacts {
    // Equal for lines that give the same value for every message.
    std::string canonical;
    std::optional<Words> stop;           // how and when the line stops the scoring
    bool never_matches = false;          // every combination was tried and none matched
    bool always_matches = false;         // every combination was tried and each matched
    std::vector<std::string> patterns;   // the patterns of its regular-expression tests
    std::vector<NeverFound> never_found;
    // Tests that the line never matches without, and tests that make it match
    // whatever the others answer; both only when every combination was tried.
    std::vector<TestRef> required;
    std::vector<TestRef> sufficient;
};

class LineExaminer {
public:
    // The upper-case option decides which tests give the same answers.
    explicit LineExaminer(bool uppercase);
    ~LineExaminer();
    LineExaminer(const LineExaminer&) = delete;
    LineExaminer& operator=(const LineExaminer&) = delete;
    LineFacts facts(const std::string& line);

private:
    bool uppercase_;
    // The combinations' outcomes by shape of line, for the lines to come.
    struct Shapes;
    std::unique_ptr<Shapes> shapes_;
};

// Whether a comment line would be a sound filter line without its ':'.
bool reads_as_filter(const std::string& comment);

}  // namespace kalvorin::lint
