#pragma once
// The three text lists of a base folder, line by line, as the plug-in's
// initialisation copies them into its compiled lists.
#include <array>
#include <cstddef>
#include <string>
#include <vector>

#include "CodigoComun/ListLine.h"
#include "platform/textfile.h"

namespace kalvorin::inspect {

struct FilterLists {
    // In list order (secure, trash, suspect); every line as read, none dropped,
    // so that a line's index + 1 is its line number in the file.
    std::array<std::vector<std::string>, 3> lines;
};

// The folder with the platform separator after it, unless it ends in one.
std::string as_basefolder(const std::string& folder);

// The stored base folder, as the plug-in reads it from the settings.
std::string stored_basefolder();

// Raises EInOutError, naming the file, for a list that cannot be read. The
// stored base folder's lists are read by the rules of its files; a folder
// that someone names is read as given.
FilterLists read_lists(const std::string& basefolder, platform::Place place);

using kalvorin::is_filter_line;

// "secure", "trash" or "suspect".
const char* list_name(std::size_t list);

}  // namespace kalvorin::inspect
