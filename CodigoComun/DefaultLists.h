#pragma once
// The lines of the lists that the configuration program's start-up writes
// when a list is missing: a title, a comment and two placeholder filter lines
// that show where filters go.
#include <array>

namespace kalvorin {

// By list: secure, trash, suspect.
inline constexpr std::array<const char*, 3> kListTitles = {":Secure filters", ":Trash filters", ":Suspect filters"};
inline constexpr const char* kDefaultComment = ": <-- this is a comment";
// The same two lines stand in every list: the checker does not count their
// repeats as lines that never decide.
inline constexpr std::array<const char*, 2> kPlaceholderLines = {"snder=\"put your filters here\"", "snder=\"and here\""};

}  // namespace kalvorin
