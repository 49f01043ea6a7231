#pragma once
// The sentences of a message's account kept apart from the language they are
// said in: kalvorin-host says them in English, the configuration window in
// its language's words, from templates that stand in the language files.
#include <cstddef>
#include <functional>
#include <initializer_list>
#include <string>
#include <string_view>

namespace kalvorin::inspect {

// A template's number. In the templates "%1" to "%9" stand for the values
// and "%%" for "%". The order is the language files' order.
enum class Told : std::size_t {
    line_at, decided_by, stopped_at, stopped_before, no_line, passed_over, error, score_reached,
    cut_off, no_mode, mode_contains, mode_word, mode_pattern, mode_none, looked_in, negated,
    not_apart, not_in_line,
    raises, no_match, not_found, matches_at, not_whole_word, found_at,
    expression_match, expression_no_match, expression_error,
    cap_off, cap, cap_cut, cap_none,
    image_stopped, image_none, image_at, image_stands, image_kept_list, image_kept_score, image_suspect,
    image_trash, image_trash_suspect,
    stopped_at_why, stopped_before_why, no_line_image,
    note_capped, note_trimmed, one_character, characters, at_least_one_character, at_least_characters,
    note_uncertain,
    before, after, decider_none, decider_image, decider_stopped,
    count
};

// The template of one language for a number; an empty text, or no function,
// stands for the English one (a language file older than the program).
using Wording = std::function<std::string(Told)>;

std::string_view english_template(Told t);

// The sentence t in wording's language, the values put in byte for byte.
std::string told(Told t, const Wording& wording, std::initializer_list<std::string> values = {});

}  // namespace kalvorin::inspect
