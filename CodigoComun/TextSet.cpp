#include "CodigoComun/TextSet.h"

#include <deque>

namespace kalvorin {

namespace {
constexpr std::uint32_t kNoState = ~std::uint32_t{0};
}  // namespace

TextSet::TextSet(const std::vector<std::string>& texts) : count_(texts.size()) {
    if (count_ <= kFewTexts) {
        few_ = texts;
        return;
    }
    for (const std::string& t : texts)
        for (const char c : t) {
            std::uint16_t& k = class_of_[static_cast<unsigned char>(c)];
            if (k == 0) k = static_cast<std::uint16_t>(classes_++);
        }
    // The trie.
    next_.assign(classes_, kNoState);
    text_at_.assign(1, -1);
    for (std::size_t id = 0; id < texts.size(); ++id) {
        State s = 0;
        for (const char c : texts[id]) {
            const std::size_t slot = s * classes_ + class_of_[static_cast<unsigned char>(c)];
            if (next_[slot] == kNoState) {
                next_[slot] = static_cast<State>(text_at_.size());
                text_at_.push_back(-1);
                next_.resize(next_.size() + classes_, kNoState);
            }
            s = next_[slot];
        }
        text_at_[s] = static_cast<std::int32_t>(id);
    }
    // Failure links breadth first, folded into the table, so that a scan
    // takes one step per byte.
    const std::size_t states = text_at_.size();
    std::vector<State> fail(states, 0);
    report_.assign(states, 0);
    chain_.assign(states, 0);
    std::deque<State> queue;
    for (std::size_t c = 0; c < classes_; ++c) {
        State& t = next_[c];
        if (t == kNoState) {
            t = 0;
        } else {
            queue.push_back(t);
        }
    }
    while (!queue.empty()) {
        const State s = queue.front();
        queue.pop_front();
        chain_[s] = report_[fail[s]];
        report_[s] = text_at_[s] >= 0 ? s : chain_[s];
        for (std::size_t c = 0; c < classes_; ++c) {
            State& t = next_[s * classes_ + c];
            const State via_fail = next_[fail[s] * classes_ + c];
            if (t == kNoState) {
                t = via_fail;
            } else {
                fail[t] = via_fail;
                queue.push_back(t);
            }
        }
    }
}

// A text already found was found with every text on its chain, since those
// end where it ends; so the walk down a chain stops at the first found one.
std::vector<std::size_t> TextSet::first_ends(std::string_view subject) const {
    std::vector<std::size_t> ends(count_, npos);
    if (!few_.empty()) {
        for (std::size_t k = 0; k < few_.size(); ++k) {
            const std::size_t p = subject.find(few_[k]);
            if (p != std::string_view::npos) ends[k] = p + few_[k].size();
        }
        return ends;
    }
    std::size_t left = count_;
    State s = 0;
    for (std::size_t i = 0; i < subject.size() && left > 0; ++i) {
        s = step(s, static_cast<unsigned char>(subject[i]));
        for (State r = report_[s]; r != 0; r = chain_[r]) {
            std::size_t& end = ends[static_cast<std::size_t>(text_at_[r])];
            if (end != npos) break;
            end = i + 1;
            --left;
        }
    }
    return ends;
}

}  // namespace kalvorin
