#pragma once
#include <string>

#include "platform/errors.h"

namespace kalvorin {

// A step of TBP_Initialize failed; the message names the step and its error.
struct InitFailure : KalvorinError {
    InitFailure(int step, const std::string& what, const std::string& error)
        : KalvorinError("initialisation stopped at step " + std::to_string(step) + " (" + what + "): " + error) {}
};

}  // namespace kalvorin
