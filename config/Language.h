#pragma once
// The language files: the window's texts by line number. No widget here.
#include <array>
#include <cstddef>
#include <string>

namespace kalvorin::config {

// Slot n holds line n of the language files.
inline constexpr std::size_t kLanguageSlots = 340;
using LanguageSlots = std::array<std::string, kLanguageSlots>;

// Reads folder + "lang.eng.txt" into the slots, then folder + "lang.txt" over
// them, so that "lang.eng.txt" supplies the lines beyond the end of
// "lang.txt"; lines after the last slot are ignored. Raises EInOutError at the
// first file that cannot be read, the slots of a file read before it filled.
void read_language_files(const std::string& folder, LanguageSlots& slots);

}  // namespace kalvorin::config
