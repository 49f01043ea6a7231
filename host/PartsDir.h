#pragma once
#include <cstddef>
#include <string>

#include "kalvorin/parts.h"

namespace kalvorin::host {

// The six parts from the raw files SNDER SBJCT MBODY ATTCH HEADR RWMSG of a
// folder; a missing file is an empty part. Raises std::runtime_error when the
// folder does not exist, when a part is a folder, and when a part cannot be
// read (a link that leads nowhere among them), and when the parts together
// are above max_size bytes.
MessageParts read_parts_dir(const std::string& dir, std::size_t max_size);

}  // namespace kalvorin::host
