// The engine through an extended table loaded from arbitrary bytes, on an
// arbitrary ROM, range and mode, against the literal longest-match run: any
// difference is a crash.
//
// Input: see engine_input.h.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "base/app_error.h"
#include "engine_input.h"
#include "extract/literal_engine.h"
#include "hex/hex.h"
#include "table/extended_loader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace romscriber;
  const auto input = fuzzing::CutEngineInput(data, size);
  if (!input) return 0;
  const std::string& tableBytes = input->Table;
  const std::string& rom = input->Rom;

  EntryList table;
  try {
    table = LoadExtendedTable(tableBytes, "", "fuzz.tbl", [](const std::string&) {});
  } catch (const AppError&) {
    return 0;  // not valid UTF-8: refused before any run
  }
  const auto romSize = static_cast<std::int64_t>(rom.size());
  RunSettings settings;
  settings.Mode = (data[0] & 1) ? RunMode::kBlock : RunMode::kFree;
  AppendByteHex(settings.Indicator, data[3]);
  settings.StartOffset = data[4] % romSize;
  settings.EndOffset =
      std::min<std::int64_t>(romSize, settings.StartOffset + 1 + (data[5] | (data[6] << 8)));
  const int stopAt = data[7] % 8;  // 0: no stop

  if (fuzzing::RecordRun(testing::EngineExtendedRun, table, settings, rom, stopAt) !=
      fuzzing::RecordRun(testing::LiteralExtendedRun, table, settings, rom, stopAt))
    std::abort();
  return 0;
}
