// The extraction engine on an arbitrary table, ROM, range, mode and brackets,
// against the literal run: any difference is a crash.
//
// Input: see engine_input.h.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "base/app_error.h"
#include "engine_input.h"
#include "extract/engine.h"
#include "extract/literal_engine.h"
#include "reused_table.h"
#include "table/loader.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace romscriber;
  const auto input = fuzzing::CutEngineInput(data, size);
  if (!input) return 0;
  const std::string& tableBytes = input->Table;
  const std::string& rom = input->Rom;

  Table& table = fuzzing::ReusedTable();
  try {
    LoadTable(tableBytes, table);
  } catch (const AppError&) {
    // A full list: the rows loaded before it are used as they are.
  }
  const auto romSize = static_cast<std::int64_t>(rom.size());
  RunSettings settings;
  settings.Mode = (data[0] & 1) ? RunMode::kBlock : RunMode::kFree;
  settings.LeftBracket = std::string(1, "{[(</\\~"[data[1] % 7]);
  settings.RightBracket = std::string(1, "}])>/\\~"[data[2] % 7]);
  const char* digits = "0123456789ABCDEFabcdef";
  settings.Indicator = std::string{digits[data[3] % 22], digits[(data[7] >> 3) % 22]};
  settings.StartOffset = data[4] % romSize;
  settings.EndOffset =
      std::min<std::int64_t>(romSize, settings.StartOffset + 1 + (data[5] | (data[6] << 8)));
  const int stopAt = data[7] % 8;  // 0: no stop

  if (fuzzing::RecordRun(RunExtraction, table, settings, rom, stopAt) !=
      fuzzing::RecordRun(testing::LiteralRun, table, settings, rom, stopAt))
    std::abort();
  return 0;
}
