#pragma once
// The scoring of one message: parts fetched from the host, the list pass, the
// external-image rule and the log account.
#include <cstdint>
#include <memory>
#include <string>

#include "kalvorin/tbp.h"

namespace kalvorin {

// The buffer shared by the six part fetches of one message. It grows to
// exactly the size a part needs and its whole capacity goes to the host.
struct PartBuffer {
    std::unique_ptr<char[]> data;
    std::int32_t capacity = 0;
};

// Fetches one part with the two-call protocol; an error leaves it empty.
std::string get_part(HostArg hostarg, HostCallback callback, std::int32_t part, PartBuffer& buf);

// Logs the lookup and returns the score of list n (1, 2, 3), else 0.
std::int32_t get_score(std::int32_t n);

// The whole of TBP_GetSpamScore. Nothing it meets reaches the caller.
std::int32_t get_spam_score(HostArg hostarg, HostCallback callback) noexcept;

}  // namespace kalvorin
