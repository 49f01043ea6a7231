#pragma once
// The error types of numbers and of the filter language. Each carries the
// system's own message text.
#include "platform/errors.h"

namespace kalvorin {

// A text that should be a number is not ("'x' is not a valid integer value"),
// or a number is outside the signed 32-bit range.
struct EConvertError : KalvorinError {
    using KalvorinError::KalvorinError;
};

// A filter line or its expression that cannot be evaluated (a malformed field
// test, or an expression that no reduction cycle can change).
struct EFilterError : KalvorinError {
    using KalvorinError::KalvorinError;
};

// A regular expression that does not compile, or that is too costly to run.
struct ERegExpr : KalvorinError {
    using KalvorinError::KalvorinError;
};

// A pattern that ran out of its work budget on one text, or whose form for a
// text of this length is too big to compile (counts are written out as far
// as the text's length allows). The text decides this, not the pattern
// alone: the same pattern may finish on another text, so the list pass
// passes over the line instead of stopping.
struct ERegExprTooCostly : ERegExpr {
    ERegExprTooCostly() : ERegExpr("TRegExpr(exec): Pattern Too Costly For This Text") {}
    using ERegExpr::ERegExpr;
};

}  // namespace kalvorin
