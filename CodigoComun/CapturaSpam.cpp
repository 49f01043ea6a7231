#include "CodigoComun/CapturaSpam.h"

#include <array>
#include <cstddef>
#include <string_view>
#include <utility>

#include "CodigoComun/ConfigSys.h"
#include "CodigoComun/Errors.h"
#include "CodigoComun/EvaluaExpresion.h"
#include "CodigoComun/RegExpr.h"
#include "CodigoComun/Texto.h"
#include "platform/ansi.h"
#include "platform/textfile.h"

namespace kalvorin {

namespace {

// The searcher's per-message values: one set for the whole process.
struct SearcherState {
    std::string sender, subject, body, attachments, header, rawmsg;
    bool uppercase = false;
    std::string basefolder;
    bool trace_switch = false;
    std::string trace_path;
};

SearcherState g_searcher;

struct Field {
    std::string_view keyword;
    std::string SearcherState::*part;
};

// The order in which la_descompone takes the keywords.
constexpr std::array<Field, 6> kFields{{
    {"SNDER", &SearcherState::sender},
    {"SBJCT", &SearcherState::subject},
    {"MBODY", &SearcherState::body},
    {"ATTCH", &SearcherState::attachments},
    {"HEADR", &SearcherState::header},
    {"RWMSG", &SearcherState::rawmsg},
}};

const std::string& part_for(const std::string& keyword) {
    const std::string upper = plain_upper(keyword);
    for (const Field& f : kFields)
        if (f.keyword == upper) return g_searcher.*f.part;
    throw EFilterError("'" + keyword + "' is not a field keyword");
}

// Numbers 1 to 35 of the separator set, then line feed, apostrophe, carriage
// return and tab.
constexpr std::string_view kSeparators =
    "\xBA\xB7%&=+* |@~.,:;!\xA1#$\x80\xAC/\\?\xBF(){}[]<>_-\"\n'\r\t";

// The text up to its first NUL.
std::string_view up_to_nul(std::string_view s) { return s.substr(0, s.find('\0')); }

// One char position past the end of the line holds no character.
std::string char_at(const std::string& line, std::size_t pos) {
    return pos < line.size() ? line.substr(pos, 1) : std::string();
}

// Every occurrence of `test` in `line`, compared under the ANSI upper-case
// mapping, replaced by `digit` in one pass from left to right. The mapping
// keeps lengths, so positions in the upper-case copy are positions in `line`.
std::size_t replace_test(std::string& line, const std::string& test, const std::string& digit) {
    const std::string upper_line = platform::ansi_upper(line);
    const std::string upper_test = platform::ansi_upper(test);
    std::string out;
    std::size_t count = 0, pos = 0;
    for (std::size_t hit = upper_line.find(upper_test); hit != std::string::npos;
         hit = upper_line.find(upper_test, pos)) {
        out.append(line, pos, hit - pos);
        out += digit;
        pos = hit + upper_test.size();
        ++count;
    }
    out.append(line, pos);
    line = std::move(out);
    return count;
}

}  // namespace

void searcher::searcher_init(const std::string& sender, const std::string& subject, const std::string& body,
                             const std::string& attachments, const std::string& header, const std::string& rawmsg,
                             bool uppercase) {
    g_searcher.sender = sender;
    g_searcher.subject = subject;
    g_searcher.body = body;
    g_searcher.attachments = attachments;
    g_searcher.header = header;
    g_searcher.rawmsg = rawmsg;
    g_searcher.uppercase = uppercase;
    g_searcher.basefolder = get_basefolder();
    g_searcher.trace_switch = false;
}

bool searcher::filtred(const std::string& line) {
    trace("filtred(" + line + ")");
    return evalua(la_descompone(line)) > 0;
}

bool searcher::haveimg() {
    const std::string raw = trim(plain_upper(g_searcher.rawmsg));
    return busca_texto("SRC=\"HTTP", raw) || busca_texto("SRC=\\\"HTTP", raw);
}

void searcher::trace_on() {
    g_searcher.trace_path = g_searcher.basefolder + "plugin.log.txt";
    g_searcher.trace_switch = true;
}

void searcher::trace_off() { g_searcher.trace_switch = false; }

void trace(const std::string& text) {
    if (g_searcher.trace_switch) platform::append_line(g_searcher.trace_path, "#- " + text);
}

std::string la_descompone(const std::string& line) {
    trace("la_descompone(" + line + ")");
    std::string current = line;
    for (const Field& f : kFields) {
        for (std::size_t p = plain_upper(current).find(f.keyword); p != std::string::npos;
             p = plain_upper(current).find(f.keyword)) {
            const std::string keyword = current.substr(p, f.keyword.size());
            const std::string op = char_at(current, p + 5);
            const std::string delim = char_at(current, p + 6);
            std::string text;
            if (!delim.empty()) {
                // Without a closing delimiter the text runs to the end of the
                // line; procesa then cannot find the test it builds.
                const std::size_t close = current.find(delim[0], p + 7);
                text = current.substr(p + 7, close == std::string::npos ? std::string::npos : close - (p + 7));
            }
            procesa(current, keyword, op, delim, text);
        }
    }
    trace("la_descompone.result:=" + current);
    return current;
}

void procesa(std::string& line, const std::string& keyword, const std::string& op, const std::string& delim,
             const std::string& text) {
    trace("procesa(" + line + "," + keyword + "," + op + "," + delim + "," + text + ")");
    const bool negate = op == "-";
    const std::string& part = part_for(keyword);
    bool value = false;
    if (delim == "#")
        value = busca_texto(text, part) != negate;
    else if (delim == "\"")
        value = busca_palabra(text, part) != negate;
    else if (delim == "%")
        value = busca_regexp(text, part) != negate;

    const std::string test = keyword + op + delim + text + delim;
    // A test cut off before its delimiter would be replaced as the bare
    // keyword; it is refused like a test that does not occur, since either
    // would otherwise leave the line as it was and be found again forever.
    if (delim.empty())
        throw EFilterError("Field test '" + test + "' has no delimiter in the line '" + line + "'");
    if (replace_test(line, test, value ? "1" : "0") == 0)
        throw EFilterError("Field test '" + test + "' does not occur in the line '" + line + "'");
}

std::string normaliza(const std::string& text) { return g_searcher.uppercase ? trim(plain_upper(text)) : text; }

bool es_separador(char c) { return kSeparators.find(c) != std::string_view::npos; }

bool busca_texto(const std::string& text, const std::string& part) {
    const std::string_view t = up_to_nul(text);
    const std::string_view s = up_to_nul(part);
    if (t.empty()) return false;
    if (!g_searcher.uppercase) return s.find(t) != std::string_view::npos;
    return platform::ansi_upper(s).find(platform::ansi_upper(t)) != std::string::npos;
}

bool busca_palabra(const std::string& text, const std::string& part) {
    const std::string w = normaliza(text);
    const std::string s = normaliza(part);
    const std::size_t p = s.find(w);
    if (w.empty() || p == std::string::npos) return false;
    const std::size_t end = p + w.size();
    const bool start_bounded = p == 0 || es_separador(s[p - 1]);
    const bool end_bounded = end >= s.size() || es_separador(s[end]);
    return start_bounded && end_bounded;
}

bool busca_regexp(const std::string& pattern, const std::string& part) {
    return regexpr_exec(pattern, normaliza(part));
}

}  // namespace kalvorin
