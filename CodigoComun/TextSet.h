#pragma once
// Many texts found in one pass over a subject (an Aho-Corasick automaton over
// bytes). Bytes are compared as they are; callers bring both sides into the
// same case first.
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kalvorin {

class TextSet {
public:
    static constexpr std::size_t npos = static_cast<std::size_t>(-1);

    // REQUIRES: every text is non-empty and no two are equal.
    explicit TextSet(const std::vector<std::string>& texts);

    // For each text in the order given, the end (one past its last byte) of
    // its first occurrence in the subject, or npos when it does not occur.
    std::vector<std::size_t> first_ends(std::string_view subject) const;

    std::size_t size() const { return count_; }

private:
    using State = std::uint32_t;
    State step(State s, unsigned char byte) const { return next_[s * classes_ + class_of_[byte]]; }

    // A few texts are found faster one by one, with the library's search.
    static constexpr std::size_t kFewTexts = 6;
    std::vector<std::string> few_;

    std::size_t count_ = 0;
    // Bytes that no text holds share class 0, which keeps the table small.
    std::vector<std::uint16_t> class_of_ = std::vector<std::uint16_t>(256, 0);
    std::size_t classes_ = 1;
    std::vector<State> next_;
    // The first state on the suffix chain (the state itself included) where a
    // text ends, 0 for none; the root ends no text.
    std::vector<State> report_;
    // The text ending at a state, and the next reporting state on its chain.
    std::vector<std::int32_t> text_at_;
    std::vector<State> chain_;
};

}  // namespace kalvorin
