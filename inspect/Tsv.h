#pragma once
// A field of the tools' tab-separated rows: a tab, a line break or a
// backslash inside it is written \t, \n, \r or \\, so that a row stays one
// line and reads back exactly.
#include <string>

namespace kalvorin::inspect {

inline std::string tsv_field(const std::string& text) {
    std::string out;
    for (const char c : text) {
        if (c == '\t') out += "\\t";
        else if (c == '\n') out += "\\n";
        else if (c == '\r') out += "\\r";
        else if (c == '\\') out += "\\\\";
        else out += c;
    }
    return out;
}

}  // namespace kalvorin::inspect
