#pragma once
// Where a text of the plug-in log's part dump ends. Each part's text, trimmed,
// is followed by a line break and one of a few lines of the log's own: the
// next part's banner twice, or after the raw message the first list's name,
// the error that stopped the message, or the next message's first line when
// the rest of the account was lost. Read back, a text ends at the first of
// these after its start. A text that holds one of them would so end too
// early: the plug-in gives its length before the dump, "IDX: " + part number
// + kIdxDumped + length, and a reader takes that instead.
#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace kalvorin::log_lines {

// What follows the text of the dump's k-th part (kDump's order), line break first.
const std::vector<std::string>& dump_enders(std::size_t k);
// Whether the k-th part's dumped text, read back, would end before its end.
bool ends_early(std::size_t k, std::string_view dumped);

}  // namespace kalvorin::log_lines
