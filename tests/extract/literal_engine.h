// A literal extraction run kept as the test oracle: linear first-match
// searches over the table's lists by key text, one read per position, event
// servicing before every comparison and the progress shown at every examined
// position. Slow by design; the fast engine must give the same scripts.
#pragma once

#include "extract/engine.h"
#include "table/extended_loader.h"

namespace romscriber::testing {

RunResult LiteralRun(const Table& table, const RunSettings& settings, RunHooks& hooks);

}  // namespace romscriber::testing

namespace romscriber::testing {

// A literal run through an extended table: at each position the longest key
// found in a map of the table's keys, tried from the longest length down, one
// read per position, the progress shown at every examined position. Raw
// bytes as <$HH>, line breaks CR LF.
RunResult LiteralExtendedRun(const EntryList& table, const RunSettings& settings,
                             RunHooks& hooks);

// The engine through the same extended table, compiled as a range dump does.
RunResult EngineExtendedRun(const EntryList& table, const RunSettings& settings,
                            RunHooks& hooks);

}  // namespace romscriber::testing
