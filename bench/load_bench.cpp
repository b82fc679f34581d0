// Load run: the engine over a generated ROM file of 512 MiB, read through
// FileByteSource, writing real script files through FolderScriptSink, once in
// free mode with an empty table and once in block mode with a small table.
// For each it prints the time, MiB/s, the peak memory beyond the program's
// footprint just before the run, and the script files written against those
// the ROM's bytes imply by arithmetic. Exits 1 when they differ or when the
// peak passes 64 MiB beyond idle.
//
//   romscriber_load_bench [--size-mib N]      (default 512; TMPDIR picks the folder)
#include <sys/resource.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

#include "base/app_error.h"
#include "bench_folder.h"
#include "bench_memory.h"
#include "extract/engine.h"
#include "extract/rom_source.h"
#include "extract/script_files.h"
#include "table/loader.h"

namespace romscriber::bench {
namespace {

constexpr std::int64_t kMiB = 1 << 20;
constexpr double kPeakTargetMiB = 64.0;

// The ROM: kHeader zero bytes, then units of kUnit bytes made of 8-byte
// groups. The first group of a unit is a block with text (indicator, 41 42
// 43, end byte); every other group is an empty block (indicator, end byte),
// which the run opens and closes without writing anything. The header makes
// the ROM end three bytes into a unit, inside a block with no end byte.
constexpr std::int64_t kHeader = 1021;
constexpr std::int64_t kUnit = 1024;
constexpr std::int64_t kGroup = 8;
constexpr std::array<std::uint8_t, 5> kTextBlock = {0xFE, 0x41, 0x42, 0x43, 0xFF};
constexpr std::array<std::uint8_t, 2> kEmptyBlock = {0xFE, 0xFF};
constexpr char kIndicator[] = "FE";
// 4243 is decoded before 42 alone, so the text block reads "Abc".
constexpr char kBlockTable[] = "41=A\r\n42=B\r\n43=C\r\n4243=bc\r\n/FF\r\n";

std::uint8_t RomByte(std::int64_t pos) {
  if (pos < kHeader) return 0;
  const std::int64_t inUnit = (pos - kHeader) % kUnit;
  const std::int64_t inGroup = inUnit % kGroup;
  if (inUnit < kGroup) {
    return inGroup < static_cast<std::int64_t>(kTextBlock.size()) ? kTextBlock[inGroup] : 0;
  }
  return inGroup < static_cast<std::int64_t>(kEmptyBlock.size()) ? kEmptyBlock[inGroup] : 0;
}

void WriteRom(const std::filesystem::path& path, std::int64_t size) {
  std::FILE* file = std::fopen(path.c_str(), "wb");
  if (!file) throw std::runtime_error("cannot create " + path.string());
  std::vector<std::uint8_t> chunk(static_cast<std::size_t>(kMiB));
  for (std::int64_t at = 0; at < size; at += kMiB) {
    const auto length = static_cast<std::size_t>(std::min(kMiB, size - at));
    for (std::size_t i = 0; i < length; ++i)
      chunk[i] = RomByte(at + static_cast<std::int64_t>(i));
    if (std::fwrite(chunk.data(), 1, length, file) != length) {
      std::fclose(file);
      throw std::runtime_error("cannot write " + path.string());
    }
  }
  if (std::fclose(file) != 0) throw std::runtime_error("cannot write " + path.string());
}

// --- Memory -------------------------------------------------------------

std::int64_t MaxRssKiB() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return usage.ru_maxrss;
}

// --- The scripts a run should write -------------------------------------

// One script the ROM's bytes imply: the offset that names it, and its text.
struct ImpliedScript {
  std::int64_t Name = 0;
  std::int64_t TextLength = 0;
};

struct Implied {
  std::int64_t Count = 0;
  std::function<ImpliedScript(std::int64_t)> At;
  std::function<std::string(std::int64_t)> Text;  // the text of script k, for spot checks
};

// Free mode, empty table: every byte is one bracketed item of 4 characters,
// and a script closes at the item that takes it past kMaxScriptText.
Implied FreeModeScripts(std::int64_t romSize) {
  constexpr std::int64_t kItem = 4;  // "<" two digits ">"
  const std::int64_t perScript = static_cast<std::int64_t>(kMaxScriptText) / kItem + 1;
  Implied implied;
  implied.Count = (romSize + perScript - 1) / perScript;
  implied.At = [=](std::int64_t k) {
    const std::int64_t first = k * perScript;
    return ImpliedScript{first, std::min(perScript, romSize - first) * kItem};
  };
  implied.Text = [=](std::int64_t k) {
    const std::int64_t first = k * perScript;
    const std::int64_t last = std::min(romSize, first + perScript);
    std::string text;
    for (std::int64_t pos = first; pos < last; ++pos) {
      char item[8];
      std::snprintf(item, sizeof item, "<%02X>", RomByte(pos));
      text += item;
    }
    return text;
  };
  return implied;
}

// Block mode: one script per unit, named after the byte that follows its
// indicator. The unit cut off by the end of the ROM gives a last script
// without [END] when its block has text, or a whole one when it has the end
// byte; the empty blocks give none.
Implied BlockModeScripts(std::int64_t romSize) {
  const std::string whole = "Abc<END>";
  const std::int64_t units = (romSize - kHeader) / kUnit;
  const std::int64_t rest = (romSize - kHeader) % kUnit;
  const auto textBlock = static_cast<std::int64_t>(kTextBlock.size());
  // A cut block: its indicator and 41 give "A", 41 42 give "AB" (the pair
  // 4243 needs a byte past the end), 41 42 43 give "Abc".
  constexpr std::array<const char*, 5> kCutTexts = {"", "", "A", "AB", "Abc"};
  const std::string lastText =
      rest >= textBlock ? whole : kCutTexts[static_cast<std::size_t>(rest)];
  Implied implied;
  implied.Count = units + (lastText.empty() ? 0 : 1);
  const auto text = [=](std::int64_t k) { return k < units ? whole : lastText; };
  implied.At = [=](std::int64_t k) {
    return ImpliedScript{kHeader + k * kUnit + 1, static_cast<std::int64_t>(text(k).size())};
  };
  implied.Text = text;
  return implied;
}

// --- One case -----------------------------------------------------------

class QuietHost : public RunHost {
 public:
  void ServiceEvents() override { ++Calls; }
  void ShowProgress(const std::string& text) override { Last = text; }
  std::int64_t Calls = 0;
  std::string Last;
};

struct CaseFigures {
  double Seconds = 0;
  std::int64_t IdleKiB = 0;
  std::int64_t PeakKiB = 0;
  bool PeakReset = false;
  RunResult Result;
  std::string LastProgress;
};

CaseFigures RunCase(const Table& table, const RunSettings& settings,
                    const std::filesystem::path& romPath,
                    const std::filesystem::path& programFolder) {
  std::filesystem::create_directory(programFolder);
  EnsureScriptsFolder(programFolder);
  CaseFigures figures;
  figures.PeakReset = ResetPeak();
  figures.IdleKiB = StatusKiB("VmRSS:");
  const auto start = std::chrono::steady_clock::now();
  {
    FileByteSource rom(romPath);
    FolderScriptSink sink(ScriptsFolder(programFolder));
    QuietHost host;
    std::atomic<bool> stop{false};
    RunHooks hooks{rom, sink, host, stop};
    figures.Result = RunExtraction(table, settings, hooks);
    figures.LastProgress = host.Last;
  }
  figures.Seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  figures.PeakKiB = figures.PeakReset ? StatusKiB("VmHWM:") : MaxRssKiB();
  return figures;
}

std::string ReadFile(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

// Compares the Scripts folder with the implied scripts: the number of files,
// each implied name with its size, and the whole text of a few of them.
// Prints what it finds; true when everything agrees.
bool CheckScripts(const std::filesystem::path& folder, const Implied& implied) {
  std::int64_t scriptFiles = 0;
  std::int64_t otherFiles = 0;
  for (const auto& entry : std::filesystem::directory_iterator(folder)) {
    if (entry.path().extension() == ".txt") {
      ++scriptFiles;
    } else {
      ++otherFiles;
    }
  }
  const bool countsMatch = scriptFiles == implied.Count && otherFiles == 0;
  std::printf("  files       %lld written, %lld implied by the bytes: %s", (long long)scriptFiles,
              (long long)implied.Count, countsMatch ? "match" : "MISMATCH");
  if (otherFiles != 0) std::printf(" (%lld other files)", (long long)otherFiles);
  std::printf("\n");

  std::int64_t wrong = 0;
  std::string firstWrong;
  for (std::int64_t k = 0; k < implied.Count; ++k) {
    const ImpliedScript script = implied.At(k);
    const std::filesystem::path path = folder / (std::to_string(script.Name) + ".txt");
    std::error_code ec;
    const auto size = std::filesystem::file_size(path, ec);
    if (ec || static_cast<std::int64_t>(size) != script.TextLength + 2) {
      if (wrong++ == 0) firstWrong = path.filename().string();
    }
  }
  for (const std::int64_t k : {std::int64_t{0}, implied.Count / 2, implied.Count - 1}) {
    if (k < 0) continue;
    const std::filesystem::path path = folder / (std::to_string(implied.At(k).Name) + ".txt");
    if (ReadFile(path) != implied.Text(k) + "\r\n") {
      if (wrong++ == 0) firstWrong = path.filename().string() + " (text)";
    }
  }
  if (wrong == 0) {
    std::printf("  check       every implied name with its size; first, middle, last text equal\n");
  } else {
    std::printf("  check       %lld wrong, first %s\n", (long long)wrong, firstWrong.c_str());
  }
  return countsMatch && wrong == 0;
}

bool Report(const char* title, const CaseFigures& figures, std::int64_t romSize,
            const std::filesystem::path& scripts, const Implied& implied) {
  const double mib = static_cast<double>(romSize) / kMiB;
  const double peakBeyond = static_cast<double>(figures.PeakKiB - figures.IdleKiB) / 1024.0;
  std::printf("%s\n", title);
  std::printf("  time        %.3f s\n", figures.Seconds);
  std::printf("  speed       %.1f MiB/s, %.0f script files/s\n", mib / figures.Seconds,
              static_cast<double>(figures.Result.ScriptCount) / figures.Seconds);
  std::printf("  memory      peak %.2f MiB beyond idle (idle %.2f MiB, peak %.2f MiB%s): %s\n",
              peakBeyond, figures.IdleKiB / 1024.0, figures.PeakKiB / 1024.0,
              figures.PeakReset ? "" : ", peak of the whole program",
              peakBeyond < kPeakTargetMiB ? "under 64 MiB" : "OVER 64 MiB");
  std::printf("  run         %lld scripts counted by the run, last progress \"%s\"\n",
              (long long)figures.Result.ScriptCount, figures.LastProgress.c_str());
  const bool scriptsMatch = CheckScripts(scripts, implied);
  return scriptsMatch && figures.Result.ScriptCount == implied.Count && peakBeyond < kPeakTargetMiB;
}

int Run(std::int64_t sizeMiB) {
  const std::int64_t romSize = sizeMiB * kMiB;
  TempFolder temp("romscriber-load");
  const std::filesystem::path romPath = temp.Path() / "load.rom";
  const auto start = std::chrono::steady_clock::now();
  WriteRom(romPath, romSize);
  const double seconds =
      std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  std::printf(
      "ROM: %lld MiB (%lld bytes) in %s, generated in %.1f s, program peak so far %.2f MiB\n",
      (long long)sizeMiB, (long long)romSize, temp.Path().c_str(), seconds, MaxRssKiB() / 1024.0);

  RunSettings settings;
  settings.StartOffset = 0;
  settings.EndOffset = romSize - 1;
  bool passed = true;

  {
    const Table empty;
    settings.Mode = RunMode::kFree;
    const std::filesystem::path folder = temp.Path() / "free";
    const CaseFigures figures = RunCase(empty, settings, romPath, folder);
    passed &= Report("free mode, empty table (every byte bracketed)", figures, romSize,
                     ScriptsFolder(folder), FreeModeScripts(romSize));
    std::filesystem::remove_all(folder);
  }
  {
    Table table;
    LoadTable(kBlockTable, table);
    settings.Mode = RunMode::kBlock;
    settings.Indicator = kIndicator;
    const std::filesystem::path folder = temp.Path() / "block";
    const CaseFigures figures = RunCase(table, settings, romPath, folder);
    passed &= Report("block mode, indicator FE every 8 bytes, end entry /FF", figures, romSize,
                     ScriptsFolder(folder), BlockModeScripts(romSize));
    std::filesystem::remove_all(folder);
  }
  std::printf("%s\n", passed ? "PASS" : "FAIL");
  return passed ? 0 : 1;
}

}  // namespace
}  // namespace romscriber::bench

int main(int argc, char** argv) {
  std::int64_t sizeMiB = 512;
  for (int i = 1; i < argc; ++i) {
    const std::string arg = argv[i];
    const char* value = nullptr;
    if (arg == "--size-mib" && i + 1 < argc) {
      value = argv[++i];
    } else if (arg.rfind("--size-mib=", 0) == 0) {
      value = argv[i] + std::strlen("--size-mib=");
    }
    char* end = nullptr;
    const long long parsed = value ? std::strtoll(value, &end, 10) : 0;
    if (!value || *end != '\0' || parsed < 1 || parsed > 65536) {
      std::fprintf(stderr, "usage: %s [--size-mib N]   (1 to 65536, default 512)\n", argv[0]);
      return 2;
    }
    sizeMiB = parsed;
  }
  try {
    return romscriber::bench::Run(sizeMiB);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "load run failed: %s\n", e.what());
    return 1;
  }
}
