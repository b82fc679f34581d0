// End-to-end dump speed: the built romscriber-dump program, run as a process
// (its own start-up, table loading, checks, decoding and one script file per
// script) over generated 32 MiB ROMs in a memory file system, once with the
// full classic table and once with a 10,000-entry extended table whose keys
// run up to 22 bytes. The ROMs are laid out as game text (bench_tables.h:
// runs of table keys with an end byte every 256 to 4096 bytes, some 15,000
// scripts). For each it prints the median of several runs: wall time and
// MiB/s, the child's CPU time and MiB/s on it (steadier when the machine is
// shared), its peak memory (see Spawn) and the script files written; then the same files
// written again by the program's write path with nothing decoded (the file
// system's share). It also prints the time to load the extended table from
// its bytes and compile it.
//
//   romscriber_dump_bench [--size-mib N] [--runs N] [--dir DIR] [--keep]
//   (defaults: 32, 5, /dev/shm/romscriber-dump-bench-PID; DIR is removed at
//   the end unless --keep: its ROMs and tables then serve for profiling)
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

#include "base/file_io.h"
#include "bench_memory.h"
#include "bench_tables.h"
#include "table/compiled.h"
#include "table/extended_loader.h"
#include "table/loader.h"

extern char** environ;

namespace romscriber::bench {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

void WriteFile(const fs::path& path, const std::string& bytes) {
  std::ofstream file(path, std::ios::binary);
  file.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!file) throw std::runtime_error("cannot write " + path.string());
}

std::string ReadFile(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  return {std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>()};
}

double Median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const std::size_t n = values.size();
  return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

double Seconds(const timeval& t) {
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_usec) / 1e6;
}

// User and system time of this process so far, in seconds.
double SelfCpu() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return Seconds(usage.ru_utime) + Seconds(usage.ru_stime);
}

struct ProcessRun {
  double Wall = 0;  // seconds
  double Cpu = 0;   // user + system seconds of the child
  long PeakKiB = 0;
};

// Runs the program with `args`, its output and errors into files of `dir`.
// The child starts in this process's memory (posix_spawn shares it until
// the program is loaded), and its peak as wait4 reports it is never below
// that memory's own peak: this process's peak is set back to its present
// footprint first (VmHWM through /proc/self/clear_refs), or the peak of
// making the ROMs would show as the program's.
ProcessRun Spawn(const std::vector<std::string>& args, const fs::path& dir) {
  std::vector<char*> argv;
  for (const std::string& a : args)
    argv.push_back(const_cast<char*>(a.c_str()));
  argv.push_back(nullptr);
  const std::string outPath = (dir / "stdout.txt").string();
  const std::string errPath = (dir / "stderr.txt").string();
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, outPath.c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errPath.c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0644);
  if (std::FILE* clear = std::fopen("/proc/self/clear_refs", "w")) {
    std::fputs("5", clear);
    std::fclose(clear);
  }
  const auto begin = Clock::now();
  pid_t pid = 0;
  const int spawned = posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) throw std::runtime_error("cannot run " + args[0]);
  int status = 0;
  rusage usage{};
  if (wait4(pid, &status, 0, &usage) != pid) throw std::runtime_error("wait4 failed");
  ProcessRun run;
  run.Wall = std::chrono::duration<double>(Clock::now() - begin).count();
  run.Cpu = Seconds(usage.ru_utime) + Seconds(usage.ru_stime);
  run.PeakKiB = usage.ru_maxrss;
  if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) {
    throw std::runtime_error(args[0] + " failed: " + ReadFile(errPath) + ReadFile(outPath));
  }
  return run;
}

std::size_t CountFiles(const fs::path& folder) {
  return static_cast<std::size_t>(
      std::distance(fs::directory_iterator(folder), fs::directory_iterator()));
}

void DumpCase(const char* name, std::vector<std::string> args, const fs::path& dir,
              std::size_t romSize, int runs) {
  const fs::path out = dir / "out";
  args.push_back("--out");
  args.push_back(out.string());
  std::vector<double> wall, cpu, peak;
  std::size_t files = 0;
  for (int i = 0; i < runs; ++i) {
    fs::remove_all(out);  // each run writes into an empty folder
    const ProcessRun run = Spawn(args, dir);
    wall.push_back(run.Wall);
    cpu.push_back(run.Cpu);
    peak.push_back(static_cast<double>(run.PeakKiB));
    files = CountFiles(out);
  }
  const double mib = static_cast<double>(romSize) / (1 << 20);
  std::printf("%-28s wall %8.1f ms %8.1f MiB/s | cpu %8.1f ms %8.1f MiB/s | peak %6.1f MiB | %zu files\n",
              name, Median(wall) * 1e3, mib / Median(wall), Median(cpu) * 1e3, mib / Median(cpu),
              Median(peak) / 1024, files);
  std::printf("%-28s (a peak at or below %.1f MiB is this bench's own footprint)\n", "",
              static_cast<double>(StatusKiB("VmRSS:")) / 1024);
  std::fflush(stdout);

  // The file system's share: the same files, names and sizes, written by the
  // program's own write path with nothing decoded.
  std::vector<std::pair<std::string, std::size_t>> written;
  std::size_t bytes = 0;
  for (const fs::directory_entry& e : fs::directory_iterator(out)) {
    written.emplace_back(e.path().filename().string(), static_cast<std::size_t>(e.file_size()));
    bytes += written.back().second;
  }
  std::string filler;
  for (const auto& [file, size] : written)
    filler.resize(std::max(filler.size(), size), 'a');
  fs::remove_all(out);
  std::vector<double> fileWall, fileCpu;
  for (int i = 0; i < runs; ++i) {
    fs::create_directories(out);
    const double cpuBefore = SelfCpu();
    const auto begin = Clock::now();
    for (const auto& [file, size] : written)
      WriteFileWhole(out / file, {std::string_view(filler).substr(0, size - 2), "\r\n"});
    fileWall.push_back(std::chrono::duration<double>(Clock::now() - begin).count());
    fileCpu.push_back(SelfCpu() - cpuBefore);
    fs::remove_all(out);
  }
  std::printf("%-28s wall %8.1f ms              | cpu %8.1f ms              | %.1f MiB in %zu files\n",
              "  the files alone", Median(fileWall) * 1e3, Median(fileCpu) * 1e3,
              static_cast<double>(bytes) / (1 << 20), written.size());
  std::fflush(stdout);
}

