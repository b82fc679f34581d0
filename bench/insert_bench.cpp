// Insertion run: a generated 4 MiB LoROM project whose 65,536 three-byte
// pointers reach 65,536 strings (about 2 MiB of text) through an extended
// table of 10,000 entries is dumped, every string gets a new translation
// (another string's text, so the sizes stay alike), and the whole is inserted
// as `romscriber-insert` does it: project, ROM and table read, strings
// dumped, TSV read, texts encoded, laid out, pointers rewritten, new ROM
// written. Prints the time of each step and the peak memory, and exits 1
// when a translation does not read back or the whole takes 0.5 s or more.
//
//   romscriber_insert_bench [--runs N]     (default 3; TMPDIR picks the folder)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "base/file_io.h"
#include "bench_folder.h"
#include "bench_memory.h"
#include "extract/engine.h"
#include "insert_bench_project.h"
#include "session/session.h"

namespace romscriber::bench {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr std::int64_t kRomSize = kInsertRomSize;
constexpr int kStrings = kInsertStrings;
constexpr std::int64_t kPointers = kInsertPointers;

double Seconds(Clock::duration d) { return std::chrono::duration<double>(d).count(); }

int Run(int runs) {
  const TempFolder temp("romscriber-insert-bench");
  const fs::path& folder = temp.Path();
  WriteInsertBenchProject(folder);
  // Translations: each string gets the text of another, so sizes stay alike.
  WriteTranslatedScripts(folder / "game.toml", folder / "s");
  const std::int64_t idleKiB = StatusKiB("VmHWM:");

  int status = 0;
  for (int run = 0; run < runs; ++run) {
    const auto t0 = Clock::now();
    Session session = Session::Open(folder / "game.toml", {});
    const auto t1 = Clock::now();
    session.ReadScripts(folder / "s", true);
    const auto t2 = Clock::now();
    const InsertOutcome insertion = session.Insert().Outcome;
    const auto t3 = Clock::now();
    if (!insertion.Refusals.empty()) {
      std::printf("refused: %s\n", DescribeRefusals(insertion.Refusals).c_str());
      return 1;
    }
    WriteFileWhole(folder / "new.sfc", {std::string_view(reinterpret_cast<const char*>(insertion.Rom.data()), insertion.Rom.size())});
    const auto t4 = Clock::now();
    const double total = Seconds(t4 - t0);
    std::printf("run %d: %.3f s in all (open and dump %.3f, read TSV %.3f, insert %.3f, write %.3f); "
                "%lld strings changed, %.2f MiB of text; %.0f strings/s\n",
                run + 1, total, Seconds(t1 - t0), Seconds(t2 - t1), Seconds(t3 - t2),
                Seconds(t4 - t3), static_cast<long long>(insertion.Blocks[0].Changed),
                static_cast<double>(insertion.Blocks[0].Used) / (1 << 20), kStrings / total);
    if (total >= 0.5) status = 1;
    if (run == 0) {
      // Every translation reads back through its rewritten pointer.
      const CompiledTable& t = session.Blocks()[0].Table->Table;
      const std::vector<StringRecord>& strings = session.Blocks()[0].Strings;
      for (std::size_t i = 0; i < strings.size(); i += 97) {
        std::int64_t p = kPointers + 3 * static_cast<std::int64_t>(i);
        const std::uint32_t address = insertion.Rom[p] | insertion.Rom[p + 1] << 8 | insertion.Rom[p + 2] << 16;
        const std::int64_t offset = ((address & 0x7F0000) >> 1) + (address & 0x7FFF);
        const DecodedString s = DecodeString(t, insertion.Rom, offset, {kRomSize - 1, kRomSize, true});
        if (s.Text != strings[i].Translation) {
          std::printf("string %zu does not read back\n", i);
          status = 1;
        }
      }
    }
  }
  std::printf("peak memory: %.1f MiB (%.1f MiB before the runs; the ROM is %.1f MiB); target under 0.5 s: %s\n",
              StatusKiB("VmHWM:") / 1024.0, idleKiB / 1024.0, kRomSize / 1048576.0, status == 0 ? "met" : "NOT MET");
  return status;
}

}  // namespace
}  // namespace romscriber::bench

int main(int argc, char** argv) {
  int runs = 3;
  if (argc == 3 && std::strcmp(argv[1], "--runs") == 0) runs = std::max(1, std::atoi(argv[2]));
  return romscriber::bench::Run(runs);
}
