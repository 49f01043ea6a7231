#include "tools/Words.h"

#include "inspect/ExplainText.h"

namespace kalvorin::lint {

namespace {

// Beyond these lengths a value, or a quoted stretch within it, is cut.
constexpr std::size_t kLongestValue = 200;
constexpr std::size_t kLongestQuote = 60;

// The text's head and tail around "...", and its length when it was cut.
std::string cut(const std::string& text, std::size_t longest, std::string& note) {
    note.clear();
    if (text.size() <= longest) return text;
    note = " (" + std::to_string(text.size()) + " bytes)";
    return text.substr(0, longest / 2) + "..." + text.substr(text.size() - longest / 4);
}

std::string fill(const std::string& tmpl, const Words& w, const Templates& templates, Style style, int depth);

std::string template_of(Says says, const Templates& templates) {
    std::string t = templates ? templates(says) : std::string();
    return t.empty() ? english_template(says) : t;
}

std::string fill(const std::string& tmpl, const Words& w, const Templates& templates, Style style, int depth) {
    std::string out;
    for (std::size_t i = 0; i < tmpl.size(); ++i) {
        const char next = i + 1 < tmpl.size() ? tmpl[i + 1] : '\0';
        if (tmpl[i] != '%' || !(next == '%' || next == 'r' || (next >= '1' && next <= '9'))) {
            out += tmpl[i];
            continue;
        }
        ++i;
        if (next == '%') {
            out += '%';
        } else if (next == 'r') {
            // A reason is one template deep; a translation that names %r in
            // a reason does not recurse.
            if (depth == 0 && w.reason != Says::count)
                out += fill(template_of(w.reason, templates), w, templates, style, 1);
        } else if (const std::size_t v = static_cast<std::size_t>(next - '1'); v < w.values.size()) {
            out += style == Style::shown ? visible(shortened(w.values[v])) : w.values[v];
        }
    }
    return out;
}

}  // namespace

const char* english_template(Says says) {
    switch (says) {
        case Says::kind_stops: return "stops";
        case Says::kind_regex_error: return "regex-error";
        case Says::kind_regex_cost: return "regex-cost";
        case Says::kind_decides_all: return "decides-all";
        case Says::kind_never_holds: return "never-holds";
        case Says::kind_always_holds: return "always-holds";
        case Says::kind_unclosed: return "unclosed";
        case Says::kind_no_operator: return "no-operator";
        case Says::kind_utf8: return "utf-8";
        case Says::kind_duplicate: return "duplicate";
        case Says::kind_never_decides: return "never-decides";
        case Says::line_at: return "%1 line %2";
        case Says::stops_refused: return "is refused: %1; scoring stops here for every message that reaches it";
        case Says::stops_apart: return "cannot be taken apart: %1; scoring stops here for every message that reaches it";
        case Says::stops_all: return "cannot be evaluated: %1; scoring stops here for every message that reaches it";
        case Says::stops_some:
            return "cannot be evaluated when %1: %2; scoring stops here for the messages that give its tests those "
                   "values (%3 of %4 combinations)";
        case Says::stepped_all:
            return "cannot be taken apart or evaluated: %1; scoring stops here for every message that reaches it";
        case Says::stepped_some:
            return "cannot be taken apart or evaluated when %1: %2; scoring stops here for the messages that give "
                   "its tests those values (%3 of %4 combinations)";
        case Says::regex_compile:
            return "%1 does not compile: %2; scoring stops here for every message that reaches it";
        case Says::regex_fails:
            return "%1 fails for a text of %2 bytes: %3 (%4); scoring stops here for a message like it";
        case Says::regex_costly:
            return "%1 is too costly for a text of %2 bytes (%3): %4; the line is passed over for a message like it";
        case Says::decides_all:
            return "matches every message that reaches it, whatever its tests answer; no line after it decides";
        case Says::never_holds: return "%1 never holds: %r";
        case Says::always_holds: return "%1 always holds: %r";
        case Says::why_empty_text: return "an empty text is never found";
        case Says::why_nul: return "a text that begins with a NUL byte is never found";
        case Says::why_empty_word: return "an empty word is never found";
        case Says::why_blank_word: return "a word of blanks is empty once trimmed, and never found";
        case Says::why_lower:
            return "with the upper-case option on the part is matched in upper case, and every match of the pattern "
                   "needs a lower-case letter a to z";
        case Says::unclosed:
            return "the '(' at column %1 is never closed; the plug-in drops it, so its group may not be the one meant";
        case Says::no_operator:
            return "%1 and %2 stand side by side with no operator between them; the plug-in joins their digits "
                   "into one number";
        case Says::utf8_mark: return "begins with a UTF-8 byte-order mark, which the plug-in reads as part of the line";
        case Says::utf8:
            return "reads as UTF-8, but the plug-in reads lists as Windows-1252 and tests the line byte for byte as "
                   "it stands";
        case Says::utf8_readings:
            return "%r. Read as Windows-1252, as the plug-in reads it: %1. Read as UTF-8, as it was written: %2";
        case Says::utf8_unfit:
            return "%r. Read as Windows-1252, as the plug-in reads it: %1. Read as UTF-8 it holds characters that "
                   "Windows-1252 does not have";
        case Says::duplicate: return "gives the same value as %1 line %2 for every message, and %1 line %2 decides first";
        case Says::never_matches: return "no answers of its tests make it match";
        case Says::earlier_decides: return "%1 line %2 matches whenever %3 holds, which this line needs, and decides first";
        case Says::fix_overlong: return "shorten the line to %1 bytes or fewer, or spread its tests over several lines";
        case Says::fix_cut_off:
            return "the test %1 at column %2 is cut off by the line's end: give it an operator (= or -), a delimiter "
                   "and a text";
        case Says::fix_no_delimiter: return "the test %1 at column %2 has no closing %3: end its text with %3";
        case Says::fix_keyword_in_text:
            return "the text of the test %1 at column %2 holds the keyword %3, which is taken for a test of its own: "
                   "leave the keyword out of the text";
        case Says::fix_unmatched_close: return "remove the ')' at column %1: no '(' before it is left open";
        case Says::fix_operator_after:
            return "the %1 at column %2 has no test after it: remove it, or write a test after it";
        case Says::fix_operator_before:
            return "the %1 at column %2 has no test before it: remove it, or write a test before it";
        case Says::fix_empty_group: return "the '()' at column %1 holds nothing: remove it, or write a test in it";
        case Says::fix_unknown_word:
            return "'%1' at column %2 is no field keyword: write SNDER, SBJCT, MBODY, ATTCH, HEADR or RWMSG, or "
                   "remove it";
        case Says::fix_stray:
            return "remove the '%1' at column %2: between the tests only numbers, + * ( ) and blanks may stand";
        case Says::fix_too_deep:
            return "the parentheses are nested %1 deep, past %3 from the '(' at column %2: remove some of them";
        case Says::fix_no_operator:
            return "put + (or) or * (and) between %1 and %2 at column %3";
        case Says::fix_unclosed: return "close the '(' at column %1 with a ')' where its group ends, or remove it";
        case Says::fix_empty_line: return "write a test in the line, or remove the line";
        case Says::fix_stops_other:
            return "write the line as tests joined by + (or) and * (and), grouped by parentheses that pair up";
        case Says::fix_regex_error: return "correct the pattern of the test %1 at column %2";
        case Says::fix_regex_cost:
            return "rewrite the pattern of the test %1 at column %2 so that no repeat holds another repeat that can "
                   "match the same text, as (a+)+ or (\\w+\\s?)+ do";
        case Says::fix_decides_all_number:
            return "the number %1 at column %2 makes every message match: remove it, or the line";
        case Says::fix_decides_all: return "remove the line, or the test that always holds in it";
        case Says::fix_empty_text:
            return "write a text between the delimiters of the test %1 at column %2, or remove the test";
        case Says::fix_nul: return "remove the NUL byte at the start of the text of the test %1 at column %2";
        case Says::fix_lower:
            return "write the letters of the pattern of the test %1 at column %2 in upper case, or begin it with (?i)";
        case Says::fix_utf8:
            return "save the list as Windows-1252 (ANSI) instead of UTF-8, or convert it with the check window's "
                   "button";
        case Says::fix_utf8_unfit:
            return "write the line with characters that Windows-1252 has, and save the list as Windows-1252 (ANSI)";
        case Says::fix_duplicate: return "remove this line, or the same line at %1 line %2";
        case Says::fix_never_matches:
            return "remove the line, or change its operators: with * a test that never holds makes the line fail";
        case Says::fix_earlier: return "remove this line, or narrow %1 line %2, which decides first whenever %3 holds";
        case Says::count: break;
    }
    return "";
}

std::string render(const Words& words, const Templates& templates, Style style) {
    if (words.says == Says::count) return "";
    return fill(template_of(words.says, templates), words, templates, style, 0);
}

std::string english(const Words& words, Style style) { return render(words, nullptr, style); }

std::string visible(const std::string& text) {
    std::string out;
    inspect::escaped(out, text);
    return out;
}

std::string shortened(const std::string& text) {
    std::string out, note;
    std::size_t from = 0;
    for (std::size_t open; (open = text.find('\'', from)) != std::string::npos;) {
        const std::size_t close = text.find('\'', open + 1);
        if (close == std::string::npos) break;
        out += text.substr(from, open + 1 - from) + cut(text.substr(open + 1, close - open - 1), kLongestQuote, note);
        out += '\'' + note;
        from = close + 1;
    }
    out = cut(out + text.substr(from), kLongestValue, note);
    return out + note;
}

}  // namespace kalvorin::lint
