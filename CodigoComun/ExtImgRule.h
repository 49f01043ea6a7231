#pragma once
// The external-image rule: what the setting "extimg" asks for a message that
// loads images from outside. The setting holds one of three words; any other
// word leaves the score as it is, as "none" does.
#include <string>

namespace kalvorin {

enum class ExtImgRule { none, suspect, trash };

// The word stored for each rule.
inline const char* setting_of(ExtImgRule rule) {
    switch (rule) {
        case ExtImgRule::suspect: return "susp";
        case ExtImgRule::trash: return "trash";
        case ExtImgRule::none: break;
    }
    return "none";
}

inline ExtImgRule extimg_rule(const std::string& setting) {
    for (ExtImgRule r : {ExtImgRule::suspect, ExtImgRule::trash})
        if (setting == setting_of(r)) return r;
    return ExtImgRule::none;
}

}  // namespace kalvorin
