#pragma once
// The scoring of one message: parts fetched from the host, the list pass, the
// external-image rule and the log account.
#include <cstdint>
#include <string>

#include "kalvorin/tbp.h"

namespace kalvorin {

// Fetches one part with the two-call protocol; an error leaves it empty. The
// host fills zeroed room of the length it announced, and the part is that
// room itself, cut to the count the host gives and to 50000 bytes under the
// up50kb option: no other copy is made.
std::string get_part(HostArg hostarg, HostCallback callback, std::int32_t part);

// Logs the lookup and returns the score of list n (1, 2, 3), else 0.
std::int32_t get_score(std::int32_t n);

// The whole of TBP_GetSpamScore. Nothing it meets reaches the caller.
std::int32_t get_spam_score(HostArg hostarg, HostCallback callback) noexcept;

}  // namespace kalvorin
