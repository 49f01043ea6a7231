#pragma once
// The three filter lists as the configuration program keeps them: their files,
// the lists that start-up creates, and the save that merges the waiting lines
// of a pending file into its list. No widget here.
#include <array>

#include "CodigoComun/FileNames.h"
#include <string>
#include <string_view>
#include <vector>

namespace kalvorin::config {

struct ListFiles {
    std::string list;     // the list, read by the plug-in
    std::string pending;  // the lines added since start-up, waiting for a save
    const char* title;    // first line of a list that start-up creates
};

// Secure, trash, suspect: the order of every pass over the lists.
const std::array<ListFiles, 3>& lists();

// Removes the scratch files beside the list that saves stopped midway left;
// whatever cannot be removed stays.
void remove_stale_scratch(const std::string& list);

// What start-up writes into a list that is missing.
std::string default_list(const ListFiles& files);

// The list after a save: the old list's lines and the waiting lines longer
// than 5 characters, keeping only lines longer than 2 characters, each ended
// by CR LF, and a final ":" without a line end.
std::string merged_list(const std::vector<std::string>& list_lines, const std::vector<std::string>& waiting);

// Puts the content in the list's place in one step; raises EInOutError and
// leaves the list as it was on failure (a link or a pipe in its name is
// refused).
void rewrite_list(const std::string& list, std::string_view content);

// Merges the pending file into the list and empties the pending file. The
// list on disk is the old one or the new one, whole; a failure raises
// EInOutError before the pending file is emptied.
void save_list(const std::string& list, const std::string& pending);

}  // namespace kalvorin::config
