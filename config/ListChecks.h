#pragma once
// What the window's checks work on, without a widget: the three lists read
// for a check, the lists as Save All would write them, the waiting lines that
// would stop the scoring, and the repair of a list saved as UTF-8.
#include <array>
#include <cstddef>
#include <string>
#include <vector>

#include "CodigoComun/BaseFiles.h"
#include "inspect/ListFiles.h"
#include "tools/Lint.h"

namespace kalvorin::config {

struct CheckedLists {
    inspect::FilterLists lists;            // a list that could not be read is empty
    std::vector<std::string> unreadable;   // "secure.filters.txt: File not found", one per such list
};

// The lists of the base folder; a list that is missing or unreadable does
// not stop the others from being read.
CheckedLists read_lists_for_check(const BaseFiles& basefolder);

struct ListsAfterSave {
    inspect::FilterLists lists;
    // By list: how many of its lines come from the list as it is; the
    // waiting lines follow them.
    std::array<std::size_t, 3> kept{};
};

// The lists as Save All would write them from the lists and pending files of
// the base folder; a missing list counts as empty. Raises EInOutError when a
// file cannot be read.
ListsAfterSave lists_after_save(const BaseFiles& basefolder);

// The findings on waiting lines that would stop the scoring, whose pattern
// cannot compile or run, that match every message, or that hold a test or
// are a line that never holds; most serious first. Only the waiting lines
// are checked: these findings depend on nothing before them.
std::vector<lint::Finding> faults_in_waiting_lines(const ListsAfterSave& after, bool uppercase,
                                                   const lint::BetweenLines& between = nullptr);

// The box's text: each such line with its list, number, text, what to
// change and why, in the templates' language.
std::string faults_text(const std::vector<lint::Finding>& faults, const inspect::FilterLists& lists,
                        const lint::Templates& texts);

// A finding for a reader: its line's place and text, shortened, then its
// kind with what to change, then what was found.
std::string finding_text(const lint::Finding& f, const inspect::FilterLists& lists, const lint::Templates& texts);

// Rewrites the list with every line that reads as UTF-8 in Windows-1252,
// where the code page holds its characters; line ends are kept as they are.
// Returns how many lines changed.
std::size_t convert_utf8_lines(const std::string& list);

}  // namespace kalvorin::config
