#include "inspect/LineUse.h"

#include <algorithm>
#include <cstdint>
#include <map>
#include <tuple>
#include <utility>

#include "CodigoComun/ConfigSys.h"
#include "inspect/Tsv.h"

namespace kalvorin::inspect {

namespace {

using Key = std::pair<std::size_t, std::size_t>;  // list, number

Key key(LineAt at) { return {at.list, at.number}; }

// The lists with every line up to and including `at` blanked. For a message
// that `at` decided, the lines before it neither matched nor raised, and
// they answer the same again, so this is the pass without that one line,
// with less to take apart and try. A blank line is no filter line.
FilterLists from_after(const FilterLists& lists, LineAt at) {
    FilterLists after;
    for (std::size_t l = 0; l < lists.lines.size(); ++l) {
        const std::vector<std::string>& lines = lists.lines[l];
        std::vector<std::string>& kept = after.lines[l];
        kept.resize(lines.size());
        const std::size_t first = l < at.list ? lines.size() : l > at.list ? 0 : at.number;
        std::copy(lines.begin() + static_cast<std::ptrdiff_t>(first), lines.end(),
                  kept.begin() + static_cast<std::ptrdiff_t>(first));
    }
    return after;
}

// A row for each filter line, in pass order; row tells where each one is.
std::vector<LineUse> every_filter_line(const FilterLists& lists, std::map<Key, std::size_t>& row) {
    std::vector<LineUse> lines;
    for (std::size_t l = 0; l < lists.lines.size(); ++l)
        for (std::size_t i = 0; i < lists.lines[l].size(); ++i)
            if (is_filter_line(lists.lines[l][i])) {
                row[{l, i + 1}] = lines.size();
                LineUse use;
                use.at = LineAt{l, i + 1};
                lines.push_back(use);
            }
    return lines;
}

}  // namespace

bool shown_before(const LineUse& a, const LineUse& b) {
    return std::make_tuple(b.decided, a.at.list, a.at.number) < std::make_tuple(a.decided, b.at.list, b.at.number);
}

LineUseReport line_use(const PassSettings& settings, const FilterLists& lists,
                       const std::vector<LoggedMessage>& messages, const GoOn& go_on) {
    LineUseReport report;
    report.messages = messages.size();
    std::map<Key, std::size_t> row;
    report.lines = every_filter_line(lists, row);

    // Each message once with the lists as they are, then again, for each line
    // that decided something, with that line taken out. The second round
    // counts as much work as the first in the progress.
    const std::size_t total = 2 * messages.size();
    std::vector<SeenMessage> seen;
    std::map<Key, std::vector<std::size_t>> decided;  // the messages each line decided
    std::vector<std::int32_t> score(messages.size());
    {
        const Evaluation now(settings, {lists});
        for (std::size_t i = 0; i < messages.size(); ++i) {
            if (go_on && !go_on(i, total)) return report;
            seen.push_back(see(messages[i], settings));
            const Verdict v = now.score(seen.back());
            score[i] = v.score;
            if (!v.decided) continue;
            LineUse& use = report.lines[row.at(key(*v.decided))];
            ++use.decided;
            use.ago = messages.size() - 1 - i;  // oldest first: the last one seen is the newest
            decided[key(*v.decided)].push_back(i);
        }
    }
    std::size_t done = messages.size();
    for (const auto& [line, mine] : decided) {
        if (go_on && !go_on(done, total)) return report;
        const Evaluation without(settings, {from_after(lists, LineAt{line.first, line.second})});
        report.lines[row.at(line)].others_decide = std::all_of(
            mine.begin(), mine.end(), [&](std::size_t i) { return without.score(seen[i]).score == score[i]; });
        done += mine.size();
    }
    std::stable_sort(report.lines.begin(), report.lines.end(), shown_before);
    return report;
}

std::string line_use_tsv(const LineUseReport& report, const FilterLists& lists) {
    std::string out = "list\tline\tdecided\tlast\tnote\ttext\n";
    for (const LineUse& u : report.lines) {
        const char* note = u.unused() ? "unused" : u.others_decide ? "others-decide" : "-";
        out += std::string(list_name(u.at.list)) + "\t" + std::to_string(u.at.number) + "\t" +
               std::to_string(u.decided) + "\t" + (u.ago ? std::to_string(*u.ago) : "-") + "\t" + note + "\t" +
               tsv_field(lists.lines[u.at.list][u.at.number - 1]) + "\n";
    }
    return out;
}

std::vector<LoggedMessage> logged_history(const std::string& log) {
    return read_log_tail(log, static_cast<std::size_t>(settings::kMaxLogsize)).messages;
}

}  // namespace kalvorin::inspect
