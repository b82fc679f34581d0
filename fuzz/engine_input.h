// What the two engine fuzz targets share: how they cut their input (8 bytes
// of settings, 2 bytes of table length, little-endian, cut to what follows,
// the table file, then the ROM, at most 512 bytes of it), and how they record
// a run.
//
// The literal runs are slow by design: some 4 microseconds a position in
// the instrumented build, most of it a search of all 256 single-byte slots.
// ROMs were cut at 8 KiB, and the few long ones the fuzzer kept took most of
// the time: at 512 bytes the engine target runs about twice as many inputs a
// second, and a long script (65,000 characters) is still within reach of
// table texts of 127 bytes.
#pragma once

#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>

#include "base/app_error.h"
#include "extract/engine.h"
#include "extract/run_fixtures.h"

namespace romscriber::fuzzing {

inline constexpr std::size_t kMaxRom = 512;

struct EngineInput {
  const std::uint8_t* Settings;  // 8 bytes
  std::string Table;
  std::string Rom;  // never empty
};

inline std::optional<EngineInput> CutEngineInput(const std::uint8_t* data, std::size_t size) {
  if (size < 10) return std::nullopt;
  const std::size_t tableLength = std::min<std::size_t>(size - 10, data[8] | (data[9] << 8));
  EngineInput input{data, std::string(reinterpret_cast<const char*>(data) + 10, tableLength),
                    std::string(reinterpret_cast<const char*>(data) + 10 + tableLength,
                                size - 10 - tableLength)};
  if (input.Rom.empty()) return std::nullopt;
  if (input.Rom.size() > kMaxRom) input.Rom.resize(kMaxRom);
  return input;
}

// A host that keeps the last progress text only: the literal runs show one
// at every position, and RecordingHost keeping them all took a tenth of an
// execution.
class LastProgressHost : public RunHost {
 public:
  void ServiceEvents() override {}
  void ShowProgress(const std::string& text) override { Last = text; }
  std::string Last;
};

// One run as testing::RecordRun records it (scripts, result or error, last
// progress; a stop after the `stopAtWrite`-th script, none for 0), through
// LastProgressHost.
template <class RunFn, class TableType>
testing::RunOutcome RecordRun(RunFn run, const TableType& table, const RunSettings& settings,
                              const std::string& rom, int stopAtWrite) {
  std::atomic<bool> stop{false};
  testing::CountingSource source(rom);
  testing::RecordingSink sink;
  sink.OnWrite = [&](std::size_t n) {
    if (static_cast<int>(n) == stopAtWrite) stop = true;
  };
  LastProgressHost host;
  RunHooks hooks{source, sink, host, stop};
  testing::RunOutcome out;
  try {
    out.Result = run(table, settings, hooks);
  } catch (const AppError& e) {
    out.ErrorNumber = e.Number();
  }
  out.Scripts = std::move(sink.Scripts);
  out.LastProgress = std::move(host.Last);
  return out;
}

}  // namespace romscriber::fuzzing
