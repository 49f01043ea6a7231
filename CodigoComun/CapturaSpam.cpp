#include "CodigoComun/CapturaSpam.h"

#include <algorithm>
#include <cstddef>
#include <unordered_map>
#include <vector>
#include <string_view>
#include <utility>

#include "CodigoComun/BaseFiles.h"
#include "CodigoComun/ConfigSys.h"
#include "CodigoComun/Errors.h"
#include "CodigoComun/FieldTests.h"
#include "CodigoComun/FilterPlan.h"
#include "CodigoComun/LogQueue.h"
#include "CodigoComun/EvaluaExpresion.h"
#include "CodigoComun/ListLine.h"
#include "CodigoComun/LogLines.h"
#include "CodigoComun/RegExpr.h"
#include "CodigoComun/Texto.h"
#include "platform/ansi.h"

namespace kalvorin {

namespace {

constexpr std::size_t kNotPrepared = static_cast<std::size_t>(-1);

struct KeptPlan {
    LinePlan plan;
    std::size_t position = kNotPrepared;  // its first place among the prepared lines
};
using KeptPlans = std::unordered_map<std::string, KeptPlan>;

// The searcher's per-message values: one set for the whole process.
struct SearcherState {
    FieldParts parts;
    bool uppercase = false;
    BaseFiles files;  // the stored folder's, read at each message
    bool trace_switch = false;
    std::string trace_path;
    std::size_t traced = 0;  // bytes of trace written for this message
    bool literal = false;
    // A line taken apart by values meets tests whose texts the message's own
    // answers make; they are decided on the spot and never kept, or every
    // message would add its own to what is kept.
    bool by_values = false;
    // Kept from line to line and message to message, unless literal.
    FieldTests tests{parts};
    KeptPlans plans;
    // The prepared lines in list order. Message after message they come in
    // this order, so the one after the last used is tried before the table.
    std::vector<KeptPlans::value_type*> in_order;
    std::size_t next = 0;
};

SearcherState g_searcher;

std::size_t part_for(const std::string& keyword) {
    const std::string upper = plain_upper(keyword);
    for (std::size_t k = 0; k < kFieldKeywords.size(); ++k)
        if (kFieldKeywords[k] == upper) return k;
    throw EFilterError("'" + keyword + "' is not a field keyword");
}

const std::string& rawmsg() { return g_searcher.parts[field_of(kPartRawMessage)]; }

// Numbers 1 to 35 of the separator set, then line feed, apostrophe, carriage
// return and tab.
constexpr std::string_view kSeparators =
    "\xBA\xB7%&=+* |@~.,:;!\xA1#$\x80\xAC/\\?\xBF(){}[]<>_-\"\n'\r\t";

// One char position past the end of the line holds no character.
std::string char_at(const std::string& line, std::size_t pos) {
    return pos < line.size() ? line.substr(pos, 1) : std::string();
}

[[noreturn]] void throw_no_delimiter(const std::string& test, const std::string& line) {
    throw EFilterError("Field test '" + test + "' has no delimiter in the line '" + line + "'");
}

[[noreturn]] void throw_not_in_line(const std::string& test, const std::string& line) {
    throw EFilterError("Field test '" + test + "' does not occur in the line '" + line + "'");
}

// What a procesa trace line shows of the line as it stands.
template <class Render>
void append_traced_line(std::string& out, std::size_t length, Render&& render) {
    if (length <= kLongestTracedLine) {
        render(out);
        return;
    }
    out.append(line_of_length(length));
}

// A match mode's answer for a part: worked out afresh in the literal mode,
// otherwise from what the message has kept.
bool decide(MatchMode mode, std::size_t part, const std::string& text) {
    if (!g_searcher.literal && !g_searcher.by_values) return g_searcher.tests.answer(g_searcher.tests.add(mode, part, text));
    const std::string& subject = g_searcher.parts[part];
    switch (mode) {
        case MatchMode::contains: return busca_texto(text, subject);
        case MatchMode::word: return busca_palabra(text, subject);
        case MatchMode::regexp: return busca_regexp(text, subject);
        case MatchMode::none: break;
    }
    return false;
}

KeptPlans::value_type& keep_plan(const std::string& line) {
    const auto found = g_searcher.plans.find(line);
    if (found != g_searcher.plans.end()) return *found;
    LinePlan plan = plan_line(line);
    for (PlannedTest& t : plan.tests())
        if (t.mode() != MatchMode::none) t.query = g_searcher.tests.add(t.mode(), t.part, t.text);
    return *g_searcher.plans.emplace(line, KeptPlan{std::move(plan)}).first;
}

LinePlan& plan_for(const std::string& line) {
    auto& order = g_searcher.in_order;
    std::size_t& next = g_searcher.next;
    if (next < order.size() && order[next]->first == line) return order[next++]->second.plan;
    KeptPlan& kept = keep_plan(line).second;
    if (kept.position != kNotPrepared) next = kept.position + 1;
    return kept.plan;
}

// Whether the message's trace has room for another line. The first line
// refused is replaced by the one that says the trace is cut.
bool trace_room() {
    if (g_searcher.traced < kLongestTrace) return true;
    if (g_searcher.traced != static_cast<std::size_t>(-1)) {
        g_searcher.traced = static_cast<std::size_t>(-1);
        log_queue().append(g_searcher.trace_path, std::string(log_lines::kTraceCut) + ": it reached " +
                                                      std::to_string(kLongestTrace) + " bytes");
    }
    return false;
}

// Writes the trace line of a planned line, built in place by `write`.
template <class Write>
void trace_planned(Write&& write) {
    if (!trace_room()) return;
    log_queue().append_built(g_searcher.trace_path, [&](std::string& out) {
        const std::size_t before = out.size();
        out.append("#- ");
        write(out);
        g_searcher.traced += out.size() - before + 2;
    });
}

// Decides the tests of a line taken apart by values on the spot.
class ByValues {
public:
    ByValues() { g_searcher.by_values = true; }
    ~ByValues() { g_searcher.by_values = false; }
    ByValues(const ByValues&) = delete;
    ByValues& operator=(const ByValues&) = delete;
};

// filtred on a planned line: the same trace lines, answers, errors and
// expression as la_descompone and procesa would give.
bool run_plan(const std::string& line, LinePlan& plan) {
    const bool tracing = g_searcher.trace_switch;
    if (tracing) trace_planned([&](std::string& out) { out.append("filtred(").append(line).append(")"); });
    if (plan.by_values()) {
        const ByValues on_the_spot;
        return evalua(la_descompone(line)) > 0;
    }
    if (tracing) trace_planned([&](std::string& out) { out.append("la_descompone(").append(line).append(")"); });
    const std::vector<PlannedTest>& tests = plan.tests();
    std::string digits(tests.size(), '0');
    for (std::size_t k = 0; k < tests.size(); ++k) {
        const PlannedTest& t = tests[k];
        if (tracing) {
            trace_planned([&](std::string& out) {
                out.append("procesa(");
                append_traced_line(out, plan.length_before(k), [&](std::string& o) { plan.render_into(o, k, digits); });
                out.append(",").append(t.keyword).append(",").append(t.op).append(",").append(t.delim);
                out.append(",").append(t.text).append(")");
            });
        }
        const bool value = t.query >= 0 && g_searcher.tests.answer(t.query) != t.negated();
        if (t.fault == PlannedTest::Fault::no_delimiter) throw_no_delimiter(t.test_text(), plan.render(k, digits));
        if (t.fault == PlannedTest::Fault::not_in_line) throw_not_in_line(t.test_text(), plan.render(k, digits));
        digits[k] = value ? '1' : '0';
    }
    if (tracing) {
        trace_planned([&](std::string& out) {
            out.append("la_descompone.result:=");
            plan.render_into(out, tests.size(), digits);
        });
    }
    return plan.value(digits) > 0;
}

}  // namespace

// The mapping keeps lengths, so positions in the upper-case copy are
// positions in the line.
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

void searcher::searcher_init(std::string sender, std::string subject, std::string body, std::string attachments,
                             std::string header, std::string rawmsg, bool uppercase) {
    searcher_init({std::move(sender), std::move(subject), std::move(body), std::move(attachments), std::move(header),
                   std::move(rawmsg)},
                  uppercase);
}

void searcher::searcher_init(FieldParts parts, bool uppercase) {
    g_searcher.parts = std::move(parts);
    g_searcher.uppercase = uppercase;
    g_searcher.files = stored_base_files();
    g_searcher.trace_switch = false;
    if (!g_searcher.literal) g_searcher.tests.new_message(uppercase);
}

void searcher::searcher_done() noexcept {
    g_searcher.tests.drop_forms();
    g_searcher.parts = {};
}

std::string line_of_length(std::size_t length) { return "<a line of " + std::to_string(length) + " bytes>"; }

std::optional<std::string> overlong(const std::string& line) {
    if (line.size() <= kLongestLine) return std::nullopt;
    return "The filter line of " + std::to_string(line.size()) + " bytes is longer than the " +
           std::to_string(kLongestLine) + " bytes a line may have";
}

bool searcher::filtred(const std::string& line) {
    if (const std::optional<std::string> why = overlong(line)) throw EFilterError(*why);
    if (g_searcher.literal) {
        trace("filtred(" + line + ")");
        return evalua(la_descompone(line)) > 0;
    }
    return run_plan(line, plan_for(line));
}

void searcher::prepare(const std::vector<std::string>& lines) {
    forget();
    if (g_searcher.literal) return;
    for (const std::string& line : lines)
        if (is_filter_line(line) && line.size() <= kLongestLine) {
            KeptPlans::value_type& kept = keep_plan(line);
            if (kept.second.position == kNotPrepared) kept.second.position = g_searcher.in_order.size();
            g_searcher.in_order.push_back(&kept);
        }
}

void searcher::forget() {
    g_searcher.plans.clear();
    g_searcher.in_order.clear();
    g_searcher.next = 0;
    g_searcher.tests.clear();
    // The forms kept so far may be of a message set up in the literal mode.
    g_searcher.tests.new_message(g_searcher.uppercase);
}

std::size_t searcher::kept_tests() { return g_searcher.tests.size(); }

void set_literal_mode(bool on) {
    g_searcher.literal = on;
    searcher::forget();
}

bool literal_mode() { return g_searcher.literal; }

// The literal road upper-cases a copy of the raw message and searches it with
// busca_texto. The texts sought are ASCII capitals and signs, which the ANSI
// mapping that busca_texto may add leaves alone and maps no other byte to;
// and trimming commutes with the plain upper case. So the same answer comes
// from comparing the trimmed raw message, up to its first NUL, byte by byte
// under the plain upper case, with no copy of it.
bool searcher::haveimg() {
    if (g_searcher.literal) {
        const std::string raw = trim(plain_upper(rawmsg()));
        return busca_texto(std::string(kImageSources[0]), raw) || busca_texto(std::string(kImageSources[1]), raw);
    }
    return image_source_at(rawmsg()).has_value();
}

// Both texts begin "SRC=", so the first place where either stands is the
// first place where one of them begins, and only a place three before an "="
// can be one.
static_assert(kImageSources[0].starts_with("SRC=") && kImageSources[1].starts_with("SRC="));

std::optional<std::pair<std::size_t, std::size_t>> image_source_at(const std::string& raw) {
    const std::string_view trimmed = trim_view(raw);
    const std::string_view text = up_to_nul(trimmed);
    const auto offset = static_cast<std::size_t>(trimmed.data() - raw.data());
    const auto stands_at = [text](std::size_t p, std::string_view capitals) {
        if (text.size() - p < capitals.size()) return false;
        for (std::size_t i = 0; i < capitals.size(); ++i) {
            const char c = text[p + i];
            if ((c >= 'a' && c <= 'z' ? c - 'a' + 'A' : c) != capitals[i]) return false;
        }
        return true;
    };
    for (std::size_t eq = text.find('=', 3); eq != std::string_view::npos; eq = text.find('=', eq + 1))
        for (const std::string_view capitals : kImageSources)
            if (stands_at(eq - 3, capitals)) return std::pair(offset + eq - 3, offset + eq - 3 + capitals.size());
    return std::nullopt;
}

void searcher::trace_on() {
    g_searcher.trace_path = g_searcher.files.log();
    g_searcher.trace_switch = true;
    g_searcher.traced = 0;
}

void searcher::trace_off() { g_searcher.trace_switch = false; }

void trace(const std::string& text) {
    if (!g_searcher.trace_switch || !trace_room()) return;
    log_queue().append(g_searcher.trace_path, "#- " + text);
    g_searcher.traced += 3 + text.size() + 2;
}

std::string la_descompone(const std::string& line) {
    trace("la_descompone(" + line + ")");
    std::string current = line;
    for (const std::string_view field : kFieldKeywords) {
        for (std::size_t p = plain_upper(current).find(field); p != std::string::npos;
             p = plain_upper(current).find(field)) {
            const std::string keyword = current.substr(p, field.size());
            const std::string op = char_at(current, p + kOperatorAt);
            const std::string delim = char_at(current, p + kDelimiterAt);
            std::string text;
            if (!delim.empty()) {
                // Without a closing delimiter the text runs to the end of the
                // line; procesa then cannot find the test it builds.
                const std::size_t close = current.find(delim[0], p + kTextAt);
                const std::size_t length = close == std::string::npos ? std::string::npos : close - (p + kTextAt);
                text = current.substr(p + kTextAt, length);
            }
            procesa(current, keyword, op, delim, text);
        }
    }
    trace("la_descompone.result:=" + current);
    return current;
}

void procesa(std::string& line, const std::string& keyword, const std::string& op, const std::string& delim,
             const std::string& text) {
    if (g_searcher.trace_switch) {
        std::string shown = "procesa(";
        append_traced_line(shown, line.size(), [&](std::string& o) { o.append(line); });
        trace(shown.append(",").append(keyword).append(",").append(op).append(",").append(delim).append(",").append(text).append(")"));
    }
    const MatchMode mode = mode_of(delim);
    const bool value = mode != MatchMode::none && decide(mode, part_for(keyword), text) != (op == "-");
    const std::string test = keyword + op + delim + text + delim;
    // A test cut off before its delimiter would be replaced as the bare
    // keyword; it is refused like a test that does not occur, since either
    // would otherwise leave the line as it was and be found again forever.
    if (delim.empty()) throw_no_delimiter(test, line);
    if (replace_test(line, test, value ? "1" : "0") == 0) throw_not_in_line(test, line);
}

std::string normaliza(const std::string& text) { return g_searcher.uppercase ? trim(plain_upper(text)) : text; }

bool es_separador(char c) { return kSeparators.find(c) != std::string_view::npos; }

namespace {

// How far into the part normaliza's form begins: it is trimmed only under
// the upper-case option, and the plain upper case keeps every blank.
std::size_t form_offset(const std::string& part) {
    return g_searcher.uppercase ? static_cast<std::size_t>(trim_view(part).data() - part.data()) : 0;
}

}  // namespace

ModeMatch match_texto(const std::string& text, const std::string& part) {
    const std::string_view t = up_to_nul(text);
    const std::string_view s = up_to_nul(part);
    if (t.empty()) return {};
    const std::size_t p = g_searcher.uppercase ? platform::ansi_upper(s).find(platform::ansi_upper(t)) : s.find(t);
    if (p == std::string_view::npos) return {};
    return {true, std::pair(p, p + t.size())};
}

// Only the first occurrence is judged.
ModeMatch match_palabra(const std::string& text, const std::string& part) {
    const std::string w = normaliza(text);
    const std::string s = normaliza(part);
    const std::size_t p = s.find(w);
    if (w.empty() || p == std::string::npos) return {};
    const std::size_t end = p + w.size();
    const bool start_bounded = p == 0 || es_separador(s[p - 1]);
    const bool end_bounded = end >= s.size() || es_separador(s[end]);
    const std::size_t offset = form_offset(part);
    return {start_bounded && end_bounded, std::pair(offset + p, offset + end)};
}

ModeMatch match_regexp(const std::string& pattern, const std::string& part) {
    const std::optional<RegexMatch> r = regexpr_find(pattern, normaliza(part));
    if (!r) return {};
    const std::size_t offset = form_offset(part);
    return {true, std::pair(offset + r->begin, offset + r->end)};
}

bool busca_texto(const std::string& text, const std::string& part) { return match_texto(text, part).answer; }

bool busca_palabra(const std::string& text, const std::string& part) { return match_palabra(text, part).answer; }

bool busca_regexp(const std::string& pattern, const std::string& part) { return match_regexp(pattern, part).answer; }

}  // namespace kalvorin
