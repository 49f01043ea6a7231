#pragma once
// --explain: the plug-in's list pass run in this process on the stored base
// folder's lists, and for each message which line decided and why.
#include <ostream>
#include <string>

#include "host/MessageParts.h"
#include "inspect/Evaluation.h"

namespace kalvorin::host {

// The parts in the order the in-process list pass takes them from a host.
inspect::HostParts host_parts(const MessageParts& parts);

// "trash line 3: <the line>".
std::string describe_line(const inspect::Evaluation& ev, std::size_t base, inspect::LineAt at);

// The part's bytes around the span, the span marked [[ ]], "..." where the
// part goes on; control bytes are written as escapes so that the excerpt
// stays on its line.
std::string excerpt(const std::string& part, inspect::Span span);

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
