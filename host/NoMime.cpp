// The host built without a MIME parser (Windows): messages come only as
// parts folders.
#include <stdexcept>

#include "host/MimeParts.h"

namespace kalvorin::host {

bool mime_available() { return false; }

MessageParts extract_parts(std::string_view) {
    throw std::runtime_error("this build reads only parts folders (--parts)");
}

}  // namespace kalvorin::host
