#pragma once
// What the window's checks work on, without a widget: the three lists read
// for a check, the lists as Save All would write them, the waiting lines that
// would stop the scoring, and the repair of a list saved as UTF-8.
#include <array>
#include <cstddef>
#include <string>
#include <vector>

#include "inspect/ListFiles.h"
#include "tools/Lint.h"

namespace kalvorin::config {

struct CheckedLists {
    inspect::FilterLists lists;            // a list that could not be read is empty
    std::vector<std::string> unreadable;   // "secure.filters.txt: File not found", one per such list
};

// The lists of the base folder; a list that is missing or unreadable does
// not stop the others from being read.
CheckedLists read_lists_for_check(const std::string& basefolder);

struct ListsAfterSave {
    inspect::FilterLists lists;
    // By list: how many of its lines come from the list as it is; the
    // waiting lines follow them.
    std::array<std::size_t, 3> kept{};
};

// The lists as Save All would write them from the lists and pending files of
// the base folder; a missing list counts as empty. Raises EInOutError when a
// file cannot be read.
ListsAfterSave lists_after_save(const std::string& basefolder);

// The findings on waiting lines that would stop the scoring or whose pattern
// cannot compile or run, most serious first.
std::vector<lint::Finding> faults_in_waiting_lines(const ListsAfterSave& after, bool uppercase);

// The box's text: each such line with its list, number, text and why.
std::string faults_text(const std::vector<lint::Finding>& faults, const inspect::FilterLists& lists);

// Rewrites the list with every line that reads as UTF-8 in Windows-1252,
// where the code page holds its characters; line ends are kept as they are.
// Returns how many lines changed.
std::size_t convert_utf8_lines(const std::string& list);

}  // namespace kalvorin::config
