#pragma once
// The external-image rule: what the setting "extimg" asks for a message that
// loads images from outside. The setting holds one of three words; any other
// word leaves the score as it is, as "none" does.
#include <cstdint>
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

// What the external-image rule did with the score the list pass reached.
enum class ImageRule {
    no_image,    // the raw message refers to no external image
    unchanged,   // it does, but the setting asks for no rule
    kept,        // it does, but the score the list pass reached stands
    to_suspect,  // "susp" and no list decided
    to_trash,    // "trash" and no list decided, or the score was the suspect score
};

// Applies the rule to the score. score_of(n) gives list n's score (1 secure,
// 2 trash, 3 suspect) and is asked exactly where the rule looks at one, so
// that the plug-in can log each look: under "trash" the suspect score is
// looked at whenever there is an image, the trash score only when taken.
template <class ScoreOf>
ImageRule apply_image_rule(bool image, ExtImgRule rule, std::int32_t& score, ScoreOf&& score_of) {
    if (!image) return ImageRule::no_image;
    switch (rule) {
        case ExtImgRule::suspect:
            if (score != 0) return ImageRule::kept;
            score = score_of(3);
            return ImageRule::to_suspect;
        case ExtImgRule::trash:
            if (const std::int32_t suspect = score_of(3); score != suspect && score != 0) return ImageRule::kept;
            score = score_of(2);
            return ImageRule::to_trash;
        case ExtImgRule::none: break;
    }
    return ImageRule::unchanged;
}

}  // namespace kalvorin
