// A literal extraction run kept as the test oracle: linear first-match
// searches over the table's lists by key text, one read per position, event
// servicing before every comparison and the progress shown at every examined
// position. Slow by design; the fast engine must give the same scripts.
#pragma once

#include "extract/engine.h"

namespace romscriber::testing {

RunResult LiteralRun(const Table& table, const RunSettings& settings, RunHooks& hooks);

}  // namespace romscriber::testing
