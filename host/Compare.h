#pragma once
// --compare: every message scored with the lists of two base folders (the
// other settings from the store), printed when its deciding list or score
// changes, then a count per kind of change.
#include <cstddef>
#include <map>
#include <ostream>
#include <string>

#include "inspect/Evaluation.h"
#include "kalvorin/parts.h"

namespace kalvorin::host {

class Comparer {
public:
    // Reads the settings and both folders' lists, which are only read;
    // raises what reading them raises.
    Comparer(std::ostream& out, const std::string& old_base, const std::string& new_base);
    // True when an error ended the scoring with either folder's lists, which
    // the plug-in would report.
    bool message(const std::string& label, const MessageParts& parts);
    // "N of M messages changed", then "OLD -> NEW: COUNT" per kind.
    void summary();

private:
    std::ostream& out_;
    inspect::Evaluation ev_;
    std::size_t messages_ = 0;
    std::map<std::string, std::size_t> changes_;
};

}  // namespace kalvorin::host
