// Pointer-table discovery on generated ROMs: a pointer table planted among
// random bytes, in every map, size, order, stride, with and without a
// constant add, is the first candidate and reaches every target; the rules
// of runs (misses inside, ends that add nothing); the [[block]] stanza read
// back by the project loader; the targets file.
#include "discover/pointer_search.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <numeric>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "address/pointers.h"
#include "base/app_error.h"
#include "extract/temp_folder.h"
#include "hex/hex.h"
#include "project/project.h"
#include "project/project_text.h"

namespace romscriber::testing {
namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::int64_t kImage = 0x20000;  // bytes after the header

// File bytes one bank of the map spans.
std::int64_t BankSpan(const MapSettings& m) {
  switch (m.Kind) {
    case MapKind::kLoRom:
      return 0x8000;
    case MapKind::kBanked:
      return m.BankSize;
    default:
      return 0x10000;
  }
}

void Store(Bytes& rom, std::int64_t at, int size, Endian order, std::uint32_t value) {
  for (int k = 0; k < size; ++k) {
    const int shift = order == Endian::kLittle ? 8 * k : 8 * (size - 1 - k);
    rom[static_cast<std::size_t>(at + k)] = static_cast<std::uint8_t>(value >> shift);
  }
}

struct Planted {
  Bytes Rom;
  PointerFormat Format;           // as planted
  std::vector<std::int64_t> Targets;
  std::string Name;
};

// A ROM of random bytes holding strings in one bank of the map and a table
// of pointers to them (every string at least once; repeats, and a few
// unused slots, inside). Without an add the table lists the
// strings in any order and, for 2-byte pointers, lies in their bank; with
// one, it lists them mostly in the order they lie and may lie anywhere.
Planted Plant(std::mt19937_64& random, const MapSettings& map, int size, Endian order, int stride,
              bool withAdd) {
  Planted p;
  const std::int64_t fileSize = map.Header + kImage;
  p.Rom.resize(static_cast<std::size_t>(fileSize));
  for (auto& b : p.Rom) b = static_cast<std::uint8_t>(random());
  const AddressMap am(map, fileSize);
  const std::int64_t span = BankSpan(map);
  const std::int64_t banks = kImage / span;
  const auto pick = [&](std::int64_t lo, std::int64_t hi) {  // inclusive
    return lo + static_cast<std::int64_t>(random() % static_cast<std::uint64_t>(hi - lo + 1));
  };
  // The strings: 4 to 60 of 2 to 40 bytes, within 3 KiB of one bank.
  const std::int64_t textBank = pick(0, banks - 1);
  std::int64_t at = map.Header + textBank * span + pick(0, span - 3072 - 1);
  const int strings = static_cast<int>(pick(4, 60));
  for (int i = 0; i < strings && at < map.Header + (textBank + 1) * span - 40; ++i) {
    p.Targets.push_back(at);
    at += pick(2, 40);
  }
  const std::int64_t textEnd = at;

  // The entries: which target each reaches (-1: none).
  std::vector<int> order_(p.Targets.size());
  std::iota(order_.begin(), order_.end(), 0);
  if (!withAdd) std::shuffle(order_.begin(), order_.end(), random);
  std::vector<int> entries;
  // An add is found from three entries in a row that follow the strings'
  // order: three somewhere in the table do.
  const auto clean = static_cast<std::size_t>(pick(0, static_cast<std::int64_t>(order_.size()) - 3));
  for (std::size_t i = 0; i < order_.size(); ++i) {
    entries.push_back(order_[i]);
    if (i + 1 == order_.size()) break;
    if (withAdd && (i == clean || i == clean + 1)) continue;
    if (random() % 8 == 0) entries.push_back(order_[random() % order_.size()]);  // a repeat
    if (random() % 10 == 0)
      for (int k = static_cast<int>(pick(1, 3)); k > 0; --k) entries.push_back(-1);  // unused slots
  }
  const auto count = static_cast<std::int64_t>(entries.size());
  const std::int64_t tableBytes = (count - 1) * stride + size;

  // Where the table lies: in the strings' bank for 2-byte pointers without
  // an add, anywhere else otherwise; never over the strings.
  std::int64_t tableAt = 0;
  for (;;) {
    if (size == 2 && !withAdd) {
      const std::int64_t bankStart = map.Header + textBank * span;
      tableAt = pick(bankStart, bankStart + span - tableBytes);
    } else {
      tableAt = pick(map.Header, fileSize - tableBytes);
    }
    if (tableAt + tableBytes <= p.Targets.front() || tableAt >= textEnd) break;
  }
  const std::int64_t bankBase = size == 2 ? (am.ToAddress(tableAt) >> 16) << 16 : 0;
  std::int64_t lowest = INT64_MAX, highest = INT64_MIN;
  for (const std::int64_t t : p.Targets) {
    lowest = std::min(lowest, am.ToAddress(t) - bankBase);
    highest = std::max(highest, am.ToAddress(t) - bankBase);
  }
  const std::int64_t top = size == 2 ? 0xFFFF : size == 3 ? 0xFFFFFF : 0xFFFFFFFF;
  std::int64_t add = 0;
  if (withAdd) {
    // Any add that keeps every value within the pointer's size.
    do add = pick(std::max<std::int64_t>(highest - top, -0x800000), std::min<std::int64_t>(lowest, 0x800000));
    while (add == 0);
  }
  // An unused slot, as games leave them: null, or all ones; failing both,
  // any value that reaches no target.
  const std::set<std::int64_t> targets(p.Targets.begin(), p.Targets.end());
  const auto nothing = [&]() -> std::uint32_t {
    const auto none = [&](std::uint32_t v) {
      const auto offset = am.ToOffset(bankBase + v + add);
      return !offset || !targets.count(*offset);
    };
    const auto ones = static_cast<std::uint32_t>(top);
    const std::uint32_t first = random() % 2 ? 0 : ones;
    if (none(first)) return first;
    if (none(first ^ ones)) return first ^ ones;
    for (;;) {
      const auto v = static_cast<std::uint32_t>(random() & static_cast<std::uint64_t>(top));
      if (none(v)) return v;
    }
  };
  for (std::int64_t i = 0; i < count; ++i) {
    const int e = entries[static_cast<std::size_t>(i)];
    const std::uint32_t value =
        e < 0 ? nothing()
              : static_cast<std::uint32_t>(am.ToAddress(p.Targets[static_cast<std::size_t>(e)]) -
                                           bankBase - add);
    Store(p.Rom, tableAt + i * stride, size, order, value);
  }
  // A decoy: three entries of the same kind reaching three of the strings,
  // well away from the table and the strings.
  const std::int64_t decoyBytes = 2 * stride + size;
  const std::int64_t apart = 6 * 16;
  for (int tries = 0; tries < 100; ++tries) {
    const std::int64_t decoyAt = pick(map.Header, fileSize - decoyBytes);
    if (decoyAt + decoyBytes + apart > tableAt && decoyAt < tableAt + tableBytes + apart) continue;
    if (decoyAt + decoyBytes > p.Targets.front() && decoyAt < textEnd) continue;
    const std::int64_t decoyBase = size == 2 ? (am.ToAddress(decoyAt) >> 16) << 16 : 0;
    std::vector<std::uint32_t> values;
    for (int k = 0; k < 3; ++k) {
      const std::int64_t v = am.ToAddress(p.Targets[random() % p.Targets.size()]) - decoyBase - add;
      if (v >= 0 && v <= top) values.push_back(static_cast<std::uint32_t>(v));
    }
    if (values.size() < 3) continue;
    for (int k = 0; k < 3; ++k) Store(p.Rom, decoyAt + k * stride, size, order, values[static_cast<std::size_t>(k)]);
    break;
  }
  p.Format = {tableAt, count, size, order, stride, add, std::nullopt};
  p.Name = MapLabel(map) + " size " + std::to_string(size) +
           (order == Endian::kBig ? " big" : " little") + " stride " + std::to_string(stride) +
           " add " + std::to_string(add) + " table at " + std::to_string(tableAt) + ", " +
           std::to_string(count) + " entries, " + std::to_string(p.Targets.size()) + " strings";
  return p;
}

// What a candidate's entries reach, read as a project would read them.
std::vector<std::optional<std::int64_t>> Reads(const Bytes& rom, const PointerCandidate& c) {
  const AddressMap am(c.Map, static_cast<std::int64_t>(rom.size()));
  std::vector<std::optional<std::int64_t>> out;
  for (const Pointer& p : ReadPointers(rom, c.Format, am)) out.push_back(p.Target);
  return out;
}

std::string Describe(const PointerSearchResult& r) {
  std::string out;
  for (const PointerCandidate& c : r.Candidates) {
    const PointerFormat& f = c.Format;
    out += "\n  " + std::to_string(f.Offset) + " " + std::to_string(f.Count) + " " +
           std::to_string(f.Size) + (f.Order == Endian::kBig ? " big " : " little ") +
           std::to_string(f.Stride) + " " + MapLabel(c.Map) + " " + std::to_string(f.Add) + " " +
           std::to_string(c.Reached) + " missed " + std::to_string(c.Missed);
  }
  return out;
}

void ExpectFound(Planted p, const PointerSearchResult& result) {
  p.Name += Describe(result);
  ASSERT_FALSE(result.Candidates.empty()) << p.Name;
  const PointerCandidate& c = result.Candidates.front();
  const std::set<std::int64_t> targets(p.Targets.begin(), p.Targets.end());
  EXPECT_EQ(c.Reached, static_cast<std::int64_t>(targets.size())) << p.Name;
  EXPECT_EQ(result.Targets, static_cast<std::int64_t>(targets.size()));
  // Read through its own map, size, order and add, the candidate's entries
  // reach every target; Missed counts those that reach none.
  std::set<std::int64_t> reached;
  std::int64_t missed = 0;
  for (const auto& t : Reads(p.Rom, c)) {
    if (t && targets.count(*t)) {
      reached.insert(*t);
    } else {
      ++missed;
    }
  }
  EXPECT_EQ(reached, targets) << p.Name;
  EXPECT_EQ(missed, c.Missed) << p.Name;
  // It is the planted table, with at most a few entries more at either end
  // when neighbouring bytes happen to reach targets too.
  const PointerFormat& f = c.Format;
  const std::int64_t plantedLast = p.Format.Offset + (p.Format.Count - 1) * p.Format.Stride;
  const std::int64_t foundLast = f.Offset + (f.Count - 1) * f.Stride;
  ASSERT_EQ(f.Stride, p.Format.Stride) << p.Name;
  EXPECT_EQ((p.Format.Offset - f.Offset) % f.Stride, 0) << p.Name;
  EXPECT_LE(f.Offset, p.Format.Offset) << p.Name;
  EXPECT_GE(foundLast, plantedLast) << p.Name;
  EXPECT_LE(p.Format.Offset - f.Offset, 5 * f.Stride) << p.Name;
  EXPECT_LE(foundLast - plantedLast, 5 * f.Stride) << p.Name;
}

TEST(PointerSearch, PlantedTablesAreTheFirstCandidateInEveryMapSizeOrderAndAdd) {
  std::mt19937_64 random(1234);
  int cases = 0, withAdd = 0;
  for (const MapSettings& map : StandardMaps()) {
    for (const int size : {2, 3, 4}) {
      for (const Endian order : {Endian::kLittle, Endian::kBig}) {
        for (const bool add : {false, true}) {
          const int stride = size + static_cast<int>(random() % (17 - size));
          const Planted p = Plant(random, map, size, order, stride, add);
          ExpectFound(p, FindPointerTables(p.Rom, p.Targets, {}));
          ++cases;
          withAdd += p.Format.Add != 0;
        }
      }
    }
  }
  EXPECT_EQ(cases, 84);
  EXPECT_EQ(withAdd, 42);
}

TEST(PointerSearch, EveryStrideIsTried) {
  std::mt19937_64 random(99);
  for (const int size : {2, 3, 4}) {
    for (int stride = size; stride <= 16; ++stride) {
      const MapSettings map{.Kind = MapKind::kLoRom};
      const Planted p = Plant(random, map, size, Endian::kLittle, stride, stride % 2 == 0);
      PointerSearchOptions options;
      options.Maps = {map};
      options.Sizes = {size};
      ExpectFound(p, FindPointerTables(p.Rom, p.Targets, options));
    }
  }
}

// A hand-made ROM of EE bytes (no value of them reaches a target), strings
// at 0x100 on, a 2-byte little-endian linear table at 0x40.
struct Small {
  Bytes Rom = Bytes(0x400, 0xEE);
  std::vector<std::int64_t> Targets;
  void Entry(std::int64_t at, std::int64_t value) { Store(Rom, at, 2, Endian::kLittle, static_cast<std::uint32_t>(value)); }
};

PointerSearchOptions LinearOnly() {
  PointerSearchOptions options;
  options.Maps = {MapSettings{.Kind = MapKind::kLinear}};
  options.Sizes = {2};
  options.SearchAdd = false;
  options.MaxStride = 2;
  return options;
}

TEST(PointerSearch, RunsHoldShortStretchesOfMisses) {
  for (const int misses : {4, 5}) {
    Small s;
    for (int i = 0; i < 6; ++i) s.Targets.push_back(0x100 + 0x10 * i);
    // 100 110 120, `misses` entries reaching nothing (0xFFFF: outside the
    // image), 130 140 150.
    std::int64_t at = 0x40;
    for (int i = 0; i < 3; ++i, at += 2) s.Entry(at, s.Targets[static_cast<std::size_t>(i)]);
    for (int i = 0; i < misses; ++i, at += 2) s.Entry(at, 0xFFFF);
    for (int i = 3; i < 6; ++i, at += 2) s.Entry(at, s.Targets[static_cast<std::size_t>(i)]);
    const auto result = FindPointerTables(s.Rom, s.Targets, LinearOnly());
    ASSERT_FALSE(result.Candidates.empty());
    const PointerCandidate& c = result.Candidates.front();
    if (misses == 4) {  // one run with its four misses
      EXPECT_EQ(c.Format.Offset, 0x40);
      EXPECT_EQ(c.Format.Count, 10);
      EXPECT_EQ(c.Reached, 6);
      EXPECT_EQ(c.Missed, 4);
    } else {  // two runs of three; the lower offset first on a tie
      ASSERT_GE(result.Candidates.size(), 2u);
      for (std::size_t i = 0; i < 2; ++i) {
        EXPECT_EQ(result.Candidates[i].Reached, 3);
        EXPECT_EQ(result.Candidates[i].Format.Count, 3);
        EXPECT_EQ(result.Candidates[i].Format.Order, Endian::kLittle);
      }
      EXPECT_EQ(result.Candidates[0].Format.Offset, 0x40);
      EXPECT_EQ(result.Candidates[1].Format.Offset, 0x40 + 2 * (3 + misses));
    }
  }
  // Repeats count once; a repeat after a miss still belongs to the table.
  Small s;
  for (int i = 0; i < 3; ++i) s.Targets.push_back(0x100 + 0x10 * i);
  for (int i = 0; i < 3; ++i) s.Entry(0x40 + 2 * i, s.Targets[static_cast<std::size_t>(i)]);
  s.Entry(0x46, 0xFFFF);
  s.Entry(0x48, s.Targets[0]);
  const PointerCandidate c = FindPointerTables(s.Rom, s.Targets, LinearOnly()).Candidates.front();
  EXPECT_EQ(c.Format.Count, 5);
  EXPECT_EQ(c.Missed, 1);
  EXPECT_EQ(c.Reached, 3);
}

TEST(PointerSearch, AnAddFoundInTheMiddleOfATableReachesBackAcrossUnusedSlots) {
  // Linear 2-byte pointers 0x40 below their strings' addresses: 100, an
  // unused slot, 110 120 130; the three in a row propose the add.
  Small s;
  for (int i = 0; i < 4; ++i) s.Targets.push_back(0x100 + 0x10 * i);
  s.Entry(0x40, 0x100 - 0x40);
  s.Entry(0x42, 0xFFFF);
  for (int i = 1; i < 4; ++i) s.Entry(0x42 + 2 * i, s.Targets[static_cast<std::size_t>(i)] - 0x40);
  PointerSearchOptions options = LinearOnly();
  options.SearchAdd = true;
  options.Sizes = {2};
  const auto result = FindPointerTables(s.Rom, s.Targets, options);
  ASSERT_FALSE(result.Candidates.empty());
  const PointerCandidate& c = result.Candidates.front();
  EXPECT_EQ(c.Format.Offset, 0x40);
  EXPECT_EQ(c.Format.Count, 5);
  EXPECT_EQ(c.Format.Add, 0x40);
  EXPECT_EQ(c.Reached, 4);
  EXPECT_EQ(c.Missed, 1);
}

TEST(PointerSearch, GameBoyTablesInAnyBankReachTheFixedBankWithoutAnAdd) {
  // Strings in bank 0 (below 0x4000), reached from a table in bank 3 by
  // their own addresses.
  std::mt19937_64 random(17);
  Bytes rom(0x20000);
  for (auto& b : rom) b = static_cast<std::uint8_t>(random());
  std::vector<std::int64_t> targets;
  for (std::int64_t at = 0x1000; targets.size() < 20; at += 17) targets.push_back(at);
  for (std::size_t i = 0; i < targets.size(); ++i)
    Store(rom, 0xC100 + 2 * static_cast<std::int64_t>(i), 2, Endian::kLittle,
          static_cast<std::uint32_t>(targets[i]));
  const MapSettings gameBoy{.Kind = MapKind::kBanked, .BankSize = 0x4000, .Window = 0x4000};
  for (const bool all : {true, false}) {
    PointerSearchOptions options;
    if (!all) options.Maps = {gameBoy};
    const auto result = FindPointerTables(rom, targets, options);
    ASSERT_FALSE(result.Candidates.empty());
    const PointerCandidate& c = result.Candidates.front();
    // HiROM and linear maps read these bytes alike; the first one wins.
    EXPECT_EQ(MapLabel(c.Map), all ? "hirom" : "banked(4000,4000)");
    EXPECT_EQ(c.Format.Offset, 0xC100);
    EXPECT_EQ(c.Format.Count, 20);
    EXPECT_EQ(c.Format.Add, 0);
    EXPECT_EQ(c.Reached, 20);
  }
}

TEST(PointerSearch, TargetsNoTableReachesLowerTheCountOnly) {
  std::mt19937_64 random(5);
  Planted p = Plant(random, {.Kind = MapKind::kHiRom}, 3, Endian::kLittle, 3, false);
  std::vector<std::int64_t> targets = p.Targets;
  targets.push_back(kImage - 100);  // strings no pointer reaches
  targets.push_back(kImage - 50);
  targets.push_back(kImage + 5);    // and one outside the ROM, left out
  const std::set<std::int64_t> inside(targets.begin(), targets.end() - 1);
  const auto result = FindPointerTables(p.Rom, targets, {});
  ASSERT_FALSE(result.Candidates.empty());
  EXPECT_EQ(result.Targets, static_cast<std::int64_t>(inside.size()));
  EXPECT_EQ(result.Candidates.front().Reached, static_cast<std::int64_t>(p.Targets.size()));
  EXPECT_EQ(result.Candidates.front().Format.Offset, p.Format.Offset);
}

TEST(PointerSearch, OneTargetIsReachedByOnePointerAndAStopEndsTheSearch) {
  // With one target a lone pointer is a candidate; with more, two targets
  // at least must be reached.
  Small s;
  s.Targets = {0x200};
  s.Entry(0x80, 0x200);
  auto result = FindPointerTables(s.Rom, s.Targets, LinearOnly());
  ASSERT_EQ(result.Candidates.size(), 1u);
  EXPECT_EQ(result.Candidates[0].Format.Offset, 0x80);
  EXPECT_EQ(result.Candidates[0].Format.Count, 1);
  s.Targets.push_back(0x300);
  EXPECT_TRUE(FindPointerTables(s.Rom, s.Targets, LinearOnly()).Candidates.empty());

  std::atomic<bool> stop{true};
  SearchControl control;
  control.Stop = &stop;
  EXPECT_TRUE(FindPointerTables(s.Rom, s.Targets, {}, control).Stopped);
  // Progress rises to 1 across every map, size and order.
  stop = false;
  std::vector<double> reported;
  control.Progress = [&](double d) { reported.push_back(d); };
  EXPECT_FALSE(FindPointerTables(s.Rom, s.Targets, {}, control).Stopped);
  ASSERT_GT(reported.size(), 6u);
  EXPECT_TRUE(std::is_sorted(reported.begin(), reported.end()));
  EXPECT_EQ(reported.back(), 1.0);
}

// --- The stanza, read back by the project loader -------------------------

// The project's [map] from the stanza's comment line.
std::string MapSection(const std::string& stanza) {
  const std::string first = stanza.substr(0, stanza.find('\n'));
  EXPECT_EQ(first.rfind("# [map] ", 0), 0u) << first;
  std::string keys = first.substr(8);
  for (std::size_t at; (at = keys.find(", ")) != std::string::npos;) keys.replace(at, 2, "\n");
  return "[map]\n" + keys + "\n";
}

TEST(PointerSearch, TheStanzaIsTakenByAProjectWhoseMapIsTheCandidates) {
  TempFolder dir;
  std::mt19937_64 random(3);
  std::vector<MapSettings> maps = StandardMaps();
  maps.push_back({.Kind = MapKind::kLinear, .Header = 16, .Base = 0x8000});
  maps.push_back({.Kind = MapKind::kLoRom, .Fast = true});
  int n = 0;
  for (const MapSettings& map : maps) {
    for (const std::int64_t add : {std::int64_t{0}, std::int64_t{0x1234}, std::int64_t{-0x2000}}) {
      PointerCandidate c;
      c.Map = map;
      c.Format = {0x1000 + static_cast<std::int64_t>(random() % 0x100), 1 + static_cast<std::int64_t>(random() % 100),
                  2 + static_cast<int>(random() % 3), random() % 2 ? Endian::kBig : Endian::kLittle, 0, add,
                  std::nullopt};
      c.Format.Stride = c.Format.Size + static_cast<std::int64_t>(random() % 4);
      const std::string stanza = BlockStanza(c, "principal");
      const auto file = dir.Path() / ("p" + std::to_string(n++) + ".toml");
      WriteBytes(file, "rom = \"x.sfc\"\n" + MapSection(stanza) +
                           "[[table]]\nname = \"principal\"\nfile = \"x.tbl\"\n" + stanza);
      const Project project = LoadProject(file);
      ASSERT_EQ(project.Blocks.size(), 1u) << stanza;
      const ProjectBlock& b = project.Blocks[0];
      EXPECT_EQ(b.Name, "punteros_" + OffsetHex(c.Format.Offset));
      EXPECT_EQ(b.Table, "principal");
      ASSERT_TRUE(b.Pointers) << stanza;
      EXPECT_EQ(b.Pointers->Offset, c.Format.Offset) << stanza;
      EXPECT_EQ(b.Pointers->Count, c.Format.Count) << stanza;
      EXPECT_EQ(b.Pointers->Size, c.Format.Size) << stanza;
      EXPECT_EQ(b.Pointers->Order, c.Format.Order) << stanza;
      EXPECT_EQ(b.Pointers->Stride, c.Format.Stride) << stanza;
      EXPECT_EQ(b.Pointers->Add, c.Format.Add) << stanza;
      EXPECT_FALSE(b.Pointers->Bank) << stanza;
      EXPECT_EQ(project.Map.Kind, map.Kind) << stanza;
      EXPECT_EQ(project.Map.Header, map.Header) << stanza;
      EXPECT_EQ(project.Map.Base, map.Base) << stanza;
      EXPECT_EQ(project.Map.BankSize, map.BankSize) << stanza;
      EXPECT_EQ(project.Map.Window, map.Window) << stanza;
      EXPECT_EQ(project.Map.Fast, map.Fast) << stanza;
    }
  }
}

// A table's name is written as a TOML string: quotes, backslashes and
// control characters escaped, so that the block names the table it was
// given.
TEST(PointerSearch, TheStanzaNamesATableWhateverItsName) {
  TempFolder dir;
  PointerCandidate c;
  c.Map = StandardMaps().back();
  c.Format = {0x40, 3, 2, Endian::kLittle, 2, 0, std::nullopt};
  for (const std::string name :
       {"principal", "la \"buena\"", "C:\\tablas\\x", "tab\there", "ñandú"}) {
    const std::string stanza = BlockStanza(c, name);
    const auto file = dir.Path() / "p.toml";
    WriteBytes(file, "rom = \"x.sfc\"\n[[table]]\nname = " + TomlString(name) +
                         "\nfile = \"x.tbl\"\n" + stanza);
    const Project project = LoadProject(file);
    ASSERT_EQ(project.Blocks.size(), 1u) << stanza;
    EXPECT_EQ(project.Blocks[0].Table, name) << stanza;
  }
}

TEST(PointerSearch, MapLabels) {
  const std::vector<MapSettings> maps = StandardMaps();
  std::vector<std::string> labels;
  for (const MapSettings& m : maps) labels.push_back(MapLabel(m));
  EXPECT_EQ(labels, (std::vector<std::string>{"lorom", "lorom+512", "hirom", "hirom+512",
                                              "banked(4000,4000)", "banked(2000,8000)+16",
                                              "linear"}));
  EXPECT_EQ(MapLabel({.Kind = MapKind::kLinear, .Base = 0x8000}), "linear(8000)");
}

// --- The targets file ----------------------------------------------------

TEST(PointerSearch, TargetsFilesHoldOneHexOffsetALine) {
  EXPECT_EQ(ParseTargets("18072\r\n0x180C6\n\n  1A \n# a comment\n18072\n0X10", "t.txt"),
            (std::vector<std::int64_t>{0x10, 0x1A, 0x18072, 0x180C6}));
  EXPECT_TRUE(ParseTargets("", "t.txt").empty());
  for (const char* bad : {"12\nxyz\n", "12 13\n", "-5\n", "0x\n"}) {
    try {
      ParseTargets(bad, "t.txt");
      ADD_FAILURE() << bad;
    } catch (const AppError& e) {
      EXPECT_EQ(e.Number(), kErrBadInput);
      EXPECT_EQ(e.Description().rfind("t.txt:", 0), 0u) << e.Description();
    }
  }
}

}  // namespace
}  // namespace romscriber::testing
