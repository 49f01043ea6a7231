#include "CodigoComun/FilterPlan.h"

#include <algorithm>
#include <optional>

#include "CodigoComun/EvaluaExpresion.h"
#include "CodigoComun/Texto.h"
#include "CodigoComun/Errors.h"
#include "platform/ansi.h"

namespace kalvorin {

namespace {

constexpr int kPlain = -1;
constexpr std::size_t kKeptValues = 16;

// The line while it is taken apart: a digit stands in each slot, and each
// byte knows the test whose slot it is (kPlain for the line's own bytes) and,
// for a slot, which of the texts replaced it stands for.
struct Working {
    std::string text;
    // The text's plain and ANSI upper-case forms, kept in step with it so
    // that no step converts the whole line again.
    std::string plain, ansi;
    // Whether the ANSI form holds a letter A to Z only where the plain form
    // holds it too (so under every code page but a few): then a keyword
    // stands in both forms at the same places.
    bool same_letters = true;
    std::vector<int> owner;
    std::vector<std::size_t> replaced;
    std::vector<std::string> texts;  // every text replaced by a slot

    bool is_slot(std::size_t pos) const { return pos < owner.size() && owner[pos] != kPlain; }
    bool any_slot(std::size_t from, std::size_t to) const {
        for (std::size_t p = from; p < to && p < owner.size(); ++p)
            if (owner[p] != kPlain) return true;
        return false;
    }
};

std::string char_at(const std::string& line, std::size_t pos) {
    return pos < line.size() ? line.substr(pos, 1) : std::string();
}

// The starts of the occurrences procesa would replace, with each slot read
// as the digit that stands in for it.
std::vector<std::size_t> occurrences(const std::string& upper_line, const std::string& upper_test, std::size_t from) {
    std::vector<std::size_t> hits;
    for (std::size_t hit = upper_line.find(upper_test, from); hit != std::string::npos;
         hit = upper_line.find(upper_test, hit + upper_test.size()))
        hits.push_back(hit);
    return hits;
}

// Whether a stretch of the line that takes in a slot is the test once each
// of its slots is read as the digit the test has there (0 or 1): whether
// procesa replaces that stretch then depends on earlier values, and so does
// what later tests find where it stands.
bool slot_may_match(const Working& w, const std::string& upper_line, const std::string& upper_test,
                    std::size_t from) {
    // A slot can only stand where the test has a digit, and never within its
    // keyword, so such a stretch starts where the keyword stands in the line.
    if (upper_test.find_first_of("01") == std::string::npos) return false;
    const std::size_t length = upper_test.size();
    const std::string_view keyword = std::string_view(upper_test).substr(0, kKeywordLength);
    for (std::size_t start = upper_line.find(keyword, from);
         start != std::string::npos && start + length <= upper_line.size();
         start = upper_line.find(keyword, start + 1)) {
        bool match = true, slot = false;
        for (std::size_t j = 0; j < length && match; ++j) {
            const char t = upper_test[j];
            const bool here = w.is_slot(start + j);
            slot = slot || here;
            match = here ? t == '0' || t == '1' : upper_line[start + j] == t;
        }
        if (match && slot) return true;
    }
    return false;
}

// Replaces the occurrences, each by the digit, as a slot of test k (kPlain
// for a digit of the line's own, its value known). Each occurrence is at
// least one byte long, so the line is rewritten in place from the left.
void replace_hits(Working& w, const std::vector<std::size_t>& hits, std::size_t length, int k, char digit) {
    std::size_t to = hits.empty() ? w.text.size() : hits.front();
    // Each stretch kept moves left as a whole, in every array alike.
    const auto keep = [&](std::size_t from, std::size_t end) {
        const auto move = [&](auto& v) {
            std::copy(v.begin() + static_cast<std::ptrdiff_t>(from), v.begin() + static_cast<std::ptrdiff_t>(end),
                      v.begin() + static_cast<std::ptrdiff_t>(to));
        };
        move(w.text);
        move(w.plain);
        move(w.ansi);
        move(w.owner);
        move(w.replaced);
        to += end - from;
    };
    for (std::size_t h = 0; h < hits.size(); ++h) {
        const std::size_t hit = hits[h];
        w.texts.push_back(w.text.substr(hit, length));
        w.text[to] = w.plain[to] = w.ansi[to] = digit;
        w.owner[to] = k;
        w.replaced[to] = w.texts.size() - 1;
        ++to;
        keep(hit + length, h + 1 < hits.size() ? hits[h + 1] : w.text.size());
    }
    w.text.resize(to);
    w.plain.resize(to);
    w.ansi.resize(to);
    w.owner.resize(to);
    w.replaced.resize(to);
}

Working working(const std::string& line) {
    Working w{line, plain_upper(line), platform::ansi_upper(line), true, std::vector<int>(line.size(), kPlain),
              std::vector<std::size_t>(line.size(), 0), {}};
    for (std::size_t i = 0; i < line.size() && w.same_letters; ++i)
        w.same_letters = w.ansi[i] < 'A' || w.ansi[i] > 'Z' || w.plain[i] == w.ansi[i];
    return w;
}

// What is written where a test stood: its digit, a slot for a value left
// open (a 0 stands in), or nothing, the steps stopping there.
enum class Write { zero, one, slot, stop };

struct Walked {
    WalkEnd end = WalkEnd::expression;
    // An operator, a delimiter or a text would be read from a slot, or an
    // occurrence to replace takes in a slot with either digit in it: where
    // the tests stand, or what they hold, depends on earlier values.
    bool by_values = false;
};

// la_descompone's steps over the line: the tests in the order it meets them,
// each read, then replaced wherever procesa replaces it by what
// write_of(test, k) gives. The line is taken apart only here, for the plan
// and for the steps with known values alike.
template <typename WriteOf>
Walked walk(Working& w, WriteOf&& write_of) {
    std::size_t k = 0;
    for (std::size_t part = 0; part < kFieldKeywords.size(); ++part) {
        const std::string_view keyword = kFieldKeywords[part];
        // Nothing before the first replaced stretch changes, and no keyword
        // stood there; a digit takes its place, across which no keyword
        // joins; so the next keyword lies after it.
        std::size_t from = 0;
        for (std::size_t p = w.plain.find(keyword); p != std::string::npos; p = w.plain.find(keyword, from), ++k) {
            if (w.is_slot(p + kOperatorAt) || w.is_slot(p + kDelimiterAt)) return {WalkEnd::expression, true};
            const WrittenTest t = read_test(w.text, p, part);
            // The text and its closing delimiter, or the rest of the line.
            if (!t.delim.empty() && w.any_slot(p + kTextAt, p + kTextAt + t.text.size() + 1)) return {WalkEnd::expression, true};
            const Write write = write_of(t, k);
            if (write == Write::stop) return {WalkEnd::stopped};
            if (t.delim.empty()) return {WalkEnd::no_delimiter};
            const std::string upper_test = platform::ansi_upper(t.test_text());
            // Every stretch that may be the test starts with its keyword, and
            // none stands before p when both forms agree on the letters.
            const std::size_t start = w.same_letters ? p : 0;
            if (slot_may_match(w, w.ansi, upper_test, start)) return {WalkEnd::expression, true};
            const std::vector<std::size_t> hits = occurrences(w.ansi, upper_test, start);
            if (hits.empty()) return {WalkEnd::not_in_line};
            from = hits.front();
            replace_hits(w, hits, upper_test.size(), write == Write::slot ? static_cast<int>(k) : kPlain,
                         write == Write::one ? '1' : '0');
        }
    }
    return {};
}

}  // namespace

WalkEnd walk_line(const std::string& line, const TestValue& value, std::string& at_end) {
    Working w = working(line);
    // With every digit written as it is known no slot is ever made, so the
    // steps cannot turn out to depend on values.
    const Walked walked = walk(w, [&](const WrittenTest& t, std::size_t k) {
        const std::optional<bool> v = value(k, t);
        return !v ? Write::stop : *v ? Write::one : Write::zero;
    });
    at_end = std::move(w.text);
    return walked.end;
}

WrittenTest read_test(const std::string& line, std::size_t p, std::size_t part) {
    WrittenTest t;
    t.keyword = line.substr(p, kKeywordLength);
    t.op = char_at(line, p + kOperatorAt);
    t.delim = char_at(line, p + kDelimiterAt);
    t.part = part;
    if (!t.delim.empty()) {
        const std::size_t close = line.find(t.delim[0], p + kTextAt);
        t.text = line.substr(p + kTextAt, close == std::string::npos ? std::string::npos : close - (p + kTextAt));
    }
    return t;
}

MatchMode mode_of(const std::string& delim) {
    if (delim == "#") return MatchMode::contains;
    if (delim == "\"") return MatchMode::word;
    if (delim == "%") return MatchMode::regexp;
    return MatchMode::none;
}

std::string LinePlan::render(std::size_t k, const std::string& digits) const {
    std::string out;
    render_into(out, k, digits);
    return out;
}

void LinePlan::render_into(std::string& out, std::size_t k, const std::string& digits) const {
    for (const Piece& p : pieces_) {
        if (p.test != kPlain && static_cast<std::size_t>(p.test) < k)
            out += digits[static_cast<std::size_t>(p.test)];
        else
            out += p.text;
    }
}

std::vector<std::size_t> LinePlan::slot_tests() const {
    std::vector<std::size_t> out;
    for (const Piece& p : pieces_)
        if (p.test != kPlain) out.push_back(static_cast<std::size_t>(p.test));
    return out;
}

std::int32_t LinePlan::value(const std::string& digits) {
    auto kept = std::find_if(values_.begin(), values_.end(), [&](const Value& v) { return v.digits == digits; });
    if (kept == values_.end()) {
        // A line of many tests is evaluated afresh once its few kept answers run out.
        if (values_.size() == kKeptValues) values_.erase(values_.begin());
        Value v;
        v.digits = digits;
        try {
            v.value = evalua(render(tests_.size(), digits));
        } catch (const EConvertError& e) {
            v.error = Value::Error::convert;
            v.message = e.what();
        } catch (const EFilterError& e) {
            v.error = Value::Error::filter;
            v.message = e.what();
        }
        values_.push_back(std::move(v));
        kept = values_.end() - 1;
    }
    if (kept->error == Value::Error::convert) throw EConvertError(kept->message);
    if (kept->error == Value::Error::filter) throw EFilterError(kept->message);
    return kept->value;
}

// The steps are la_descompone's, with a slot (a 0 standing in) for each
// test's value.
LinePlan plan_line(const std::string& line) {
    LinePlan plan;
    Working w = working(line);
    const Walked walked = walk(w, [&plan](const WrittenTest& t, std::size_t) {
        static_cast<WrittenTest&>(plan.tests_.emplace_back()) = t;
        return Write::slot;
    });
    if (walked.by_values) {
        plan.by_values_ = true;
        plan.tests_.clear();
        return plan;
    }
    // The test where procesa raises is the plan's last.
    if (walked.end == WalkEnd::no_delimiter) plan.tests_.back().fault = PlannedTest::Fault::no_delimiter;
    if (walked.end == WalkEnd::not_in_line) plan.tests_.back().fault = PlannedTest::Fault::not_in_line;
    for (std::size_t i = 0; i < w.text.size(); ++i) {
        if (w.owner[i] != kPlain) {
            plan.pieces_.push_back({w.texts[w.replaced[i]], w.owner[i]});
        } else if (plan.pieces_.empty() || plan.pieces_.back().test != kPlain) {
            plan.pieces_.push_back({std::string(1, w.text[i]), kPlain});
        } else {
            plan.pieces_.back().text += w.text[i];
        }
    }
    // Each test, once written as a digit, shortens the line by what each of
    // its slots held beyond one byte.
    std::vector<std::size_t> shorter(plan.tests_.size(), 0);
    std::size_t length = 0;
    for (const LinePlan::Piece& p : plan.pieces_) {
        length += p.text.size();
        if (p.test != kPlain) shorter[static_cast<std::size_t>(p.test)] += p.text.size() - 1;
    }
    plan.lengths_.push_back(length);
    for (const std::size_t s : shorter) plan.lengths_.push_back(plan.lengths_.back() - s);
    return plan;
}

}  // namespace kalvorin
