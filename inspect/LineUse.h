#pragma once
// What each filter line of the three lists decides among the messages of the
// plug-in's log: how many, the newest of them, and whether removing the line
// would change any of them. The messages are scored with the lists as they
// are now, not by the score the log gives, so a line added or changed since
// the plug-in scored is counted for what it does today.
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "inspect/Evaluation.h"
#include "inspect/ListFiles.h"
#include "inspect/LogReader.h"

namespace kalvorin::inspect {

struct LineUse {
    LineAt at;
    std::size_t decided = 0;  // logged messages whose list pass this line ends
    // How many messages the log holds after the newest one it decided (0: the
    // log's newest message). The log keeps no dates, so its order is the clock.
    std::optional<std::size_t> ago;
    // It decided some message, and without this line alone each of them would
    // get the same score from a later line (or the external-image rule).
    bool others_decide = false;

    bool unused() const { return decided == 0; }
};

struct LineUseReport {
    std::vector<LineUse> lines;  // every filter line; comment and blank lines are not
    std::size_t messages = 0;    // the logged messages scored
};

// The order the report is shown in: most decisions first, ties in the order
// the list pass tries the lines, so the lines that decided none come last.
bool shown_before(const LineUse& a, const LineUse& b);

// Asked before each message with how many are done of how many; false stops
// the work, and what is returned then is partial.
using GoOn = std::function<bool(std::size_t done, std::size_t total)>;

// The messages line use counts, oldest first: the last of the log, as many
// as the largest log size the plug-in obeys, so a log grown past that by
// other means costs no more memory. Raises as read_log does.
std::vector<LoggedMessage> logged_history(const std::string& log);

// messages oldest first, as read_log gives them. The result is in shown order.
LineUseReport line_use(const PassSettings& settings, const FilterLists& lists,
                       const std::vector<LoggedMessage>& messages, const GoOn& go_on = {});

// A first row "list line decided last note text", then a row a line: the
// list's name, the line number, the count, how many messages ago it last
// decided ("-" for never), the note ("unused", "others-decide" or "-") and
// the line. Tabs, line breaks and backslashes in a field are written \t, \n,
// \r and \\.
std::string line_use_tsv(const LineUseReport& report, const FilterLists& lists);

}  // namespace kalvorin::inspect
