#include "CodigoComun/FieldTests.h"

#include <string_view>

#include "CodigoComun/CapturaSpam.h"
#include "CodigoComun/Texto.h"
#include "platform/ansi.h"
#include "CodigoComun/Errors.h"

namespace kalvorin {

std::string needle(MatchMode mode, const std::string& text, bool uppercase) {
    if (mode == MatchMode::word) return uppercase ? trim(plain_upper(text)) : text;
    const std::string_view contained = up_to_nul(text);
    return uppercase ? platform::ansi_upper(contained) : std::string(contained);
}

int FieldTests::add(MatchMode mode, std::size_t part, const std::string& text) {
    std::string key(1, static_cast<char>(mode));
    key += static_cast<char>(part);
    key += text;
    const auto [at, fresh] = numbers_.try_emplace(std::move(key), static_cast<int>(tests_.size()));
    if (!fresh) return at->second;
    Test t{mode, part, text};
    if (mode == MatchMode::regexp) {
        std::unique_ptr<RegexPattern>& p = patterns_[text];
        if (!p) p = std::make_unique<RegexPattern>(text);
        t.pattern = p.get();
    }
    tests_.push_back(std::move(t));
    answers_.emplace_back();
    return at->second;
}

void FieldTests::new_message(bool uppercase) {
    uppercase_ = uppercase;
    drop_forms();
    answers_.assign(tests_.size(), Answer());
    std::size_t& tried = tests_tried_[uppercase_];
    if (tried != tests_.size()) {
        tried = tests_.size();
        build_searches();
    }
}

void FieldTests::drop_forms() noexcept {
    contains_forms_ = {};
    word_forms_ = {};
    ends_ = {};
}

void FieldTests::clear() {
    tests_.clear();
    numbers_.clear();
    patterns_.clear();
    searches_ = {};
    tests_tried_ = {};
    answers_.clear();
    ends_ = {};
}

// Built aside and put in place whole, so that a build that fails leaves the
// former searches, whose tests keep their answers; later tests are looked
// for on their own.
void FieldTests::build_searches() {
    Searches s;
    std::array<std::vector<std::string>, kSearches> texts;
    std::array<std::unordered_map<std::string, int>, kSearches> seen;
    for (const Test& t : tests_) {
        const std::string n = t.mode == MatchMode::regexp ? std::string() : needle(t.mode, t.text, uppercase_);
        if (n.empty()) {
            s.text_of_test.push_back(-1);
            continue;
        }
        const std::size_t k = search_index(t.mode, t.part);
        const auto [at, fresh] = seen[k].try_emplace(n, static_cast<int>(texts[k].size()));
        if (fresh) {
            texts[k].push_back(n);
            s.by_kind_and_part[k].lengths.push_back(n.size());
        }
        s.text_of_test.push_back(at->second);
    }
    for (std::size_t k = 0; k < texts.size(); ++k)
        if (!texts[k].empty()) s.by_kind_and_part[k].texts.emplace(texts[k]);
    s.tests_known = tests_.size();
    searches_[uppercase_] = std::move(s);
}

// busca_texto's form of a part: cut at its first NUL, in ANSI upper case when
// the option is on.
std::string_view FieldTests::contains_form(std::size_t part) {
    std::optional<Form>& f = contains_forms_[part];
    if (!f) {
        f.emplace();
        f->borrowed = up_to_nul((*parts_)[part]);
        if (uppercase_) f->upper = platform::ansi_upper(f->borrowed);
    }
    return f->text();
}

// normaliza's form, which busca_palabra and busca_regexp search: the part,
// trimmed and in plain upper case under the option.
std::string_view FieldTests::word_form(std::size_t part) {
    std::optional<Form>& f = word_forms_[part];
    if (!f) {
        f.emplace();
        std::string& text = (*parts_)[part];
        if (uppercase_) plain_upper_in_place(text);
        f->borrowed = uppercase_ ? trim_view(text) : std::string_view(text);
    }
    return f->text();
}

const std::vector<std::size_t>& FieldTests::first_ends(std::size_t search) {
    std::optional<std::vector<std::size_t>>& e = ends_[search];
    if (!e) {
        const std::size_t part = search % kPartCount;
        const std::string_view form = search < kPartCount ? contains_form(part) : word_form(part);
        e = searches_[uppercase_].by_kind_and_part[search].texts->first_ends(form);
    }
    return *e;
}

// Only the first occurrence counts, bounded by separators or the form's ends.
bool FieldTests::word_at(std::string_view form, std::size_t end, std::size_t length) const {
    const std::size_t p = end - length;
    const bool start_bounded = p == 0 || es_separador(form[p - 1]);
    const bool end_bounded = end >= form.size() || es_separador(form[end]);
    return start_bounded && end_bounded;
}

bool FieldTests::decide(const Test& t, int number) {
    if (t.mode == MatchMode::regexp) return t.pattern->exec(word_form(t.part));
    const Searches& s = searches_[uppercase_];
    const std::size_t k = search_index(t.mode, t.part);
    std::size_t end = TextSet::npos, length = 0;
    if (static_cast<std::size_t>(number) < s.tests_known) {
        const int text = s.text_of_test[static_cast<std::size_t>(number)];
        if (text < 0) return false;
        end = first_ends(k)[static_cast<std::size_t>(text)];
        length = s.by_kind_and_part[k].lengths[static_cast<std::size_t>(text)];
    } else {
        // A test met after the searches were built is looked for on its own.
        const std::string n = needle(t.mode, t.text, uppercase_);
        if (n.empty()) return false;
        const std::string_view form = t.mode == MatchMode::word ? word_form(t.part) : contains_form(t.part);
        end = TextSet({n}).first_ends(form).front();
        length = n.size();
    }
    if (end == TextSet::npos) return false;
    return t.mode == MatchMode::contains || word_at(word_form(t.part), end, length);
}

bool FieldTests::answer(int test) {
    Answer& a = answers_[static_cast<std::size_t>(test)];
    if (a.state == Answer::State::unasked) {
        try {
            a.state = decide(tests_[static_cast<std::size_t>(test)], test) ? Answer::State::yes : Answer::State::no;
        } catch (const ERegExpr&) {
            a.state = Answer::State::raised;
            a.error = std::current_exception();
        }
    }
    if (a.state == Answer::State::raised) std::rethrow_exception(a.error);
    return a.state == Answer::State::yes;
}

}  // namespace kalvorin
