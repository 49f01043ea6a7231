#pragma once
// What the checker says, kept apart from the language it is said in: a
// sentence is the number of its template and the values it names, so that
// kalvorin-lint says it in English and the window in the window's language.
#include <cstddef>
#include <functional>
#include <string>
#include <vector>

namespace kalvorin::lint {

// A template's number. In the templates "%1" to "%9" stand for the values,
// "%r" for the reason's template and "%%" for "%". The first entries follow
// Kind, one label each; the order is the language files' order.
enum class Says : std::size_t {
    kind_stops, kind_regex_error, kind_regex_cost, kind_decides_all, kind_never_holds, kind_always_holds,
    kind_unclosed, kind_no_operator, kind_utf8, kind_duplicate, kind_never_decides,
    line_at,
    stops_refused, stops_apart, stops_all, stops_some, stepped_all, stepped_some,
    regex_compile, regex_fails, regex_costly,
    decides_all, never_holds, always_holds,
    why_empty_text, why_nul, why_empty_word, why_blank_word, why_lower,
    unclosed, no_operator,
    utf8_mark, utf8, utf8_readings, utf8_unfit,
    duplicate, never_matches, earlier_decides,
    fix_overlong, fix_cut_off, fix_no_delimiter, fix_keyword_in_text, fix_unmatched_close, fix_operator_after,
    fix_operator_before, fix_empty_group, fix_unknown_word, fix_stray, fix_too_deep, fix_no_operator, fix_unclosed,
    fix_empty_line, fix_stops_other, fix_regex_error, fix_regex_cost, fix_decides_all_number, fix_decides_all,
    fix_empty_text, fix_nul, fix_lower, fix_utf8, fix_utf8_unfit, fix_duplicate, fix_never_matches, fix_earlier,
    count
};

struct Words {
    Says says = Says::count;
    std::vector<std::string> values;
    Says reason = Says::count;  // what "%r" stands for
};

// The template of one language for a number; an empty text stands for a
// template that language lacks.
using Templates = std::function<std::string(Says)>;

const char* english_template(Says says);

// shown: control characters written visibly (\t, \r, \n, \xNN) and long
// values shortened, for a reader; raw: the values byte for byte, for scripts.
enum class Style { shown, raw };

// The sentence in the templates' language, falling back to English for a
// template it lacks (a language file older than the program).
std::string render(const Words& words, const Templates& templates, Style style = Style::shown);
std::string english(const Words& words, Style style = Style::shown);

// Control characters written visibly, so that a tab or a line end in a line
// can be seen and found: \t, \r, \n, others \xNN.
std::string visible(const std::string& text);

// A long text cut in its middle, its length said; quoted stretches within it
// ('...') are cut alike, so that a reason after a long echo stays in sight.
std::string shortened(const std::string& text);

}  // namespace kalvorin::lint
