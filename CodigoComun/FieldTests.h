#pragma once
// The distinct field tests of the filter lines met so far and their answers
// for the current message. Each part is put into each form it is tested in
// once per message; the contains and whole-word texts of a part are all found
// in one pass over its form; each regular expression is parsed once and
// compiled once per length class (RegexPattern).
#include <array>
#include <cstddef>
#include <exception>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "CodigoComun/FilterPlan.h"
#include "CodigoComun/RegExpr.h"
#include "CodigoComun/TextSet.h"

namespace kalvorin {

// What busca_texto or busca_palabra looks for, in the form it looks in: two
// tests of one mode and part whose needles are equal give the same answer.
std::string needle(MatchMode mode, const std::string& text, bool uppercase);

class FieldTests {
public:
    // The parts are read at every answer; they must outlive this object.
    // With the upper-case option on, a part is put into plain upper case in
    // place the first time its whole-word form is needed, which makes that
    // form the part itself: under the option no mode looks at a letter's
    // case, and the ANSI upper case of a letter is that of its plain upper
    // case.
    explicit FieldTests(FieldParts& parts) : parts_(&parts) {}

    // The number of the test (mode, part, text); the same test keeps its number.
    // REQUIRES: mode is not MatchMode::none.
    int add(MatchMode mode, std::size_t part, const std::string& text);
    // Forgets the answers of the last message; the parts now hold a new one.
    void new_message(bool uppercase);
    // Lets go of the forms made of the message's parts.
    void drop_forms() noexcept;
    // The match mode's answer for the test, before any negation. Raises
    // ERegExpr as busca_regexp does, again at every ask.
    bool answer(int test);
    // Forgets every test and compiled pattern.
    void clear();
    std::size_t size() const { return tests_.size(); }

private:
    struct Test {
        MatchMode mode;
        std::size_t part;
        std::string text;
        RegexPattern* pattern = nullptr;
    };
    // The one-pass search for the contains (kind 0) or whole-word (kind 1)
    // texts of one part, under one upper-case setting; by kind, then part.
    static constexpr std::size_t kSearches = 2 * kPartCount;
    struct Search {
        std::optional<TextSet> texts;
        std::vector<std::size_t> lengths;
    };
    struct Searches {
        std::size_t tests_known = 0;             // tests 0 .. tests_known-1 are in the searches
        std::array<Search, kSearches> by_kind_and_part;
        std::vector<int> text_of_test;           // index in its search, -1 for a text never found
    };
    // A part in the form a mode searches: a copy in upper case when the
    // option asks for one, else the part itself (or a piece of it), borrowed.
    struct Form {
        std::optional<std::string> upper;
        std::string_view borrowed;
        std::string_view text() const { return upper ? std::string_view(*upper) : borrowed; }
    };
    struct Answer {
        enum class State { unasked, no, yes, raised } state = State::unasked;
        std::exception_ptr error;  // what a pattern raised, of its own type
    };

    static std::size_t search_index(MatchMode mode, std::size_t part) {
        return (mode == MatchMode::word ? kPartCount : 0) + part;
    }
    void build_searches();
    std::string_view contains_form(std::size_t part);
    // normaliza's form of the part, made once per message.
    std::string_view word_form(std::size_t part);
    const std::vector<std::size_t>& first_ends(std::size_t search);
    bool decide(const Test& t, int number);
    bool word_at(std::string_view form, std::size_t end, std::size_t length) const;

    FieldParts* parts_;
    bool uppercase_ = false;
    std::vector<Test> tests_;
    std::unordered_map<std::string, int> numbers_;
    std::map<std::string, std::unique_ptr<RegexPattern>> patterns_;
    std::array<Searches, 2> searches_;  // by the upper-case setting
    // The number of tests when searches_ were last built or tried: a build
    // that fails is not tried again before a new test comes.
    std::array<std::size_t, 2> tests_tried_{};

    // The current message's.
    std::array<std::optional<Form>, kPartCount> contains_forms_, word_forms_;
    std::array<std::optional<std::vector<std::size_t>>, kSearches> ends_;
    std::vector<Answer> answers_;
};

}  // namespace kalvorin
