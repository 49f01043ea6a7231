#pragma once
// The editor's and the bulk tab's field tests are the filter language's own
// composition, which kalvorin-host's proposals share.
#include "inspect/FieldTest.h"

namespace kalvorin::config {

using inspect::Refusal;
using inspect::TestKind;

}  // namespace kalvorin::config
