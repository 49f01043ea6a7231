#pragma once
#include <string>

#include "host/MessageParts.h"

namespace kalvorin::host {

// The six parts from the raw files SNDER SBJCT MBODY ATTCH HEADR RWMSG of a
// folder; a missing file is an empty part. Raises std::runtime_error when the
// folder does not exist.
MessageParts read_parts_dir(const std::string& dir);

}  // namespace kalvorin::host
