// romscriber-find's three searches over generated ROMs, timed as the program
// runs them (the ROM in memory, the search, the results built; nothing
// printed):
//
//   relative   32 MiB of random bytes with a planted word, 1- and 2-byte
//              values                                          target 0.5 s
//   text       32 MiB laid out as game text (runs of table keys, an end byte
//              every few hundred bytes) through an extended table   1 s
//   pointers   1,000 targets, every map, size and order, with and without a
//              constant add: a 4 MiB LoROM image (2-byte pointers)  1 s
//              and 32 MiB linear ones (4-byte big endian; 3-byte with
//              strings up to 2 KiB long), each with an add          5 s
//
// Each is run several times and the best time printed, with the answer's
// check (the planted word, table or strings found first). Then the false
// positives of the text search: strings found in random bytes through
// tables of a few shapes, per MiB. Exits 1 when an answer is wrong or a
// target is missed.
//
//   romscriber_find_bench [--runs N] [--only relative|text|pointers|false-positives]
//                                        (three runs by default, everything)
#include <algorithm>
#include <chrono>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <random>
#include <string>
#include <vector>

#include "discover/discover.h"
#include "table/compiled.h"
#include "table/extended_loader.h"

namespace romscriber::bench {
namespace {

using Clock = std::chrono::steady_clock;
using Bytes = std::vector<std::uint8_t>;

constexpr std::int64_t kMiB = 1 << 20;

double Best(int runs, const std::function<void()>& body) {
  double best = 1e9;
  for (int i = 0; i < runs; ++i) {
    const auto t0 = Clock::now();
    body();
    best = std::min(best, std::chrono::duration<double>(Clock::now() - t0).count());
  }
  return best;
}

Bytes RandomBytes(std::int64_t size, std::uint64_t seed) {
  std::mt19937_64 random(seed);
  Bytes rom(static_cast<std::size_t>(size));
  for (std::size_t i = 0; i + 8 <= rom.size(); i += 8) {
    const std::uint64_t r = random();
    std::memcpy(&rom[i], &r, 8);
  }
  return rom;
}

bool Report(const char* what, double seconds, double target, bool right) {
  const bool met = seconds < target;
  std::printf("%-58s %7.3f s  (target %.1f s)  %s%s\n", what, seconds, target,
              right ? "right" : "WRONG ANSWER", met ? "" : "  TARGET MISSED");
  return met && right;
}

// Letters as ASCII minus 0x20, a few two-byte words, FE a line break, F0 a
// colour code with one parameter, FF the end: the game-text layout of the
// dump benchmarks.
EntryList GameTable() {
  std::string text = "20= \n";
  char line[32];
  for (int c = 'A'; c <= 'z'; ++c) {
    if (c > 'Z' && c < 'a') continue;
    std::snprintf(line, sizeof line, "%02X=%c\n", c - 0x20, c);
    text += line;
  }
  text += "6A=.\n6B=,\nE000=castillo\nE001=princesa\nE002=dragón\n*FE=<br>\n$F0=[color],1\n/FF=<fin>\n";
  return LoadExtendedTable(text, "", "bench.tbl", {});
}

// Runs of text items with an end byte every 64 to 511 bytes.
Bytes GameText(std::int64_t size, std::uint64_t seed) {
  std::mt19937_64 random(seed);
  Bytes rom;
  rom.reserve(static_cast<std::size_t>(size));
  while (static_cast<std::int64_t>(rom.size()) < size - 600) {
    const std::int64_t length = 64 + static_cast<std::int64_t>(random() % 448);
    for (std::int64_t i = 0; i < length; ++i) {
      const std::uint64_t r = random() % 64;
      if (r < 52) {
        rom.push_back(static_cast<std::uint8_t>(r < 26 ? 0x21 + r : 0x41 + (r - 26)));
      } else if (r < 58) {
        rom.push_back(0x00);  // a space
        rom.back() = 0x20;
      } else if (r < 60) {
        rom.push_back(0xE0);
        rom.push_back(static_cast<std::uint8_t>(random() % 3));
      } else if (r < 62) {
        rom.push_back(0xFE);
      } else {
        rom.push_back(0xF0);
        rom.push_back(static_cast<std::uint8_t>(random() % 8));
      }
    }
    rom.push_back(0xFF);
  }
  rom.resize(static_cast<std::size_t>(size), 0xFF);
  return rom;
}

bool RelativeBench(int runs) {
  bool ok = true;
  Bytes rom = RandomBytes(32 * kMiB, 1);
  // "Princesa" with A at 0x80, a at 0xA0; as 2-byte big-endian values with
  // A at 0x1000, a at 0x2000 further on.
  const std::string word = "Princesa";
  const std::int64_t at1 = 20 * kMiB + 12345;
  const std::int64_t at2 = 27 * kMiB + 777;
  for (std::size_t i = 0; i < word.size(); ++i) {
    const char c = word[i];
    const int v1 = c >= 'a' ? 0xA0 + (c - 'a') : 0x80 + (c - 'A');
    const int v2 = c >= 'a' ? 0x2000 + (c - 'a') : 0x1000 + (c - 'A');
    rom[static_cast<std::size_t>(at1) + i] = static_cast<std::uint8_t>(v1);
    rom[static_cast<std::size_t>(at2) + 2 * i] = static_cast<std::uint8_t>(v2 >> 8);
    rom[static_cast<std::size_t>(at2) + 2 * i + 1] = static_cast<std::uint8_t>(v2);
  }
  for (const int width : {1, 2}) {
    const RelativeQuery query =
        ParseRelativeQuery(word, false, width, width == 2 ? Endian::kBig : Endian::kLittle);
    RelativeResult result;
    const double t = Best(runs, [&] { result = FindRelative(rom, query); });
    const std::int64_t at = width == 1 ? at1 : at2;
    const auto found = std::find_if(result.Hits.begin(), result.Hits.end(),
                                    [&](const RelativeHit& h) { return h.Offset == at; });
    const bool right = found != result.Hits.end() &&
                       found->First[0] == (width == 1 ? 0x80 : 0x1000) &&
                       found->First[1] == (width == 1 ? 0xA0 : 0x2000);
    char what[96];
    std::snprintf(what, sizeof what, "relative, 32 MiB, %d-byte values (%zu hits)", width,
                  result.Hits.size());
    ok = Report(what, t, 0.5, right) && ok;
  }
  return ok;
}

bool TextBench(int runs) {
  const CompiledTable table = CompiledTable::Compile(GameTable(), ProjectStyle());
  const Bytes rom = GameText(32 * kMiB, 2);
  bool ok = true;
  for (const bool withText : {true, false}) {
    TextSearchOptions options;
    options.WithText = withText;
    TextSearchResult result;
    const double t = Best(runs, [&] { result = FindTexts(table, rom, options); });
    // Every string of the layout ends at an end byte and holds no raw byte:
    // each is found, one after another from offset 0.
    bool right = !result.Texts.empty() && result.Texts.front().Offset == 0;
    for (std::size_t i = 1; right && i < result.Texts.size(); ++i)
      right = result.Texts[i].Offset == result.Texts[i - 1].Offset + result.Texts[i - 1].Length;
    char what[96];
    std::snprintf(what, sizeof what, "text, 32 MiB game text, %s (%zu strings)",
                  withText ? "with texts" : "offsets only", result.Texts.size());
    ok = Report(what, t, 1.0, right) && ok;
  }
  return ok;
}

void Put(Bytes& rom, std::int64_t at, int size, Endian order, std::uint32_t value) {
  for (int k = 0; k < size; ++k) {
    const int shift = order == Endian::kLittle ? 8 * k : 8 * (size - 1 - k);
    rom[static_cast<std::size_t>(at + k)] = static_cast<std::uint8_t>(value >> shift);
  }
}

// 1,000 strings of `shortest` to `longest` bytes from `textAt`, and a table
// of 1,000 pointers to them in order at `tableAt`, in a ROM of random bytes.
bool PointerCase(int runs, const char* what, double target, std::int64_t size,
                 const MapSettings& map, int pointerSize, Endian order, std::int64_t add,
                 std::int64_t tableAt, std::int64_t textAt, std::int64_t shortest = 8,
                 std::int64_t longest = 40) {
  Bytes rom = RandomBytes(size, 3);
  const AddressMap addresses(map, size);
  std::mt19937_64 random(4);
  std::vector<std::int64_t> targets;
  std::int64_t at = textAt;
  for (int i = 0; i < 1000; ++i) {
    targets.push_back(at);
    at += shortest + static_cast<std::int64_t>(random() % static_cast<std::uint64_t>(longest - shortest + 1));
  }
  const std::int64_t bank = (addresses.ToAddress(tableAt) >> 16) << 16;
  for (int i = 0; i < 1000; ++i) {
    std::int64_t value = addresses.ToAddress(targets[static_cast<std::size_t>(i)]) - add;
    if (pointerSize == 2) value -= bank;
    Put(rom, tableAt + i * pointerSize, pointerSize, order, static_cast<std::uint32_t>(value));
  }
  PointerSearchResult result;
  const double t = Best(runs, [&] { result = FindPointerTables(rom, targets, {}); });
  bool right = false;
  if (!result.Candidates.empty()) {
    const PointerCandidate& c = result.Candidates.front();
    right = c.Format.Offset == tableAt && c.Format.Count == 1000 && c.Reached == 1000 &&
            c.Format.Size == pointerSize && c.Format.Order == order && c.Format.Add == add &&
            MapLabel(c.Map) == MapLabel(map);
    if (!right) {
      std::printf("  first candidate: %llX %lld %d %s %lld %s %lld %lld/%lld\n",
                  static_cast<long long>(c.Format.Offset), static_cast<long long>(c.Format.Count),
                  c.Format.Size, c.Format.Order == Endian::kBig ? "big" : "little",
                  static_cast<long long>(c.Format.Stride), MapLabel(c.Map).c_str(),
                  static_cast<long long>(c.Format.Add), static_cast<long long>(c.Reached),
                  static_cast<long long>(result.Targets));
    }
  }
  return Report(what, t, target, right);
}

// Strings up to 2 KiB long: neighbouring targets up to 4 KiB apart, the
// widest gaps that propose an add, and the most values that pass the
// proposals' first test.
bool LongStringsBench(int runs) {
  return PointerCase(runs, "pointers, 1,000 long strings, 32 MiB linear, 3-byte, add 0x1234", 5.0,
                     32 * kMiB, {.Kind = MapKind::kLinear}, 3, Endian::kLittle, 0x1234, 0x800000,
                     0x900000, 64, 2048);
}

bool PointerBench(int runs) {
  bool ok = PointerCase(runs, "pointers, 1,000 targets, 4 MiB lorom, 2-byte, add 0", 1.0,
                        4 * kMiB, {.Kind = MapKind::kLoRom}, 2, Endian::kLittle, 0,
                        0x28000, 0x28800);
  ok = PointerCase(runs, "pointers, 1,000 targets, 4 MiB lorom, 2-byte, add -0x1234", 1.0,
                   4 * kMiB, {.Kind = MapKind::kLoRom}, 2, Endian::kLittle, -0x1234, 0x28000,
                   0x28800) &&
       ok;
  ok = PointerCase(runs, "pointers, 1,000 targets, 32 MiB linear, 4-byte big, add -0x8000000",
                   5.0, 32 * kMiB, {.Kind = MapKind::kLinear}, 4, Endian::kBig, -0x8000000,
                   0x1800000, 0x1A00000) &&
       ok;
  return LongStringsBench(runs) && ok;
}

// Strings found in random bytes, per MiB, through tables of a few shapes.
void FalsePositives() {
  const Bytes rom = RandomBytes(16 * kMiB, 5);
  struct Shape {
    const char* Name;
    int Letters;  // one-byte ordinary entries
  };
  for (const Shape shape : {Shape{"64 one-byte entries + end byte", 64},
                            Shape{"96 one-byte entries + end byte", 96},
                            Shape{"160 one-byte entries + end byte", 160}}) {
    EntryList table;
    for (int b = 0; b < shape.Letters; ++b)
      table.Entries.push_back({std::string(1, static_cast<char>(b)), "x", EntryKind::kText, 0, 0});
    table.Entries.push_back({"\xFF", "<fin>", EntryKind::kEnd, 0, 0});
    const CompiledTable compiled = CompiledTable::Compile(table, ProjectStyle());
    for (const std::int64_t minimum : {4, 8}) {
      TextSearchOptions options;
      options.MinEntries = minimum;
      options.WithText = false;
      const auto found = FindTexts(compiled, rom, options).Texts.size();
      std::printf("text in random bytes, %-32s min %lld: %9.1f strings per MiB\n", shape.Name,
                  static_cast<long long>(minimum), static_cast<double>(found) / 16.0);
    }
  }
}

}  // namespace
}  // namespace romscriber::bench

int main(int argc, char** argv) {
  int runs = 3;
  std::string only;
  for (int i = 1; i + 1 < argc; ++i) {
    if (std::strcmp(argv[i], "--runs") == 0) runs = std::max(1, std::atoi(argv[i + 1]));
    if (std::strcmp(argv[i], "--only") == 0) only = argv[i + 1];
  }
  using namespace romscriber::bench;
  const auto wanted = [&](const char* name) { return only.empty() || only == name; };
  bool ok = true;
  if (wanted("relative")) ok = RelativeBench(runs) && ok;
  if (wanted("text")) ok = TextBench(runs) && ok;
  if (wanted("pointers")) ok = PointerBench(runs) && ok;
  if (only == "pointers-long") ok = LongStringsBench(runs) && ok;
  if (wanted("false-positives")) FalsePositives();
  return ok ? 0 : 1;
}
