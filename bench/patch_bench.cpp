// Patch sizes and times: the BPS patch (and, beside it, the IPS one) from an
// original ROM to its translation, for two pairs of ROMs:
//   A  the sample project (examples/project/juego.toml) with most dialogue
//      strings translated word by word into English, a third of them longer
//      than their originals (they move to the free region and the pointer
//      table changes), the menus translated, and the README's two edits;
//   B  the insertion bench's 4 MiB project, every string given another
//      string's text (1.4 MiB of changed text).
// For each it prints the patch sizes, the best and median time of making the
// BPS patch, the memory that took beyond what was in use before, and whether
// the patch, applied by the tests' independent applier, gives the new ROM.
// Exits 1 when one does not, or when pair B's patch takes 0.5 s or more.
//
//   romscriber_patch_bench [--runs N] [--write-roms DIR]
//
// --write-roms writes A-original.sfc, A-translated.sfc, B-original.sfc and
// B-translated.sfc into DIR (created when missing), to make patches of the
// same pairs with other tools.
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <filesystem>
#include <fstream>
#include <functional>
#include <span>
#include <stdexcept>
#include <string>
#include <string_view>
#include <vector>

#include "base/file_io.h"
#include "bench_folder.h"
#include "bench_memory.h"
#include "insert/insertion.h"
#include "insert/patch.h"
#include "insert/patch_appliers.h"
#include "insert_bench_project.h"
#include "sample_translation.h"
#include "session/session.h"

namespace romscriber::bench {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using Bytes = std::vector<std::uint8_t>;

constexpr double kTargetSeconds = 0.5;

struct RomPair {
  Bytes Original;
  Bytes Translated;
  std::int64_t Changed = 0;  // strings whose text changed
};

// The one place that drives the insertion: every block of the project is
// dumped, `translate` fills in its script, and the scripts are inserted.
RomPair Translate(const fs::path& projectFile, const std::function<void(BlockScript&)>& translate) {
  Session session = Session::Open(projectFile, {});
  TranslateBlocks(session, translate);
  const InsertOutcome insertion = session.Insert().Outcome;
  if (!insertion.Refusals.empty()) throw std::runtime_error(DescribeRefusals(insertion.Refusals));
  const std::span<const std::uint8_t> rom = session.Rom();
  RomPair pair{Bytes(rom.begin(), rom.end()), insertion.Rom, 0};
  for (const BlockReport& report : insertion.Blocks)
    pair.Changed += report.Changed;
  return pair;
}

// --- Measuring -----------------------------------------------------------------

double Milliseconds(Clock::duration d) { return std::chrono::duration<double, std::milli>(d).count(); }

void WriteRom(const fs::path& path, const Bytes& rom) {
  WriteFileWhole(path, {std::string_view(reinterpret_cast<const char*>(rom.data()), rom.size())});
}

// Prints one pair's figures; false when its patch does not give the new ROM.
bool Measure(const char* name, const RomPair& pair, int runs, double* bestMs) {
  std::vector<double> times;
  std::string bps;
  long extraKiB = 0;
  for (int run = 0; run < runs; ++run) {
    ResetPeak();
    const long before = StatusKiB("VmRSS:");
    const auto t0 = Clock::now();
    bps = MakeBps(pair.Original, pair.Translated);
    times.push_back(Milliseconds(Clock::now() - t0));
    extraKiB = std::max(extraKiB, StatusKiB("VmHWM:") - before);
  }
  std::sort(times.begin(), times.end());
  const std::string ips = MakeIps(pair.Original, pair.Translated);
  bool applies = false;
  try {
    applies = testing::ApplyBps(pair.Original, bps) == pair.Translated;
  } catch (const std::exception&) {
  }
  std::size_t differ = std::max(pair.Original.size(), pair.Translated.size()) -
                       std::min(pair.Original.size(), pair.Translated.size());
  for (std::size_t k = 0; k < std::min(pair.Original.size(), pair.Translated.size()); ++k)
    differ += pair.Original[k] != pair.Translated[k];
  std::printf("%s: %.0f KiB ROM, %lld strings changed, %zu bytes differ\n", name,
              pair.Original.size() / 1024.0, static_cast<long long>(pair.Changed), differ);
  std::printf("  BPS %zu bytes (IPS %zu); made in %.1f ms (best of %d; median %.1f ms); "
              "%.1f MiB of memory beyond what was in use; applies: %s\n",
              bps.size(), ips.size(), times.front(), runs, times[times.size() / 2],
              extraKiB / 1024.0, applies ? "yes" : "NO");
  *bestMs = times.front();
  return applies;
}

int Run(int runs, const fs::path& romsFolder) {
  const RomPair a = Translate(ROMSCRIBER_SAMPLE_PROJECT, TranslateSample);

  const RomPair b = [] {
    const TempFolder folder("romscriber-patch-bench");
    return Translate(WriteInsertBenchProject(folder.Path()), GiveOtherStringsTexts);
  }();

  if (!romsFolder.empty()) {
    fs::create_directories(romsFolder);
    WriteRom(romsFolder / "A-original.sfc", a.Original);
    WriteRom(romsFolder / "A-translated.sfc", a.Translated);
    WriteRom(romsFolder / "B-original.sfc", b.Original);
    WriteRom(romsFolder / "B-translated.sfc", b.Translated);
    std::printf("ROMs written to %s\n", romsFolder.string().c_str());
  }

  double ms = 0;
  bool ok = Measure("pair A, the sample project", a, runs, &ms);
  ok = Measure("pair B, the insertion bench's project", b, runs, &ms) && ok;
  const bool fast = ms < kTargetSeconds * 1000;
  std::printf("pair B's patch under %.1f s: %s\n", kTargetSeconds, fast ? "met" : "NOT MET");
  return ok && fast ? 0 : 1;
}

}  // namespace
}  // namespace romscriber::bench

int main(int argc, char** argv) {
  int runs = 5;
  std::filesystem::path roms;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--runs") == 0 && i + 1 < argc) {
      runs = std::max(1, std::atoi(argv[++i]));
    } else if (std::strcmp(argv[i], "--write-roms") == 0 && i + 1 < argc) {
      roms = argv[++i];
    } else {
      std::fprintf(stderr, "usage: %s [--runs N] [--write-roms DIR]\n", argv[0]);
      return 2;
    }
  }
  try {
    return romscriber::bench::Run(runs, roms);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
}
