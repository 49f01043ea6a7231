#pragma once
// la_descompone's steps on a line, each field test's answer given by the
// caller: the explanation shows a line this way, and the checker tries the
// lines whose tests stand where earlier tests' digits put them.
#include <cstddef>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "CodigoComun/FilterPlan.h"

namespace kalvorin::inspect {

// One field test as la_descompone meets it.
struct LineStep : WrittenTest {
    // The line as procesa receives it, for the step where the taking apart
    // ends early only: a line of many tests would hold a copy for each.
    std::string line_before;
    bool value = false;  // the digit written for the test
};

struct TakenApart {
    // How the steps ended (stopped: the test raised).
    using End = WalkEnd;
    std::vector<LineStep> steps;  // the last one is where the steps ended
    End end = End::expression;
    std::string expression;       // End::expression only
};

// The match mode's answer for step number `index`, before negation; nothing
// stops the steps there. It is asked only for tests whose delimiter selects a
// mode, as procesa asks; the others are false.
using StepAnswer = std::function<std::optional<bool>(std::size_t index, const LineStep&)>;

TakenApart take_apart(const std::string& line, const StepAnswer& answer);

}  // namespace kalvorin::inspect
