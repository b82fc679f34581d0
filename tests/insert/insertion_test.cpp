// Insertion as a whole: generated projects in every map and pointer format
// are dumped, written in each script format, read back and inserted.
#include "insert/insertion.h"

#include <gtest/gtest.h>

#include <random>
#include <set>

#include "extract/engine.h"
#include "extract/temp_folder.h"
#include "insert/patch.h"
#include "insert/patch_appliers.h"
#include "scripts/atlas.h"
#include "scripts/po.h"
#include "scripts/tsv.h"

namespace romscriber::testing {
namespace {

namespace fs = std::filesystem;

// An extended table: letters, two-byte words (one with a text longer than
// eight bytes), a line break, a control code with one parameter, an end
// token.
constexpr char kTable[] =
    "/00=<fin>\n*0A\n20= \n4142=<ab>\n4344=<caballero>\n$F0=[c],1\n41=A\n42=B\n43=C\n44=D\n"
    "45=E\n4F=O\n53=S\n";
constexpr char kLetters[] = "ABCDEOS ";

struct MapCase {
  const char* Toml;         // the [map] table
  std::int64_t Header;
  std::int64_t RegionStart;  // file offset of one bank the map addresses
  std::vector<int> Sizes;    // pointer sizes that reach it
};

const MapCase kMaps[] = {
    {"kind = \"linear\"\nbase = 0x8000", 0, 0x0000, {2, 4}},
    {"kind = \"lorom\"\nheader = 512", 512, 512 + 0x8000, {2, 3}},
    {"kind = \"lorom\"\nfast = true", 0, 0x10000, {2, 3, 4}},
    {"kind = \"hirom\"", 0, 0x10000, {2, 3}},
    {"kind = \"banked\"", 0, 0x8000, {2}},                                           // Game Boy
    {"kind = \"banked\"\nheader = 16\nwindow = 0x8000\nbank_size = 0x4000", 16, 16 + 0x4000, {2}},  // NES
};

struct Generated {
  TempFolder Folder;
  fs::path ProjectFile;
  std::vector<std::uint8_t> Rom;
};

// A ROM with a pointer table of `count` pointers at the start of one bank,
// its strings after it, a free region at the bank's end.
void Generate(Generated& g, const MapCase& map, int size, bool big, std::mt19937& rng) {
  const auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  g.Rom.assign(static_cast<std::size_t>(map.Header) + 0x40000, 0xEE);
  const int count = pick(3, 24);
  const std::int64_t table = map.RegionStart;
  const std::int64_t first = table + 0x100;
  const std::int64_t freeStart = map.RegionStart + 0x3000;
  std::string toml = "rom = \"game.rom\"\n[map]\n" + std::string(map.Toml) +
                     "\n[[table]]\nname = \"t\"\nfile = \"game.tbl\"\n[[block]]\nname = \"b\"\n"
                     "table = \"t\"\n";
  toml += "pointers = { offset = " + std::to_string(table) + ", count = " + std::to_string(count) +
          ", size = " + std::to_string(size) + ", endian = \"" + (big ? "big" : "little") +
          "\" }\nfree = [ { start = " + std::to_string(freeStart) +
          ", end = " + std::to_string(freeStart + 0x3FF) + " } ]\n";
  MapSettings settings;
  // The map as the project file says it, to write the pointers.
  if (std::string(map.Toml).find("lorom") != std::string::npos) settings.Kind = MapKind::kLoRom;
  if (std::string(map.Toml).find("hirom") != std::string::npos) settings.Kind = MapKind::kHiRom;
  if (std::string(map.Toml).find("banked") != std::string::npos) settings.Kind = MapKind::kBanked;
  if (std::string(map.Toml).find("base") != std::string::npos) settings.Base = 0x8000;
  if (std::string(map.Toml).find("fast") != std::string::npos) settings.Fast = true;
  if (std::string(map.Toml).find("window = 0x8000") != std::string::npos) settings.Window = 0x8000;
  settings.Header = map.Header;
  const AddressMap addresses(settings, static_cast<std::int64_t>(g.Rom.size()));
  PointerFormat format;
  format.Offset = table;
  format.Count = count;
  format.Size = size;
  format.Order = big ? Endian::kBig : Endian::kLittle;

  std::vector<std::int64_t> targets;
  std::int64_t at = first;
  for (int i = 0; i < count; ++i) {
    if (!targets.empty() && pick(0, 5) == 0) {  // a pointer sharing a string
      targets.push_back(targets[static_cast<std::size_t>(pick(0, i - 1))]);
      continue;
    }
    targets.push_back(at);
    for (int n = pick(1, 12); n > 0; --n) {
      const int kind = pick(0, 9);
      if (kind == 0) {
        g.Rom[static_cast<std::size_t>(at++)] = 0xF0;
        g.Rom[static_cast<std::size_t>(at++)] = static_cast<std::uint8_t>(pick(0, 255));
      } else if (kind == 1) {
        g.Rom[static_cast<std::size_t>(at++)] = 0x0A;
      } else {
        g.Rom[static_cast<std::size_t>(at++)] = static_cast<std::uint8_t>(kLetters[pick(0, 7)]);
      }
    }
    g.Rom[static_cast<std::size_t>(at++)] = 0x00;
  }
  for (int i = 0; i < count; ++i) {
    const auto value = PointerValueFor(format, addresses, targets[static_cast<std::size_t>(i)], 0);
    ASSERT_TRUE(value) << map.Toml << " size " << size;
    StorePointer(g.Rom, PointerOffset(format, i), size, format.Order, *value);
  }
  g.ProjectFile = g.Folder.Path() / "game.toml";
  WriteBytes(g.ProjectFile, toml);
  WriteBytes(g.Folder.Path() / "game.tbl", kTable);
  WriteBytes(g.Folder.Path() / "game.rom", std::string(g.Rom.begin(), g.Rom.end()));
}

void WriteScript(const OpenedProject& project, const BlockDump& dump, const BlockScript& script,
                 ScriptFormat format, const fs::path& folder) {
  fs::create_directories(folder);
  switch (format) {
    case ScriptFormat::kTsv:
      WriteBytes(folder / "b.tsv", WriteTsv(script));
      break;
    case ScriptFormat::kPo:
      WriteBytes(folder / "b.po", WritePo(script));
      break;
    case ScriptFormat::kAtlas: {
      AtlasBlock atlas{"b.atlas.tbl", project.Settings.Map, dump.Block->Pointers, {}};
      WriteBytes(folder / "b.txt", WriteAtlas(script, atlas));
      break;
    }
  }
}

// A random text the table can give, maybe without its end token ("AB"
// cannot be given: its bytes 41 42 read as <ab>).
std::string Translation(std::mt19937& rng) {
  const auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  std::string text;
  for (int n = pick(1, 20); n > 0; --n) {
    const int kind = pick(0, 12);
    text += kind == 0   ? "\n"
            : kind == 1 ? "<ab>"
            : kind == 2 ? "[c]<$7F>"
            : kind == 3 ? "<caballero>"
                        : std::string(1, kLetters[pick(0, 7)]);
  }
  // "CD" cannot be given either: 43 44 read as <caballero>.
  if (text.find("AB") != std::string::npos || text.find("CD") != std::string::npos)
    return Translation(rng);
  if (pick(0, 2)) text += "<fin>";
  return text;
}

TEST(Insertion, UnchangedScriptsGiveBackTheRomInEveryMapPointerAndScriptFormat) {
  std::mt19937 rng(11);
  for (const MapCase& map : kMaps) {
    for (int size : map.Sizes) {
      for (ScriptFormat format : {ScriptFormat::kTsv, ScriptFormat::kPo, ScriptFormat::kAtlas}) {
        Generated g;
        Generate(g, map, size, std::uniform_int_distribution<int>(0, 1)(rng) == 1, rng);
        const OpenedProject project = OpenProject(g.ProjectFile, {});
        const BlockDump dump = DumpBlock(project, project.Settings.Blocks[0]);
        WriteScript(project, dump, ScriptOf(dump), format, g.Folder.Path() / "s");
        const BlockScript read = ReadBlockScript(g.Folder.Path() / "s", "b");
        const Insertion insertion = InsertScripts(project, {dump}, {read});
        ASSERT_EQ(insertion.Rom, g.Rom) << map.Toml << ", " << size << " bytes, format "
                                        << static_cast<int>(format);
        EXPECT_EQ(insertion.Blocks[0].Changed, 0);
        EXPECT_EQ(insertion.Blocks[0].PointersRewritten, 0);
      }
    }
  }
}

TEST(Insertion, EditedScriptsReadBackThroughTheNewPointersAndTouchNothingElse) {
  std::mt19937 rng(5);
  int inserted = 0;
  for (int round = 0; round < 60; ++round) {
    const MapCase& map = kMaps[static_cast<std::size_t>(round) % std::size(kMaps)];
    const int size = map.Sizes[static_cast<std::size_t>(round / 6) % map.Sizes.size()];
    const auto format = static_cast<ScriptFormat>(round % 3);
    Generated g;
    Generate(g, map, size, round % 2 == 1, rng);
    const OpenedProject project = OpenProject(g.ProjectFile, {});
    const ProjectBlock& block = project.Settings.Blocks[0];
    const BlockDump dump = DumpBlock(project, block);
    BlockScript script = ScriptOf(dump);
    std::vector<std::string> expected;
    for (ScriptString& s : script.Strings) {
      if (std::uniform_int_distribution<int>(0, 1)(rng)) s.Translation = Translation(rng);
      std::string text = s.Translation.empty() ? s.Original : s.Translation;
      if (!text.ends_with("<fin>")) text += "<fin>";  // the end token is put back
      expected.push_back(text);
    }
    WriteScript(project, dump, script, format, g.Folder.Path() / "s");
    const BlockScript read = ReadBlockScript(g.Folder.Path() / "s", "b");
    Insertion insertion;
    try {
      insertion = InsertScripts(project, {dump}, {read});
    } catch (const AppError& e) {
      ASSERT_EQ(e.Number(), kErrNoRoom) << e.Description();
      continue;
    }
    ++inserted;
    // Every pointer reaches its string's new text.
    const AddressMap map2(project.Settings.Map, static_cast<std::int64_t>(insertion.Rom.size()));
    const std::vector<Pointer> pointers = ReadPointers(insertion.Rom, *block.Pointers, map2);
    const CompiledTable& table = project.TableOf(block);
    for (std::size_t i = 0; i < dump.Strings.size(); ++i) {
      for (std::int64_t at : dump.Strings[i].Pointers) {
        const auto p = std::find_if(pointers.begin(), pointers.end(),
                                    [&](const Pointer& q) { return q.Offset == at; });
        ASSERT_TRUE(p != pointers.end() && p->Target);
        const DecodedString s = DecodeString(table, insertion.Rom, *p->Target,
                                             {static_cast<std::int64_t>(insertion.Rom.size()) - 1,
                                              static_cast<std::int64_t>(insertion.Rom.size()), true});
        EXPECT_EQ(s.Text, expected[i]) << "round " << round << ", string " << i;
      }
    }
    // Nothing outside the strings' bytes, the free region and the pointers changed.
    std::set<std::int64_t> allowed;
    for (const DumpedString& s : dump.Strings)
      for (std::int64_t k = 0; k < s.Length; ++k)
        allowed.insert(s.Offset + k);
    for (const Region& r : block.Free)
      for (std::int64_t k = r.Start; k <= r.End; ++k)
        allowed.insert(k);
    for (const Pointer& p : dump.Pointers)
      for (int k = 0; k < block.Pointers->Size; ++k)
        allowed.insert(p.Offset + k);
    for (std::size_t k = 0; k < g.Rom.size(); ++k) {
      if (g.Rom[k] != insertion.Rom[k]) {
        ASSERT_TRUE(allowed.count(static_cast<std::int64_t>(k))) << k;
      }
    }
    // The patches rebuild the new ROM from the original.
    EXPECT_EQ(ApplyIps(g.Rom, MakeIps(g.Rom, insertion.Rom)), insertion.Rom);
    EXPECT_EQ(ApplyBps(g.Rom, MakeBps(g.Rom, insertion.Rom)), insertion.Rom);
  }
  EXPECT_GT(inserted, 40);
}

TEST(Insertion, RefusalsNameWhatIsWrongAndWriteNothing) {
  std::mt19937 rng(3);
  Generated g;
  Generate(g, kMaps[4], 2, false, rng);  // Game Boy, 2-byte pointers
  const OpenedProject project = OpenProject(g.ProjectFile, {});
  const BlockDump dump = DumpBlock(project, project.Settings.Blocks[0]);

  // A character no entry gives: block, id, column and the character.
  BlockScript script = ScriptOf(dump);
  script.File = "b.tsv";
  script.Strings[0].Translation = "AB\xC3\xB1";
  try {
    InsertScripts(project, {dump}, {script});
    FAIL();
  } catch (const AppError& e) {
    EXPECT_EQ(e.Number(), kErrCannotEncode);
    EXPECT_NE(e.Description().find("bloque b, texto 0, columna 3"), std::string::npos)
        << e.Description();
    EXPECT_NE(e.Description().find("\xC3\xB1"), std::string::npos);
  }
  // Too long for the space: bytes needed and available.
  script = ScriptOf(dump);
  script.Strings[0].Translation = std::string(0x2000, 'A');
  try {
    InsertScripts(project, {dump}, {script});
    FAIL();
  } catch (const AppError& e) {
    EXPECT_EQ(e.Number(), kErrNoRoom);
    EXPECT_NE(e.Description().find("bloque b: necesita"), std::string::npos) << e.Description();
  }
  // A row for a string the block does not have.
  script = ScriptOf(dump);
  script.Strings[0].Id = 999;
  EXPECT_EQ(ErrorOf([&] { InsertScripts(project, {dump}, {script}); }), kErrBadInput);
  // The first row refused is reported, whichever way: an unencodable text
  // before a row naming no string, and the other way round.
  script = ScriptOf(dump);
  ASSERT_GE(script.Strings.size(), 2u);
  script.Strings[0].Translation = "\xC3\xB1";
  script.Strings.back().Id = 999;
  EXPECT_EQ(ErrorOf([&] { InsertScripts(project, {dump}, {script}); }), kErrCannotEncode);
  script = ScriptOf(dump);
  script.Strings[0].Id = 999;
  script.Strings.back().Translation = "\xC3\xB1";
  EXPECT_EQ(ErrorOf([&] { InsertScripts(project, {dump}, {script}); }), kErrBadInput);
  // Two scripts for one block, or none.
  const fs::path folder = g.Folder.Path() / "two";
  WriteScript(project, dump, ScriptOf(dump), ScriptFormat::kTsv, folder);
  EXPECT_EQ(ErrorOf([&] { ReadBlockScript(g.Folder.Path() / "none", "b"); }), kErrBadInput);
  WriteScript(project, dump, ScriptOf(dump), ScriptFormat::kPo, folder);
  EXPECT_EQ(ErrorOf([&] { ReadBlockScript(folder, "b"); }), kErrBadInput);
}

}  // namespace
}  // namespace romscriber::testing
