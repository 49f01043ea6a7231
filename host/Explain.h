#pragma once
// --explain: the plug-in's list pass run in this process on the stored base
// folder's lists, and for each message which line decided and why.
#include <ostream>
#include <string>

#include "inspect/Evaluation.h"
#include "kalvorin/parts.h"

namespace kalvorin::host {

// The parts in the order the in-process list pass takes them from a host.
inspect::HostParts host_parts(const MessageParts& parts);

class Explainer {
public:
    // Reads the settings and the lists of the stored base folder; raises
    // what reading them raises.
    explicit Explainer(std::ostream& out);
    // SCORE<TAB>LABEL as the host prints it, then the account. True when an
    // error ended the scoring, which the plug-in would report.
    bool message(const std::string& label, const MessageParts& parts);

private:
    std::ostream& out_;
    inspect::Evaluation ev_;
};

}  // namespace kalvorin::host
