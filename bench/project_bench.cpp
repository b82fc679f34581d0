// Project dump run: a generated 4 MiB LoROM project whose 65,536 three-byte
// pointers reach 65,536 strings (about 2 MiB of text) through an extended
// table, dumped to TSV end to end as `romscriber-dump --project` does it
// (project, ROM and table read, every string decoded, the TSV built and
// written). Prints the time of the whole and of each step, and exits 1 when
// the TSV does not hold one row per string or the whole takes 0.5 s or more.
//
//   romscriber_project_bench [--runs N]     (default 5; TMPDIR picks the folder)
#include <time.h>

#include <algorithm>
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
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "base/file_io.h"
#include "bench_folder.h"
#include "dump/dump.h"
#include "session/session.h"

namespace romscriber::bench {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr std::int64_t kRomSize = 4 << 20;  // all that LoROM reaches
constexpr std::int64_t kStrings = 65536;
constexpr std::int64_t kPointers = 0x10000;  // the table: bank 02 onwards, 3 bytes each
constexpr std::int64_t kTextStart = 0x40000;
constexpr double kTargetSeconds = 0.5;

// Letters as ASCII minus 0x20, words of two bytes after E0, FE a line
// break, F0 a colour code with one parameter, FF the end.
const char* const kWords[] = {"castillo", "princesa",  "espada", "dragón", "aldea",
                              "reino",    "caballero", "que",    "de",     "la"};

std::string TableText() {
  std::string t = "# bench table\n20= \n";
  char line[32];
  for (int c = 'A'; c <= 'z'; ++c) {
    if (c > 'Z' && c < 'a') continue;
    std::snprintf(line, sizeof line, "%02X=%c\n", c - 0x20, c);
    t += line;
  }
  t += "6A=.\n6B=,\n6C=¡\n6D=!\n6E=ñ\n6F=á\n";
  for (std::size_t i = 0; i < std::size(kWords); ++i) {
    std::snprintf(line, sizeof line, "E0%02zX=", i);
    t += line + std::string(kWords[i]) + "\n";
  }
  return t + "$F0=[color],1\n*FE=<br>\n/FF=<fin>\n";
}

// A random string of about 32 bytes, end token included.
std::string RandomString(std::mt19937& random) {
  std::string s;
  const std::size_t target = 20 + random() % 24;
  while (s.size() < target) {
    const unsigned pick = random() % 16;
    if (pick < 3) {
      s += '\xE0';
      s += static_cast<char>(random() % std::size(kWords));
    } else if (pick == 3) {
      s += '\xFE';
    } else if (pick == 4) {
      s += '\xF0';
      s += static_cast<char>(random() % 8);
    } else {
      for (int n = 2 + static_cast<int>(random() % 5); n > 0; --n)
        s += static_cast<char>(0x41 + random() % 26);
      s += static_cast<char>(random() % 6 ? 0x20 : 0x6A);  // blank or full stop
    }
  }
  return s + '\xFF';
}

// LoROM address of a file offset (no copier header).
std::uint32_t LoRomAddress(std::int64_t o) {
  return static_cast<std::uint32_t>(((o << 1) & 0x7F0000) | 0x8000 | (o & 0x7FFF));
}

std::int64_t WriteProject(const fs::path& folder) {
  std::mt19937 random(2024);
  std::string rom(kRomSize, '\xFF');
  std::int64_t at = kTextStart, textBytes = 0;
  for (std::int64_t i = 0; i < kStrings; ++i) {
    const std::string s = RandomString(random);
    rom.replace(at, s.size(), s);
    const std::uint32_t address = LoRomAddress(at);
    const std::int64_t pointer = kPointers + 3 * i;
    rom[pointer] = static_cast<char>(address & 0xFF);
    rom[pointer + 1] = static_cast<char>(address >> 8 & 0xFF);
    rom[pointer + 2] = static_cast<char>(address >> 16 & 0xFF);
    at += static_cast<std::int64_t>(s.size());
    textBytes += static_cast<std::int64_t>(s.size());
  }
  if (at > kRomSize) throw std::runtime_error("the strings do not fit the ROM");
  std::ofstream(folder / "bench.sfc", std::ios::binary) << rom;
  std::ofstream(folder / "bench.tbl", std::ios::binary) << TableText();
  std::ofstream(folder / "bench.toml", std::ios::binary)
      << "rom = 'bench.sfc'\n[map]\nkind = 'lorom'\n[[table]]\nname = 't'\nfile = 'bench.tbl'\n"
         "[[block]]\nname = 'dialogo'\ntable = 't'\npointers = { offset = "
      << kPointers << ", count = " << kStrings << ", size = 3 }\n";
  return textBytes;
}

double Seconds(Clock::duration d) {
  return std::chrono::duration<double>(d).count();
}

// Processor time of this process: other programs on a busy machine stretch
// the elapsed time, not this.
double CpuSeconds() {
  timespec t{};
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) * 1e-9;
}

