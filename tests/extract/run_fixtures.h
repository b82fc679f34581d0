// Test doubles for the extraction run's hooks and small helpers shared by the
// engine tests.
#pragma once

#include <atomic>
#include <functional>
#include <ostream>
#include <string>
#include <utility>
#include <vector>

#include "base/app_error.h"
#include "extract/engine.h"
#include "extract/rom_source.h"
#include "table/loader.h"
#include "table/table.h"

namespace romscriber::testing {

// A table from inline table-file text ("\n" line ends are read as CR LF).
inline Table TableFrom(const std::string& text) {
  Table table;
  LoadTable(text, table);
  return table;
}

struct WrittenScript {
  std::string Name;
  std::string Text;
  bool operator==(const WrittenScript&) const = default;
};

inline std::ostream& operator<<(std::ostream& out, const WrittenScript& s) {
  return out << s.Name << ".txt: \"" << s.Text << "\"";
}

// Keeps every script in order; `onWrite` may act after each one (stop, fail).
class RecordingSink : public ScriptSink {
 public:
  void WriteScript(std::string_view name, std::string_view text) override {
    if (FailAt >= 0 && static_cast<int>(Scripts.size()) == FailAt) throw AppError(kErrDiskFull);
    Scripts.push_back({std::string(name), std::string(text)});
    if (OnWrite) OnWrite(Scripts.size());
  }

  std::vector<WrittenScript> Scripts;
  std::function<void(std::size_t)> OnWrite;
  int FailAt = -1;  // index of the write that fails, or -1
};

// Counts servicing calls, keeps the progress texts shown, and can request a
// stop at a given servicing call.
class RecordingHost : public RunHost {
 public:
  explicit RecordingHost(std::atomic<bool>& stop) : m_stop(stop) {}

  void ServiceEvents() override {
    ++ServiceCalls;
    if (StopAtService > 0 && ServiceCalls == StopAtService) m_stop = true;
  }
  void ShowProgress(const std::string& text) override { Progress.push_back(text); }

  std::string LastProgress() const { return Progress.empty() ? std::string() : Progress.back(); }

  long ServiceCalls = 0;
  long StopAtService = 0;
  std::vector<std::string> Progress;

 private:
  std::atomic<bool>& m_stop;
};

// A ROM in memory that counts its reads. It does not offer its memory, so
// the run reads it in chunks as it reads a file.
class CountingSource : public MemoryByteSource {
 public:
  using MemoryByteSource::MemoryByteSource;
  void ReadAt(std::int64_t offset, std::span<std::uint8_t> out) override {
    ++Reads;
    MemoryByteSource::ReadAt(offset, out);
  }
  std::span<const std::uint8_t> Whole() const override { return {}; }
  long Reads = 0;
};

// Everything one run needs, wired together.
struct RunBench {
  explicit RunBench(std::string rom) : Rom(std::move(rom)), Host(Stop) {}

  RunHooks Hooks() { return RunHooks{Rom, Sink, Host, Stop}; }

  std::atomic<bool> Stop{false};
  CountingSource Rom;
  RecordingSink Sink;
  RecordingHost Host;
};

// What one run did: its scripts, its result or error, its last progress.
struct RunOutcome {
  std::vector<WrittenScript> Scripts;
  RunResult Result;
  int ErrorNumber = 0;
  std::string LastProgress;
  bool operator==(const RunOutcome&) const = default;
};

// Runs `run` (the engine or the literal run) over `rom`, stopping after the
// `stopAtWrite`-th script and failing the `failAtWrite`-th write (0-based),
// when these are given.
template <class RunFn, class TableType>
RunOutcome RecordRun(RunFn run, const TableType& table, const RunSettings& settings,
                     const std::string& rom, int stopAtWrite = -1, int failAtWrite = -1) {
  RunBench bench(rom);
  bench.Sink.FailAt = failAtWrite;
  bench.Sink.OnWrite = [&](std::size_t n) {
    if (static_cast<int>(n) == stopAtWrite) bench.Stop = true;
  };
  RunHooks hooks = bench.Hooks();
  RunOutcome out;
  try {
    out.Result = run(table, settings, hooks);
  } catch (const AppError& e) {
    out.ErrorNumber = e.Number();
  }
  out.Scripts = bench.Sink.Scripts;
  out.LastProgress = bench.Host.LastProgress();
  return out;
}

inline RunSettings Settings(std::int64_t start, std::int64_t end, RunMode mode = RunMode::kFree,
                            std::string indicator = {}) {
  RunSettings s;
  s.StartOffset = start;
  s.EndOffset = end;
  s.Mode = mode;
  s.LeftBracket = "[";
  s.RightBracket = "]";
  s.Indicator = std::move(indicator);
  return s;
}

}  // namespace romscriber::testing
