#include "inspect/Comparison.h"

#include "inspect/ExplainText.h"

namespace kalvorin::inspect {

namespace {

constexpr std::size_t kBefore = 0;
constexpr std::size_t kAfter = 1;

}  // namespace

Change compare(const Evaluation& ev, const SeenMessage& m) {
    Change c;
    c.before = ev.score(m, kBefore);
    c.after = ev.score(m, kAfter);
    c.from = decider(c.before);
    c.to = decider(c.after);
    c.before_account = account(ev, kBefore, c.before);
    c.after_account = account(ev, kAfter, c.after);
    return c;
}

std::vector<LoggedChange> changes(const Evaluation& ev, const std::vector<LoggedMessage>& messages) {
    std::vector<LoggedChange> out;
    for (std::size_t i = 0; i < messages.size(); ++i) {
        Change c = compare(ev, see(messages[i], ev.settings()));
        if (c.changed()) out.push_back({i, std::move(c)});
    }
    return out;
}

}  // namespace kalvorin::inspect
