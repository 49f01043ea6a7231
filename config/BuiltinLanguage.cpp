#include "config/BuiltinLanguage.h"

#include <string_view>

namespace kalvorin::config {

// Generated at build time from resources/lang.eng.txt.
extern const std::string_view kBuiltinEnglish;

namespace {

// Lines end with CR LF, as in the language files; a last line without one
// still counts.
LanguageSlots split_lines(std::string_view text) {
    LanguageSlots slots{};
    for (std::size_t n = 0; n < slots.size() && !text.empty(); ++n) {
        const std::size_t end = text.find("\r\n");
        slots[n] = std::string(text.substr(0, end));
        text = end == std::string_view::npos ? std::string_view{} : text.substr(end + 2);
    }
    return slots;
}

}  // namespace

const LanguageSlots& builtin_english() {
    static const LanguageSlots slots = split_lines(kBuiltinEnglish);
    return slots;
}

void fill_empty_slots(LanguageSlots& slots) {
    const LanguageSlots& english = builtin_english();
    for (std::size_t n = 0; n < slots.size(); ++n)
        if (slots[n].empty()) slots[n] = english[n];
}

}  // namespace kalvorin::config
