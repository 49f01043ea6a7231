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

// Appends kind.test(text) to the staging file for each memo row of at least
// kMinMemoLine characters.
void generate_from_rows(const TestKind& kind, const std::vector<std::string>& rows, const std::string& staging);

// The same for each line of at least kMinFileLine characters of the source
// file. A source that is the staging file itself is taken as it was when
// generation began.
void generate_from_file(const TestKind& kind, const std::string& source, const std::string& staging,
                        const LineRead& line_read);

// Appends every line of the staging file to the pending file, then empties
// the staging file. After a failure the staging file is kept whole, so the
// batch can be added again.
void add_batch(const std::string& staging, const std::string& pending, const LineRead& line_read);

}  // namespace kalvorin::config
