#pragma once
// A message scored with two sets of lists, base 0 (before) and base 1
// (after): kalvorin-host --compare on two folders, and the window on the
// lists as saved and as a save would write them.
#include <cstddef>
#include <string>
#include <vector>

#include "inspect/Evaluation.h"
#include "inspect/LogReader.h"

namespace kalvorin::inspect {

struct Change {
    Verdict before, after;
    std::string from, to;                       // decider() of each
    std::string before_account, after_account;  // account() of each

    // The deciding list or the score differs.
    bool changed() const { return from != to || before.score != after.score; }
};

// REQUIRES: ev holds two bases.
Change compare(const Evaluation& ev, const SeenMessage& m);

struct LoggedChange {
    std::size_t message = 0;  // index into the logged messages
    Change change;
};

// The logged messages whose deciding list or score changes from base 0 to
// base 1, in log order.
// REQUIRES: ev holds two bases.
std::vector<LoggedChange> changes(const Evaluation& ev, const std::vector<LoggedMessage>& messages);

}  // namespace kalvorin::inspect