int Run(int runs) {
  const TempFolder temp("romscriber-project-bench");
  const fs::path& folder = temp.Path();

  const std::int64_t textBytes = WriteProject(folder);
  std::printf("%lld strings, %.2f MiB of encoded text, 4 MiB LoROM, 3-byte pointers\n",
              static_cast<long long>(kStrings), static_cast<double>(textBytes) / (1 << 20));

  // The whole, as the program runs it; the best of the runs.
  double best = 1e9, bestCpu = 1e9;
  int failed = 0;
  for (int r = 0; r < runs; ++r) {
    std::ostringstream out, err;
    const std::atomic<bool> stop{false};
    ProjectDumpOptions options;
    options.Project = folder / "bench.toml";
    options.Out = folder / "out";
    options.Format = "tsv";
    // A first dump, into a folder without scripts: a dump over scripts
    // reads them first, to keep the translations they may hold.
    fs::remove_all(folder / "out");
    const auto start = Clock::now();
    const double cpuStart = CpuSeconds();
    const int code = RunProjectDump(options, stop, out, err, false);
    bestCpu = std::min(bestCpu, CpuSeconds() - cpuStart);
    best = std::min(best, Seconds(Clock::now() - start));
    const std::string tsv = ReadWholeFile(folder / "out" / "dialogo.tsv");
    const auto rows = std::count(tsv.begin(), tsv.end(), '\n') - 1;
    if (code != 0 || rows != kStrings) {
      std::printf("run %d: exit %d, %lld rows instead of %lld\n%s", r, code,
                  static_cast<long long>(rows), static_cast<long long>(kStrings),
                  err.str().c_str());
      ++failed;
    }
  }
  std::printf("RunProjectDump to TSV: %.3f s (best of %d; processor %.3f s), %.1f MiB/s of text\n",
              best, runs, bestCpu, static_cast<double>(textBytes) / (1 << 20) / best);

  // The steps, once, to see where the time goes.
  const auto t0 = Clock::now();
  const Session session = Session::Open(folder / "bench.toml", {});
  const auto t1 = Clock::now();
  const std::string tsv = session.ScriptFiles(ScriptFormat::kTsv).at(0).Text;
  const auto t2 = Clock::now();
  WriteFileWhole(folder / "steps.tsv", {tsv});
  const auto t3 = Clock::now();
  std::printf("  Session::Open (project, ROM, table, dump) %.3f s, TSV text %.3f s, file %.3f s\n",
              Seconds(t1 - t0), Seconds(t2 - t1), Seconds(t3 - t2));
  std::printf("  %.2f MiB of TSV\n", static_cast<double>(tsv.size()) / (1 << 20));

  if (best >= kTargetSeconds) {
    std::printf("slower than the %.1f s target\n", kTargetSeconds);
    return 1;
  }
  return failed ? 1 : 0;
}

}  // namespace
}  // namespace romscriber::bench

int main(int argc, char** argv) {
  int runs = 5;
  if (argc == 3 && std::strcmp(argv[1], "--runs") == 0) {
    runs = std::max(1, std::atoi(argv[2]));
  } else if (argc != 1) {
    std::fprintf(stderr, "Uso: %s [--runs N]\n", argv[0]);
    return 2;
  }
  try {
    return romscriber::bench::Run(runs);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
}
