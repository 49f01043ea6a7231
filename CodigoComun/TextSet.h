#pragma once
// Many texts found in one pass over a subject (an Aho-Corasick automaton over
// bytes). Bytes are compared as they are; callers bring both sides into the
// same case first.
#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kalvorin {

class TextSet {
public:
    static constexpr std::size_t npos = static_cast<std::size_t>(-1);

    // The ways of searching; each gives the same answers. one_by_one uses the
    // library's search per text; dense steps through a table of states by
    // byte classes; sparse keeps sorted edges and failure links, so that its
    // memory grows with the texts' total size alone.
    enum class Form { one_by_one, dense, sparse };

    // REQUIRES: every text is non-empty and no two are equal.
    // Chooses the form by the number and size of the texts.
    explicit TextSet(const std::vector<std::string>& texts);
    // Takes the form given, whatever the texts.
    TextSet(const std::vector<std::string>& texts, Form form);

    // For each text in the order given, the end (one past its last byte) of
    // its first occurrence in the subject, or npos when it does not occur.
    std::vector<std::size_t> first_ends(std::string_view subject) const;

    std::size_t size() const { return count_; }
    Form form() const { return form_; }

private:
    using State = std::uint32_t;

    // A few short texts are found faster one by one, with the library's
    // search. Its time is the subject's length times the text's at worst
    // ("aaa...ab" in a part of "a"), so a longer text takes the automaton,
    // whose time is the subject's length alone.
    static constexpr std::size_t kFewTexts = 6;
    static constexpr std::size_t kShortText = 64;
    // The largest dense table, in entries: 1M entries are 4 MB, which holds
    // 4096 states over all 256 bytes or some 40000 over a usual handful of
    // classes. A larger table costs memory by the texts' size times the
    // alphabet, and misses the cache so that it stops being faster.
    static constexpr std::size_t kDenseEntries = std::size_t{1} << 20;

    TextSet(const std::vector<std::string>& texts, std::optional<Form> form);
    void build_trie(const std::vector<std::string>& texts);
    void fold_into_table();
    State sparse_step(State s, unsigned char byte) const;
    template <class Step, class Ending>
    void walk(std::string_view subject, std::vector<std::size_t>& ends, Step step, Ending ending) const;

    Form form_ = Form::one_by_one;
    std::size_t count_ = 0;
    std::vector<std::string> few_;

    // The sparse form: the trie in breadth-first order, so that a state's
    // failure link is an earlier state. The edges of state s are
    // first_edge_[s] .. first_edge_[s + 1] - 1, sorted by byte, and edge e
    // leads to state e + 1. The root keeps a whole row.
    std::vector<std::uint32_t> first_edge_;
    std::vector<unsigned char> label_;
    std::vector<State> fail_;
    std::array<State, 256> root_{};

    // The dense form: the failure links folded into a table, so that a scan
    // takes one step per byte. Bytes that no text holds share class 0, which
    // keeps the table small. An entry holds where the next state's row
    // begins (its number times the classes), so a step needs no product, and
    // a bit that says whether some text ends there, so a step where none
    // does looks nowhere else.
    static constexpr State kSomeTextEnds = State{1} << 31;
    std::vector<std::uint16_t> class_of_;
    std::size_t classes_ = 1;
    std::vector<State> next_;

    // Both automata: the first text ending on the suffix chain of a state
    // (the state itself included), -1 for none; and for each text, the next
    // text on its chain.
    std::vector<std::int32_t> report_;
    std::vector<std::int32_t> chain_;
};

}  // namespace kalvorin
