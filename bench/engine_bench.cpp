// Extraction speed of the engine alone (scripts go to an in-memory sink that
// only counts them):
//   - free and block mode over a 4 MiB ROM of random bytes with the full
//     classic table (every position a fresh lookup in a cold table: the worst
//     case), and the literal run on a smaller ROM for comparison;
//   - free mode over 32 MiB ROMs laid out as game text (bench_tables.h), with
//     the full classic table and with the 10,000-entry extended table whose
//     keys run up to 22 bytes; the same ROMs the end-to-end dump bench uses.
// Prints MiB/s for each (on CPU time) and the speed ratio to the literal run.
#include <benchmark/benchmark.h>

#include <atomic>
#include <cstdio>
#include <map>

#include "bench_tables.h"
#include "extract/engine.h"
#include "extract/rom_source.h"
#include "table/compiled.h"
#include "table/extended_loader.h"
#ifdef ROMSCRIBER_HAVE_ORACLE
#include "extract/literal_engine.h"
#endif

namespace romscriber::bench {
namespace {

class MemorySink : public ScriptSink {
 public:
  void WriteScript(std::string_view name, std::string_view text) override {
    Bytes += name.size() + text.size() + 2;
    ++Count;
  }
  std::size_t Bytes = 0;
  std::size_t Count = 0;
};

class QuietHost : public RunHost {
 public:
  void ServiceEvents() override {}
  void ShowProgress(const std::string& text) override { benchmark::DoNotOptimize(text.data()); }
};

using RunFn = RunResult (*)(const Table&, const RunSettings&, RunHooks&);

void RunOver(benchmark::State& state, RunFn run, std::size_t romSize, RunMode mode) {
  static const Table table = FullTable();
  const std::string rom = RandomRom(romSize);
  MemoryByteSource source(rom);
  RunSettings settings;
  settings.StartOffset = 0;
  settings.EndOffset = static_cast<std::int64_t>(rom.size()) - 1;
  settings.Mode = mode;
  settings.Indicator = "FF";
  std::size_t scripts = 0;
  for (auto _ : state) {
    MemorySink sink;
    QuietHost host;
    std::atomic<bool> stop{false};
    RunHooks hooks{source, sink, host, stop};
    benchmark::DoNotOptimize(run(table, settings, hooks));
    scripts = sink.Count;
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * rom.size()));
  state.counters["scripts"] = static_cast<double>(scripts);
}

void BM_FreeMode4MiB(benchmark::State& state) {
  RunOver(state, RunExtraction, 4 << 20, RunMode::kFree);
}
void BM_BlockMode4MiB(benchmark::State& state) {
  RunOver(state, RunExtraction, 4 << 20, RunMode::kBlock);
}
BENCHMARK(BM_FreeMode4MiB)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_BlockMode4MiB)->Unit(benchmark::kMillisecond);

// The compiled table and the game-text ROM of one case, made once.
struct TextCase {
  CompiledTable Table;
  std::string Rom;
};

const TextCase& ClassicText() {
  static const TextCase c = [] {
    const Table table = FullTable();
    RunSettings settings;
    return TextCase{CompiledTable::FromClassic(table, ClassicRunStyle(settings)),
                    GameTextRom(32 << 20, ClassicAlphabet(table))};
  }();
  return c;
}

const TextCase& ExtendedText() {
  static const TextCase c = [] {
    TextAlphabet alphabet;
    const std::string file = ExtendedBenchTable(alphabet);
    DecodeStyle style;  // as range dumps with an extended table show raw bytes
    style.ClassicMarkers = false;
    return TextCase{
        CompiledTable::Compile(LoadExtendedTable(file, "", "bench.tbl", {}), style),
        GameTextRom(32 << 20, alphabet)};
  }();
  return c;
}

void RunText(benchmark::State& state, const TextCase& c) {
  MemoryByteSource source(c.Rom);
  RunSettings settings;
  settings.EndOffset = static_cast<std::int64_t>(c.Rom.size()) - 1;
  std::size_t scripts = 0;
  for (auto _ : state) {
    MemorySink sink;
    QuietHost host;
    std::atomic<bool> stop{false};
    RunHooks hooks{source, sink, host, stop};
    benchmark::DoNotOptimize(RunCompiled(c.Table, settings, hooks));
    scripts = sink.Count;
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * c.Rom.size()));
  state.counters["scripts"] = static_cast<double>(scripts);
}

void BM_ClassicText32MiB(benchmark::State& state) {
  RunText(state, ClassicText());
}
void BM_ExtendedText32MiB(benchmark::State& state) {
  RunText(state, ExtendedText());
}
BENCHMARK(BM_ClassicText32MiB)->Unit(benchmark::kMillisecond);
BENCHMARK(BM_ExtendedText32MiB)->Unit(benchmark::kMillisecond);

#ifdef ROMSCRIBER_HAVE_ORACLE
void BM_LiteralFreeMode32KiB(benchmark::State& state) {
  RunOver(state, testing::LiteralRun, 32 << 10, RunMode::kFree);
}
BENCHMARK(BM_LiteralFreeMode32KiB)->Unit(benchmark::kMillisecond)->Iterations(2);
#endif

// Remembers bytes per second of each benchmark to print the ratio at the end.
class RatioReporter : public benchmark::ConsoleReporter {
 public:
  void ReportRuns(const std::vector<Run>& runs) override {
    ConsoleReporter::ReportRuns(runs);
    for (const Run& run : runs) {
      const auto it = run.counters.find("bytes_per_second");
      if (it != run.counters.end()) Speeds[run.benchmark_name()] = it->second;
    }
  }
  std::map<std::string, double> Speeds;
};

}  // namespace
}  // namespace romscriber::bench

int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  romscriber::bench::RatioReporter reporter;
  benchmark::RunSpecifiedBenchmarks(&reporter);
  const double mib = 1024.0 * 1024.0;
  for (const auto& [name, speed] : reporter.Speeds)
    std::printf("%-40s %10.2f MiB/s\n", name.c_str(), speed / mib);
  const auto fast = reporter.Speeds.find("BM_FreeMode4MiB");
  const auto literal = reporter.Speeds.find("BM_LiteralFreeMode32KiB/iterations:2");
  if (fast != reporter.Speeds.end() && literal != reporter.Speeds.end() && literal->second > 0) {
    std::printf("free mode: engine / literal run = %.0f times faster\n",
                fast->second / literal->second);
  }
  benchmark::Shutdown();
  return 0;
}
namespace romscriber::bench {
namespace {
void BM_SinglesOnly(benchmark::State& state) {
  Table table = FullTable();
  for (auto& c : table.DoubleCodes)
    c.clear();
  for (auto& c : table.TripleCodes)
    c.clear();
  const std::string rom = RandomRom(4 << 20);
  MemoryByteSource source(rom);
  RunSettings settings;
  settings.EndOffset = static_cast<std::int64_t>(rom.size()) - 1;
  for (auto _ : state) {
    MemorySink sink;
    QuietHost host;
    std::atomic<bool> stop{false};
    RunHooks hooks{source, sink, host, stop};
    benchmark::DoNotOptimize(RunExtraction(table, settings, hooks));
  }
  state.SetBytesProcessed(static_cast<std::int64_t>(state.iterations() * rom.size()));
}
BENCHMARK(BM_SinglesOnly)->Unit(benchmark::kMillisecond);
}  // namespace
}  // namespace romscriber::bench
