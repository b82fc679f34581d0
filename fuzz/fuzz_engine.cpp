// The extraction engine on an arbitrary table, ROM, range, mode and brackets,
// against the literal run: any difference is a crash.
//
// Input: 8 bytes of settings, 2 bytes of table length, the table file, the ROM.
#include <algorithm>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "base/app_error.h"
#include "extract/engine.h"
#include "extract/literal_engine.h"
#include "extract/rom_source.h"
#include "table/loader.h"

namespace {

using namespace romscriber;

struct Written {
  std::vector<std::pair<std::string, std::string>> Scripts;
  std::string Progress;
  RunResult Result;
  int Error = 0;
};

class Sink : public ScriptSink {
 public:
  Sink(std::atomic<bool>& stop, int stopAt) : m_stop(stop), m_stopAt(stopAt) {}
  void WriteScript(std::string_view name, std::string_view text) override {
    Scripts.emplace_back(name, text);
    if (static_cast<int>(Scripts.size()) == m_stopAt) m_stop = true;
  }
  std::vector<std::pair<std::string, std::string>> Scripts;

 private:
  std::atomic<bool>& m_stop;
  int m_stopAt;
};

class Host : public RunHost {
 public:
  void ServiceEvents() override {}
  void ShowProgress(const std::string& text) override { Last = text; }
  std::string Last;
};

template <class F>
Written RunWith(F run, const Table& table, const RunSettings& settings, const std::string& rom,
                int stopAt) {
  std::atomic<bool> stop{false};
  MemoryByteSource source(rom);
  Sink sink(stop, stopAt);
  Host host;
  RunHooks hooks{source, sink, host, stop};
  Written w;
  try {
    w.Result = run(table, settings, hooks);
  } catch (const AppError& e) {
    w.Error = e.Number();
  }
  w.Scripts = std::move(sink.Scripts);
  w.Progress = host.Last;
  return w;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 10) return 0;
  const std::size_t tableLength = std::min<std::size_t>(size - 10, data[8] | (data[9] << 8));
  const std::string tableBytes(reinterpret_cast<const char*>(data) + 10, tableLength);
  std::string rom(reinterpret_cast<const char*>(data) + 10 + tableLength, size - 10 - tableLength);
  if (rom.empty()) return 0;
  if (rom.size() > 8192) rom.resize(8192);  // the literal run is slow by design

  Table table;
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

  const Written fast = RunWith(RunExtraction, table, settings, rom, stopAt);
  const Written literal = RunWith(testing::LiteralRun, table, settings, rom, stopAt);
  if (fast.Scripts != literal.Scripts || fast.Progress != literal.Progress ||
      fast.Error != literal.Error || fast.Result.ScriptCount != literal.Result.ScriptCount ||
      fast.Result.Stopped != literal.Result.Stopped) {
    std::abort();
  }
  return 0;
}
