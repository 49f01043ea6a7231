#include "CodigoComun/FilterPlan.h"

#include "CodigoComun/Texto.h"
#include "platform/ansi.h"

namespace kalvorin {

namespace {

constexpr int kPlain = -1;

// The line while it is taken apart: a digit stands in each slot, and each
// byte knows the test whose slot it is (kPlain for the line's own bytes).
struct Working {
    std::string text;
    std::vector<int> owner;
    std::vector<std::string> replaced;

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

// Could the upper-case test text meet a slot at some start, with the slot's
// digit either 0 or 1? Only a text that holds a 0 or a 1 can.
bool could_meet_slot(const Working& w, const std::string& upper_test) {
    if (upper_test.find_first_of("01") == std::string::npos) return false;
    const std::size_t n = upper_test.size();
    if (n > w.text.size()) return false;
    for (std::size_t start = 0; start + n <= w.text.size(); ++start) {
        if (!w.any_slot(start, start + n)) continue;
        bool same = true;
        for (std::size_t j = 0; j < n && same; ++j) {
            const char t = upper_test[j];
            same = w.is_slot(start + j) ? (t == '0' || t == '1') : platform::ansi_upper(w.text[start + j]) == t;
        }
        if (same) return true;
    }
    return false;
}

// Replaces every occurrence as procesa does, each by a slot of test k; returns
// how many there were.
std::size_t replace_by_slot(Working& w, const std::string& upper_test, int k) {
    const std::string upper_line = platform::ansi_upper(w.text);
    Working out;
    std::size_t count = 0, pos = 0;
    const auto keep = [&](std::size_t from, std::size_t to) {
        out.text.append(w.text, from, to - from);
        out.owner.insert(out.owner.end(), w.owner.begin() + static_cast<std::ptrdiff_t>(from),
                         w.owner.begin() + static_cast<std::ptrdiff_t>(to));
        out.replaced.insert(out.replaced.end(), w.replaced.begin() + static_cast<std::ptrdiff_t>(from),
                            w.replaced.begin() + static_cast<std::ptrdiff_t>(to));
    };
    for (std::size_t hit = upper_line.find(upper_test); hit != std::string::npos;
         hit = upper_line.find(upper_test, pos)) {
        keep(pos, hit);
        out.text += '0';
        out.owner.push_back(k);
        out.replaced.push_back(w.text.substr(hit, upper_test.size()));
        pos = hit + upper_test.size();
        ++count;
    }
    keep(pos, w.text.size());
    w = std::move(out);
    return count;
}

}  // namespace

MatchMode mode_of(const std::string& delim) {
    if (delim == "#") return MatchMode::contains;
    if (delim == "\"") return MatchMode::word;
    if (delim == "%") return MatchMode::regexp;
    return MatchMode::none;
}

std::string LinePlan::render(std::size_t k, const std::vector<char>& digits) const {
    std::string out;
    for (const Piece& p : pieces_) {
        if (p.test != kPlain && static_cast<std::size_t>(p.test) < k)
            out += digits[static_cast<std::size_t>(p.test)];
        else
            out += p.text;
    }
    return out;
}

// The steps are la_descompone's. The line becomes "by values" as soon as an
// operator, a delimiter or a text would be read from a slot, or a test text
// could take in a slot's digit.
LinePlan plan_line(const std::string& line) {
    LinePlan plan;
    Working w{line, std::vector<int>(line.size(), kPlain), std::vector<std::string>(line.size())};
    const auto by_values = [&plan] {
        plan.by_values_ = true;
        plan.tests_.clear();
        plan.pieces_.clear();
        return plan;
    };
    for (std::size_t part = 0; part < kFieldKeywords.size(); ++part) {
        const std::string_view keyword = kFieldKeywords[part];
        for (std::size_t p = plain_upper(w.text).find(keyword); p != std::string::npos;
             p = plain_upper(w.text).find(keyword)) {
            if (w.is_slot(p + 5) || w.is_slot(p + 6)) return by_values();
            PlannedTest t;
            t.keyword = w.text.substr(p, keyword.size());
            t.op = char_at(w.text, p + 5);
            t.delim = char_at(w.text, p + 6);
            t.part = part;
            if (!t.delim.empty()) {
                const std::size_t close = w.text.find(t.delim[0], p + 7);
                const std::size_t end = close == std::string::npos ? w.text.size() : close;
                if (w.any_slot(p + 7, end + 1)) return by_values();
                t.text = w.text.substr(p + 7, end - (p + 7));
            }
            const int k = static_cast<int>(plan.tests_.size());
            const std::string upper_test = platform::ansi_upper(t.test_text());
            if (t.delim.empty()) {
                t.fault = PlannedTest::Fault::no_delimiter;
            } else {
                if (could_meet_slot(w, upper_test)) return by_values();
                if (replace_by_slot(w, upper_test, k) == 0) t.fault = PlannedTest::Fault::not_in_line;
            }
            const bool last = t.fault != PlannedTest::Fault::none;
            plan.tests_.push_back(std::move(t));
            if (last) break;
        }
        if (!plan.tests_.empty() && plan.tests_.back().fault != PlannedTest::Fault::none) break;
    }
    for (std::size_t i = 0; i < w.text.size(); ++i) {
        if (w.owner[i] != kPlain) {
            plan.pieces_.push_back({w.replaced[i], w.owner[i]});
        } else if (plan.pieces_.empty() || plan.pieces_.back().test != kPlain) {
            plan.pieces_.push_back({std::string(1, w.text[i]), kPlain});
        } else {
            plan.pieces_.back().text += w.text[i];
        }
    }
    return plan;
}

}  // namespace kalvorin