std::string HexEnd(std::size_t size) {
  char text[32];
  std::snprintf(text, sizeof text, "%zX", size - 1);
  return text;
}

int Main(int argc, char** argv) {
  std::size_t sizeMiB = 32;
  int runs = 5;
  bool keep = false;
  fs::path dir = "/dev/shm/romscriber-dump-bench-" + std::to_string(getpid());
  for (int i = 1; i < argc; i += 2) {
    const std::string option = argv[i];
    if (option == "--keep") {
      keep = true;
      --i;
    } else if (i + 1 == argc) {
      std::fprintf(stderr, "%s needs a value\n", option.c_str());
      return 2;
    } else if (option == "--size-mib") {
      sizeMiB = std::stoul(argv[i + 1]);
    } else if (option == "--runs") {
      runs = std::stoi(argv[i + 1]);
    } else if (option == "--dir") {
      dir = argv[i + 1];
    } else {
      std::fprintf(stderr, "unknown option %s\n", option.c_str());
      return 2;
    }
  }
  const std::size_t size = sizeMiB << 20;
  fs::create_directories(dir);

  // The classic case; the table file must load back as the table it was made from.
  const Table classic = FullTable();
  const std::string classicFile = ClassicTableFile(classic);
  Table reloaded;
  ClearTable(reloaded);
  LoadTable(classicFile, reloaded);
  if (reloaded.DoubleTexts != classic.DoubleTexts || reloaded.SingleTexts != classic.SingleTexts ||
      reloaded.TripleCodes != classic.TripleCodes) {
    std::fprintf(stderr, "the classic table file does not load as its table\n");
    return 1;
  }
  WriteFile(dir / "classic.tbl", classicFile);
  WriteFile(dir / "classic.rom", GameTextRom(size, ClassicAlphabet(classic)));
  TextAlphabet alphabet;
  const std::string extendedFile = ExtendedBenchTable(alphabet);
  WriteFile(dir / "extended.tbl", extendedFile);
  WriteFile(dir / "extended.rom", GameTextRom(size, alphabet));

  // Loading the extended table: its bytes to the compiled table, and the
  // two steps apart.
  std::vector<double> loads, reads, compiles;
  std::size_t entries = 0;
  for (int i = 0; i < 30; ++i) {
    const auto begin = Clock::now();
    const EntryList table = LoadExtendedTable(extendedFile, "", "extended.tbl", {});
    const auto read = Clock::now();
    const CompiledTable compiled = CompiledTable::Compile(table, DecodeStyle{});
    const auto end = Clock::now();
    loads.push_back(std::chrono::duration<double>(end - begin).count());
    reads.push_back(std::chrono::duration<double>(read - begin).count());
    compiles.push_back(std::chrono::duration<double>(end - read).count());
    entries = compiled.Entries().size();
  }
  std::printf("%-28s %8.2f ms median, %.2f ms best (reading %.2f ms, compiling %.2f ms; %zu entries, %zu bytes)\n",
              "extended table load", Median(loads) * 1e3,
              *std::min_element(loads.begin(), loads.end()) * 1e3, Median(reads) * 1e3,
              Median(compiles) * 1e3, entries, extendedFile.size());
  std::fflush(stdout);

  const std::string program = ROMSCRIBER_DUMP_PROGRAM;
  const std::string end = HexEnd(size);
  DumpCase("dump classic", {program, (dir / "classic.rom").string(),
                            (dir / "classic.tbl").string(), "0", end},
           dir, size, runs);
  DumpCase("dump extended",
           {program, (dir / "extended.rom").string(), (dir / "extended.tbl").string(), "0", end,
            "--table-format", "extended"},
           dir, size, runs);
  if (!keep) fs::remove_all(dir);
  return 0;
}

}  // namespace
}  // namespace romscriber::bench

int main(int argc, char** argv) {
  try {
    return romscriber::bench::Main(argc, argv);
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
}
