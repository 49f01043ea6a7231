#include "CodigoComun/TextSet.h"

#include <algorithm>
#include <cstring>
#include <numeric>

#include "platform/find_bytes.h"

namespace kalvorin {

TextSet::TextSet(const std::vector<std::string>& texts) : TextSet(texts, std::nullopt) {}

TextSet::TextSet(const std::vector<std::string>& texts, Form form) : TextSet(texts, std::optional<Form>(form)) {}

TextSet::TextSet(const std::vector<std::string>& texts, std::optional<Form> form) : count_(texts.size()) {
    const auto short_text = [](const std::string& t) { return t.size() <= kShortText; };
    if (form ? *form == Form::one_by_one
             : count_ <= kFewTexts && std::all_of(texts.begin(), texts.end(), short_text)) {
        few_ = texts;
        return;
    }
    build_trie(texts);
    class_of_.assign(256, 0);
    for (const unsigned char byte : label_) {
        std::uint16_t& k = class_of_[byte];
        if (k == 0) k = static_cast<std::uint16_t>(classes_++);
    }
    const std::size_t states = report_.size();
    const bool fits = states <= kDenseEntries / classes_;
    form_ = form ? *form : fits ? Form::dense : Form::sparse;
    if (form_ == Form::dense) fold_into_table();
}

// Sorted, the texts below a state are a run that shares its prefix, and their
// next bytes split the run into the runs of its children, in byte order. So
// one level at a time the states come breadth first with their edges sorted,
// and the building time and memory are linear in the texts' total size.
void TextSet::build_trie(const std::vector<std::string>& texts) {
    std::vector<std::uint32_t> order(count_);
    std::iota(order.begin(), order.end(), 0);
    std::sort(order.begin(), order.end(), [&](std::uint32_t a, std::uint32_t b) { return texts[a] < texts[b]; });
    const auto byte_at = [&](std::uint32_t run_at, std::size_t depth) {
        return static_cast<unsigned char>(texts[order[run_at]][depth]);
    };
    std::size_t total = 0;
    for (const std::string& t : texts) total += t.size();
    first_edge_.reserve(total + 2);
    label_.reserve(total);
    report_.reserve(total + 1);
    struct Run {
        std::uint32_t from, to;
    };
    std::vector<Run> level{{0, static_cast<std::uint32_t>(count_)}}, below;
    for (std::size_t depth = 0; !level.empty(); ++depth) {
        below.clear();
        for (Run run : level) {
            first_edge_.push_back(static_cast<std::uint32_t>(label_.size()));
            // Texts are distinct, so at most one ends here; it sorts first.
            std::int32_t ends_here = -1;
            if (run.from < run.to && texts[order[run.from]].size() == depth)
                ends_here = static_cast<std::int32_t>(order[run.from++]);
            report_.push_back(ends_here);
            while (run.from < run.to) {
                const unsigned char byte = byte_at(run.from, depth);
                std::uint32_t to = run.from + 1;
                while (to < run.to && byte_at(to, depth) == byte) ++to;
                label_.push_back(byte);
                below.push_back({run.from, to});
                run.from = to;
            }
        }
        std::swap(level, below);
    }
    first_edge_.push_back(static_cast<std::uint32_t>(label_.size()));

    // Failure links breadth first: a child's link is found from its parent's,
    // which is already known.
    const std::size_t states = report_.size();
    fail_.assign(states, 0);
    chain_.assign(count_, -1);
    for (std::uint32_t e = first_edge_[0]; e < first_edge_[1]; ++e) root_[label_[e]] = e + 1;
    for (State parent = 0; parent < states; ++parent)
        for (std::uint32_t e = first_edge_[parent]; e < first_edge_[parent + 1]; ++e) {
            const State child = e + 1;
            const State f = parent == 0 ? 0 : sparse_step(fail_[parent], label_[e]);
            fail_[child] = f;
            std::int32_t& own = report_[child];
            if (own < 0) {
                own = report_[f];
            } else {
                chain_[static_cast<std::size_t>(own)] = report_[f];
            }
        }
}

// A state's row is its failure link's row, an earlier one, with its own
// edges written over it.
void TextSet::fold_into_table() {
    const std::size_t states = report_.size();
    next_.assign(states * classes_, 0);
    const auto entry = [&](State s) {
        return static_cast<State>(s * classes_) | (report_[s] >= 0 ? kSomeTextEnds : 0);
    };
    for (State s = 0; s < states; ++s) {
        State* row = &next_[s * classes_];
        if (s != 0) std::copy_n(&next_[fail_[s] * classes_], classes_, row);
        for (std::uint32_t e = first_edge_[s]; e < first_edge_[s + 1]; ++e) row[class_of_[label_[e]]] = entry(e + 1);
    }
    first_edge_ = {};
    label_ = {};
    fail_ = {};
}

// Each failure link taken is a step nearer the root, and each byte a step
// away from it at most, so a scan stays linear in the subject.
TextSet::State TextSet::sparse_step(State s, unsigned char byte) const {
    for (;;) {
        if (s == 0) return root_[byte];
        const unsigned char* base = label_.data();
        const void* at = std::memchr(base + first_edge_[s], byte, first_edge_[s + 1] - first_edge_[s]);
        if (at) return static_cast<State>(static_cast<const unsigned char*>(at) - base) + 1;
        s = fail_[s];
    }
}

// A text already found was found with every text on its chain, since those
// end where it ends; so the walk down a chain stops at the first found one.
template <class Step, class Ending>
void TextSet::walk(std::string_view subject, std::vector<std::size_t>& ends, Step step, Ending ending) const {
    std::size_t left = count_;
    State s = 0;
    for (std::size_t i = 0; i < subject.size() && left > 0; ++i) {
        s = step(s, static_cast<unsigned char>(subject[i]));
        for (std::int32_t text = ending(s); text >= 0; text = chain_[static_cast<std::size_t>(text)]) {
            std::size_t& end = ends[static_cast<std::size_t>(text)];
            if (end != npos) break;
            end = i + 1;
            --left;
        }
    }
}

std::vector<std::size_t> TextSet::first_ends(std::string_view subject) const {
    std::vector<std::size_t> ends(count_, npos);
    switch (form_) {
    case Form::one_by_one:
        for (std::size_t k = 0; k < few_.size(); ++k) {
            const std::size_t p = platform::find_bytes(subject, few_[k]);
            if (p != std::string_view::npos) ends[k] = p + few_[k].size();
        }
        break;
    case Form::dense:
        // The walk carries entries of the table, not state numbers.
        walk(
            subject, ends,
            [this](State entry, unsigned char byte) { return next_[(entry & ~kSomeTextEnds) + class_of_[byte]]; },
            [this](State entry) {
                return entry & kSomeTextEnds ? report_[(entry & ~kSomeTextEnds) / classes_] : std::int32_t{-1};
            });
        break;
    case Form::sparse:
        walk(
            subject, ends, [this](State s, unsigned char byte) { return sparse_step(s, byte); },
            [this](State s) { return report_[s]; });
        break;
    }
    return ends;
}

}  // namespace kalvorin
