#include "tools/LineSyntax.h"

#include <algorithm>

#include "CodigoComun/EvaluaExpresion.h"
#include "CodigoComun/FilterPlan.h"
#include "CodigoComun/Texto.h"

namespace kalvorin::lint {

namespace {

bool keyword_at(const std::string& line, std::size_t pos) {
    if (pos + kKeywordLength > line.size()) return false;
    const std::string upper = plain_upper(line.substr(pos, kKeywordLength));
    for (const std::string_view k : kFieldKeywords)
        if (upper == k) return true;
    return false;
}

// The keyword that a test's text holds, if any.
std::optional<std::string> keyword_within(const std::string& text) {
    for (std::size_t p = 0; p < text.size(); ++p)
        if (keyword_at(text, p)) return plain_upper(text.substr(p, kKeywordLength));
    return std::nullopt;
}

std::string column(std::size_t pos) { return std::to_string(pos + 1); }

bool is_letter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }

class Reader {
public:
    explicit Reader(const std::string& line) : line_(line) {}

    LineSyntax read() {
        std::size_t pos = 0;
        while (pos < line_.size()) pos = token(pos);
        if (last_ == Last::op) fault({Says::fix_operator_after, {quoted(op_), column(op_pos_)}});
        if (last_ == Last::open) fault({Says::fix_unclosed, {column(opens_.back())}});
        if (last_ == Last::none && !out_.fault) fault({Says::fix_empty_line, {}});
        // Too deep a nesting is refused before anything else is looked at.
        if (too_deep_)
            out_.fault = Words{Says::fix_too_deep,
                               {std::to_string(deepest_), column(*too_deep_), std::to_string(kDeepestNesting)}};
        if (!out_.fault) {
            if (!opens_.empty())
                out_.remarks.push_back({{Says::unclosed, {column(opens_.front())}},
                                        {Says::fix_unclosed, {column(opens_.front())}}});
            if (no_operator_) out_.remarks.push_back(*no_operator_);
        }
        return std::move(out_);
    }

private:
    enum class Last { none, operand, op, open, close };

    static std::string quoted(char c) { return std::string("'") + c + "'"; }

    void fault(Words w) {
        if (!out_.fault) out_.fault = std::move(w);
    }

    // An operand, or a '(' that stands where an operator should.
    void after_operand_or_close(const std::string& shown, std::size_t pos) {
        if ((last_ == Last::operand || last_ == Last::close) && !no_operator_)
            no_operator_ = Remark{{Says::no_operator, {previous_, shown}},
                                  {Says::fix_no_operator, {previous_, shown, column(pos)}}};
    }

    void operand(const std::string& shown, std::size_t pos) {
        after_operand_or_close(shown, pos);
        last_ = Last::operand;
        previous_ = shown;
    }

    // The test whose keyword starts at pos; returns where reading goes on.
    std::size_t test(std::size_t pos) {
        if (pos + kDelimiterAt >= line_.size()) {
            fault({Says::fix_cut_off, {line_.substr(pos), column(pos)}});
            return line_.size();
        }
        const char delim = line_[pos + kDelimiterAt];
        const std::size_t close = line_.find(delim, pos + kTextAt);
        if (close == std::string::npos) {
            fault({Says::fix_no_delimiter, {line_.substr(pos), column(pos), quoted(delim)}});
            return line_.size();
        }
        const std::string shown = line_.substr(pos, close + 1 - pos);
        if (const std::optional<std::string> k = keyword_within(line_.substr(pos + kTextAt, close - pos - kTextAt)))
            fault({Says::fix_keyword_in_text, {shown, column(pos), *k}});
        operand(shown, pos);
        return close + 1;
    }

    std::size_t token(std::size_t pos) {
        const char c = line_[pos];
        if (c == ' ') return pos + 1;
        if (keyword_at(line_, pos)) return test(pos);
        if (evalua_detail::es_digito(c)) {
            std::size_t end = pos;
            while (end < line_.size() && evalua_detail::es_digito(line_[end])) ++end;
            if (!out_.number) out_.number = {line_.substr(pos, end - pos), pos + 1};
            operand(line_.substr(pos, end - pos), pos);
            return end;
        }
        if (c == '+' || c == '*') {
            if (last_ == Last::none || last_ == Last::op || last_ == Last::open)
                fault({Says::fix_operator_before, {quoted(c), column(pos)}});
            last_ = Last::op;
            op_ = c;
            op_pos_ = pos;
            return pos + 1;
        }
        if (c == '(') {
            after_operand_or_close("'('", pos);
            opens_.push_back(pos);
            if (opens_.size() > kDeepestNesting && !too_deep_) too_deep_ = pos;
            deepest_ = std::max(deepest_, opens_.size());
            last_ = Last::open;
            return pos + 1;
        }
        if (c == ')') {
            if (opens_.empty()) fault({Says::fix_unmatched_close, {column(pos)}});
            else if (last_ == Last::open) fault({Says::fix_empty_group, {column(opens_.back())}});
            else if (last_ == Last::op) fault({Says::fix_operator_after, {quoted(op_), column(op_pos_)}});
            if (!opens_.empty()) opens_.pop_back();
            last_ = Last::close;
            previous_ = "')'";
            return pos + 1;
        }
        if (is_letter(c)) {
            // A word up to the next keyword: in xsnder=#a# the test is still found.
            std::size_t end = pos + 1;
            while (end < line_.size() && is_letter(line_[end]) && !keyword_at(line_, end)) ++end;
            fault({Says::fix_unknown_word, {line_.substr(pos, end - pos), column(pos)}});
            return end;
        }
        fault({Says::fix_stray, {std::string(1, c), column(pos)}});
        return pos + 1;
    }

    const std::string& line_;
    LineSyntax out_;
    Last last_ = Last::none;
    std::string previous_;  // the operand or ')' before, as shown
    char op_ = '+';
    std::size_t op_pos_ = 0;
    std::vector<std::size_t> opens_;  // the '(' not yet closed
    std::optional<std::size_t> too_deep_;
    std::size_t deepest_ = 0;
    std::optional<Remark> no_operator_;
};

}  // namespace

LineSyntax read_syntax(const std::string& line) { return Reader(line).read(); }

std::size_t column_of(const std::string& line, const std::string& test) {
    if (test.size() < 5) return 0;
    const std::string keyword = plain_upper(test.substr(0, 5));
    const std::string upper_line = plain_upper(line);
    for (std::size_t p = upper_line.find(keyword); p != std::string::npos; p = upper_line.find(keyword, p + 1))
        if (line.compare(p + 5, test.size() - 5, test, 5) == 0) return p + 1;
    return 0;
}

}  // namespace kalvorin::lint
