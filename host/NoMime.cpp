// The host built without a MIME parser (Windows): messages come only as
// parts folders, and there is no --filter.
#include <iostream>
#include <stdexcept>

#include "host/ExitStatus.h"
#include "host/Filter.h"
#include "host/MimeParts.h"

namespace kalvorin::host {

bool mime_available() { return false; }

MessageParts extract_parts(std::string) {
    throw std::runtime_error("this build reads only parts folders (--parts)");
}

int filter_stdin(const FilterOptions&) {
    std::cerr << "kalvorin-host: " << kPartsOnly;
    return kUsageError;
}

}  // namespace kalvorin::host
