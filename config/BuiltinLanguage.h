#pragma once
// The English texts built into the program: the lang.eng.txt it ships with.
// They stand in where start-up stopped before the language files gave a
// text, so the window never shows its placeholders.
#include "config/Language.h"

namespace kalvorin::config {

// The shipped lang.eng.txt, line n in slot n.
const LanguageSlots& builtin_english();

// Every empty slot takes the built-in English text of its line.
void fill_empty_slots(LanguageSlots& slots);

}  // namespace kalvorin::config
