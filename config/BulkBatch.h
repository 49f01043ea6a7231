#pragma once
// Bulk creation without the window: one field test per source text into the
// staging file, and a prepared batch moved into a list's pending file.
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

#include "config/FieldTest.h"

namespace kalvorin::config {

// Told the length of each line read, for a progress display.
using LineRead = std::function<void(std::size_t bytes)>;

// Shorter source texts are skipped.
inline constexpr std::size_t kMinMemoLine = 2;
inline constexpr std::size_t kMinFileLine = 4;

// What one generation did with the source texts long enough to count.
struct BatchCount {
    std::size_t written = 0;
    // Skipped, as the editor refuses them: a test cannot hold them (Refusal).
    std::size_t with_delimiter = 0;
    std::size_t with_keyword = 0;
};

// Appends kind.test(text) to the staging file for each memo row of at least
// kMinMemoLine characters that a test can hold.
BatchCount generate_from_rows(const TestKind& kind, const std::vector<std::string>& rows, const std::string& staging);

// The same for each line of at least kMinFileLine characters of the source
// file, read line by line. A source that is the staging file itself is taken
// as it was when generation began.
BatchCount generate_from_file(const TestKind& kind, const std::string& source, const std::string& staging,
                              const LineRead& line_read);

// What to tell the user about the skipped texts; empty when none was skipped.
std::string skipped_message(const BatchCount& count, char delimiter);

// Appends every line of the staging file to the pending file, then empties
// the staging file. After a failure the staging file is kept whole, so the
// batch can be added again.
void add_batch(const std::string& staging, const std::string& pending, const LineRead& line_read);

}  // namespace kalvorin::config
