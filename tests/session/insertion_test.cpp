// Insertion through a session: generated projects in every map and pointer
// format are dumped, written in each script format, read back and inserted.
#include "session/session.h"

#include <gtest/gtest.h>

#include <array>
#include <fstream>
#include <map>
#include <random>
#include <set>

#include "extract/engine.h"
#include "extract/temp_folder.h"
#include "hex/hex.h"
#include "insert/encoder.h"
#include "insert/encode_text.h"
#include "insert/patch.h"
#include "insert/patch_appliers.h"
#include "table/extended_loader.h"

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

// A range block "r" of strings one after another, each through its end
// token, at `start`; a free region of its own that insertion must not use.
std::string RangeBlock(Generated& g, std::int64_t start, std::mt19937& rng) {
  const auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  std::int64_t at = start;
  for (int n = pick(2, 12); n > 0; --n) {
    for (int k = pick(1, 10); k > 0; --k)
      g.Rom[static_cast<std::size_t>(at++)] = static_cast<std::uint8_t>(kLetters[pick(0, 7)]);
    g.Rom[static_cast<std::size_t>(at++)] = 0x00;
  }
  return "[[block]]\nname = \"r\"\ntable = \"t\"\nrange = { start = " + std::to_string(start) +
         ", end = " + std::to_string(at - 1) + " }\nfree = [ { start = " +
         std::to_string(start + 0x1800) + ", end = " + std::to_string(start + 0x18FF) + " } ]\n";
}

// A ROM with a pointer table of `count` pointers at the start of one bank,
// its strings after it, a free region at the bank's end; with `range`, also
// a range block between them.
void Generate(Generated& g, const MapCase& map, int size, bool big, std::mt19937& rng,
              bool range = false) {
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
  if (range) toml += RangeBlock(g, map.RegionStart + 0x2000, rng);
  g.ProjectFile = g.Folder.Path() / "game.toml";
  WriteBytes(g.ProjectFile, toml);
  WriteBytes(g.Folder.Path() / "game.tbl", kTable);
  WriteBytes(g.Folder.Path() / "game.rom", std::string(g.Rom.begin(), g.Rom.end()));
}

// The session's block scripts, as they stand, written into `folder`.
void WriteScripts(const Session& session, ScriptFormat format, const fs::path& folder) {
  fs::create_directories(folder);
  for (const ScriptFile& file : session.ScriptFiles(format))
    WriteBytes(folder / file.Name, file.Text);
}

// The session inserted; the refusals thrown as one error of the first one's
// number.
InsertOutcome InsertOrThrow(const Session& session) {
  InsertOutcome outcome = session.Insert().Outcome;
  if (!outcome.Refusals.empty())
    throw AppError(outcome.Refusals[0].Number, DescribeRefusals(outcome.Refusals));
  return outcome;
}

// The project opened again with the scripts of `folder`, inserted as above.
InsertOutcome InsertFrom(const fs::path& project, const fs::path& folder) {
  Session session = Session::Open(project, {});
  session.ReadScripts(folder, true);
  return InsertOrThrow(session);
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
        WriteScripts(Session::Open(g.ProjectFile, {}), format, g.Folder.Path() / "s");
        const InsertOutcome insertion = InsertFrom(g.ProjectFile, g.Folder.Path() / "s");
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
    Session session = Session::Open(g.ProjectFile, {});
    const ProjectBlock& block = session.Settings().Blocks[0];
    const SessionBlock& dump = session.Blocks()[0];
    std::vector<std::string> expected;
    for (StringRecord& s : session.Blocks()[0].Strings) {
      if (std::uniform_int_distribution<int>(0, 1)(rng)) s.Translation = Translation(rng);
      std::string text = s.Translation.empty() ? s.Original : s.Translation;
      if (!text.ends_with("<fin>")) text += "<fin>";  // the end token is put back
      expected.push_back(text);
    }
    WriteScripts(session, format, g.Folder.Path() / "s");
    InsertOutcome insertion;
    try {
      insertion = InsertFrom(g.ProjectFile, g.Folder.Path() / "s");
    } catch (const AppError& e) {
      ASSERT_EQ(e.Number(), kErrNoRoom) << e.Description();
      continue;
    }
    ++inserted;
    // Every pointer reaches its string's new text.
    const std::vector<Pointer> pointers = ReadPointers(insertion.Rom, *block.Pointers, session.Map());
    const CompiledTable& table = dump.Table->Table;
    for (std::size_t i = 0; i < dump.Strings.size(); ++i) {
      for (const PointerRef& at : dump.Strings[i].Pointers) {
        const auto p = std::find_if(pointers.begin(), pointers.end(),
                                    [&](const Pointer& q) { return q.Offset == at.Offset; });
        ASSERT_TRUE(p != pointers.end() && p->Target);
        const DecodedString s = DecodeString(table, insertion.Rom, *p->Target,
                                             {static_cast<std::int64_t>(insertion.Rom.size()) - 1,
                                              static_cast<std::int64_t>(insertion.Rom.size()), true});
        EXPECT_EQ(s.Text, expected[i]) << "round " << round << ", string " << i;
      }
    }
    // Nothing outside the strings' bytes, the free region and the pointers changed.
    std::set<std::int64_t> allowed;
    for (const StringRecord& s : dump.Strings)
      for (std::int64_t k = 0; k < s.Length; ++k)
        allowed.insert(s.Offset + k);
    for (const Region& r : block.Free)
      for (std::int64_t k = r.Start; k <= r.End; ++k)
        allowed.insert(k);
    for (const Pointer& p : dump.PointerTable)
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

// How many times `part` occurs in `text`.
std::size_t Occurrences(const std::string& text, const std::string& part) {
  std::size_t n = 0;
  for (std::size_t at = text.find(part); at != std::string::npos; at = text.find(part, at + 1))
    ++n;
  return n;
}

TEST(Insertion, RangeBlockStringsStayAtTheirOffsetsAndTooLongOnesAreAllRefused) {
  std::mt19937 rng(23);
  const auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  int inserted = 0;
  int refused = 0;
  for (int round = 0; round < 72; ++round) {
    const MapCase& map = kMaps[static_cast<std::size_t>(round) % std::size(kMaps)];
    const int size = map.Sizes[static_cast<std::size_t>(round / 6) % map.Sizes.size()];
    Generated g;
    Generate(g, map, size, round % 2 == 1, rng, true);
    Session session = Session::Open(g.ProjectFile, {});
    const ProjectBlock& pointed = session.Settings().Blocks[0];
    ASSERT_TRUE(session.Settings().Blocks[1].Range);
    const std::vector<SessionBlock> dumps = session.Blocks();
    // The range block's dump says once that its free region is not used.
    EXPECT_EQ(std::count_if(dumps[1].Warnings.begin(), dumps[1].Warnings.end(),
                            [](const std::string& w) { return w.find("zonas libres") != w.npos; }),
              1);
    std::vector<SessionBlock>& scripts = session.Blocks();
    // The pointed strings get short texts: they move up and their pointers change.
    for (StringRecord& s : scripts[0].Strings)
      if (pick(0, 1)) s.Translation = std::string(1, kLetters[pick(0, 7)]) + "<fin>";
    // The range strings get texts shorter than, as long as or longer than theirs.
    const CompiledTable& table = dumps[1].Table->Table;
    std::vector<std::string> expected;
    std::vector<std::int64_t> sizes;
    std::set<int> tooLong;
    for (StringRecord& s : scripts[1].Strings) {
      const StringRecord& d = dumps[1].Strings[static_cast<std::size_t>(s.Id)];
      // Every third round may give texts longer than their originals.
      const bool longer = round % 3 == 0;
      const int kind = pick(0, 5);
      if (kind == 0) {
        s.Translation = Translation(rng);
      } else if (kind > 1) {
        // Letters a byte each: from three fewer than the original's to as
        // many (or one more).
        const std::int64_t letters =
            std::max<std::int64_t>(1, d.Length - 1 + pick(-3, longer ? 1 : 0));
        do {
          s.Translation.clear();
          for (std::int64_t k = 0; k < letters; ++k)
            s.Translation += kLetters[pick(0, 7)];
        } while (s.Translation.find("AB") != std::string::npos ||
                 s.Translation.find("CD") != std::string::npos);
      }
      std::string text = s.Translation.empty() ? s.Original : s.Translation;
      if (!text.ends_with("<fin>")) text += "<fin>";
      std::int64_t bytes = d.Length;
      if (text != s.Original) {
        const auto encoded = EncodeText(table, text);
        ASSERT_TRUE(std::holds_alternative<std::string>(encoded)) << text;
        bytes = static_cast<std::int64_t>(std::get<std::string>(encoded).size());
      }
      if (bytes > d.Length && !longer) {
        // Too long for a round without longer texts: left untranslated.
        s.Translation.clear();
        text = s.Original;
        bytes = d.Length;
      }
      if (bytes > d.Length) tooLong.insert(s.Id);
      expected.push_back(text);
      sizes.push_back(bytes);
    }
    InsertOutcome insertion;
    try {
      insertion = InsertOrThrow(session);
    } catch (const AppError& e) {
      // Every string that does not fit its own bytes is named, and only those.
      ASSERT_FALSE(tooLong.empty()) << e.Description();
      ASSERT_EQ(e.Number(), kErrNoRoom);
      EXPECT_EQ(Occurrences(e.Description(), "bloque r, texto "), tooLong.size()) << e.Description();
      for (int id : tooLong) {
        const std::string line = "bloque r, texto " + std::to_string(id) + ": necesita " +
                                 std::to_string(sizes[static_cast<std::size_t>(id)]) +
                                 " bytes y tiene " +
                                 std::to_string(dumps[1].Strings[static_cast<std::size_t>(id)].Length);
        EXPECT_NE(e.Description().find(line), std::string::npos) << e.Description();
      }
      ++refused;
      continue;
    }
    ASSERT_TRUE(tooLong.empty());
    ++inserted;
    EXPECT_EQ(std::count_if(insertion.Blocks[1].Warnings.begin(), insertion.Blocks[1].Warnings.end(),
                            [](const std::string& w) { return w.find("zonas libres") != w.npos; }),
              1);
    const auto romSize = static_cast<std::int64_t>(insertion.Rom.size());
    std::set<std::int64_t> allowed;
    for (std::size_t i = 0; i < dumps[1].Strings.size(); ++i) {
      // Each range string reads back at its own offset; the bytes its
      // original took past the new ones keep their values.
      const StringRecord& d = dumps[1].Strings[i];
      const DecodedString back = DecodeString(table, insertion.Rom, d.Offset, {romSize - 1, romSize, true});
      EXPECT_EQ(back.Text, expected[i]) << "round " << round << ", string " << i;
      for (std::int64_t k = d.Offset; k < d.Offset + sizes[i]; ++k)
        allowed.insert(k);
    }
    // The pointed strings read back through their pointers, as before.
    const std::vector<Pointer> pointers = ReadPointers(insertion.Rom, *pointed.Pointers, session.Map());
    for (std::size_t i = 0; i < dumps[0].Strings.size(); ++i) {
      const StringRecord& s = scripts[0].Strings[i];
      std::string text = s.Translation.empty() ? s.Original : s.Translation;
      for (const PointerRef& at : dumps[0].Strings[i].Pointers) {
        const auto p = std::find_if(pointers.begin(), pointers.end(),
                                    [&](const Pointer& q) { return q.Offset == at.Offset; });
        ASSERT_TRUE(p != pointers.end() && p->Target);
        EXPECT_EQ(DecodeString(table, insertion.Rom, *p->Target, {romSize - 1, romSize, true}).Text,
                  text);
        for (int k = 0; k < pointed.Pointers->Size; ++k)
          allowed.insert(at.Offset + k);
      }
      for (std::int64_t k = 0; k < dumps[0].Strings[i].Length; ++k)
        allowed.insert(dumps[0].Strings[i].Offset + k);
    }
    // Nothing else changed: not the range block's free region, not the
    // rest of a range string's old bytes.
    for (std::size_t k = 0; k < g.Rom.size(); ++k) {
      if (g.Rom[k] != insertion.Rom[k]) {
        ASSERT_TRUE(allowed.count(static_cast<std::int64_t>(k))) << "round " << round << ", " << k;
      }
    }
  }
  EXPECT_GT(inserted, 15);
  EXPECT_GT(refused, 15);
}

// A range block through real tables, and a real ROM: every string is given
// the text of a string of the same or a smaller size, inserted, dumped
// again; each translation reads back at its own string's offset.
std::vector<std::uint8_t> ReadTestFile(const std::string& name) {
  std::ifstream in(fs::path(ROMSCRIBER_TEST_DATA) / name, std::ios::binary);
  return {std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
}

void SwapTextsAndInsert(const fs::path& projectFile, std::mt19937& rng, const std::string& what) {
  Session session = Session::Open(projectFile, {});
  const SessionBlock dump = session.Blocks()[0];
  ASSERT_GE(dump.Strings.size(), 5u) << what;
  SessionBlock& script = session.Blocks()[0];
  std::vector<std::size_t> from(dump.Strings.size());
  for (std::size_t i = 0; i < dump.Strings.size(); ++i) {
    std::vector<std::size_t> fits;
    for (std::size_t j = 0; j < dump.Strings.size(); ++j)
      if (dump.Strings[j].Length <= dump.Strings[i].Length && dump.Strings[j].Ended())
        fits.push_back(j);
    from[i] = dump.Strings[i].Ended() && !fits.empty()
                  ? fits[std::uniform_int_distribution<std::size_t>(0, fits.size() - 1)(rng)]
                  : i;
    if (from[i] != i) script.Strings[i].Translation = dump.Strings[from[i]].Original;
  }
  const InsertOutcome insertion = InsertOrThrow(session);
  // Dumped again from the new ROM: the string at each offset is the text given.
  const fs::path again = projectFile.parent_path() / "again";
  fs::create_directories(again);
  WriteBytes(again / "game.rom", std::string(insertion.Rom.begin(), insertion.Rom.end()));
  std::string toml;
  {
    std::ifstream in(projectFile, std::ios::binary);
    toml.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
  }
  WriteBytes(again / "game.toml", toml);
  fs::copy_file(projectFile.parent_path() / "game.tbl", again / "game.tbl",
                fs::copy_options::overwrite_existing);
  const Session newSession = Session::Open(again / "game.toml", {});
  std::map<std::int64_t, std::string> byOffset;
  for (const StringRecord& s : newSession.Blocks()[0].Strings)
    byOffset[s.Offset] = s.Original;
  for (std::size_t i = 0; i < dump.Strings.size(); ++i) {
    ASSERT_TRUE(byOffset.count(dump.Strings[i].Offset)) << what << ", string " << i;
    EXPECT_EQ(byOffset[dump.Strings[i].Offset], dump.Strings[from[i]].Original)
        << what << ", string " << i << " given string " << from[i];
  }
}

TEST(Insertion, RangeBlocksOfRealTablesAndARealRomKeepEveryTranslationAtItsOffset) {
  std::mt19937 rng(41);
  // Concentration Room's dialogue, one text after another, through a table
  // of its plain ASCII.
  {
    TempFolder folder;
    const std::vector<std::uint8_t> rom = ReadTestFile("croom.nes");
    ASSERT_EQ(rom.size(), 24592u);
    std::string tbl = "*0A\n/00=<end>\n";
    for (int b = 0x20; b <= 0x7E; ++b)
      tbl += OffsetHex(b) + "=" + std::string(1, static_cast<char>(b)) + "\n";
    WriteBytes(folder.Path() / "game.tbl", tbl);
    WriteBytes(folder.Path() / "game.rom", std::string(rom.begin(), rom.end()));
    WriteBytes(folder.Path() / "game.toml",
               "rom = \"game.rom\"\n[map]\nkind = \"banked\"\nheader = 16\nwindow = 0x8000\n"
               "bank_size = 0x4000\n[[table]]\nname = \"t\"\nfile = \"game.tbl\"\n[[block]]\n"
               "name = \"dialogo\"\ntable = \"t\"\nrange = { start = 0x24C2, end = 0x27C4 }\n");
    for (int round = 0; round < 5; ++round)
      SwapTextsAndInsert(folder.Path() / "game.toml", rng, "croom.nes, round " + std::to_string(round));
  }
  // Real tables over generated text: random entries of each, closed by an
  // end token of a byte that no key of the table holds.
  for (const char* name : {"mgsgblz.tbl", "otogirisou-font.tbl", "zelda-redux.tbl",
                           "telefang-patch.tbl", "ffiv-psp-ptbr.tbl"}) {
    TempFolder folder;
    const std::vector<std::uint8_t> file = ReadTestFile(name);
    const std::string text(file.begin(), file.end());
    const EntryList table = LoadExtendedTable(text, "", name, {});
    // The end byte begins no key and stands inside none, so that no key
    // reads across an end token into the bytes after it.
    std::array<bool, 256> taken{};
    std::vector<const Entry*> entries;
    for (const Entry& e : table.Entries) {
      for (std::size_t k = 0; k + 1 < e.Key.size() || k == 0; ++k)
        taken[static_cast<std::uint8_t>(e.Key[k])] = true;
      if (e.Kind != EntryKind::kEnd) entries.push_back(&e);
    }
    int end = 0;
    while (end < 256 && taken[static_cast<std::size_t>(end)]) ++end;
    ASSERT_LT(end, 256) << name;
    std::string endKey;
    AppendByteHex(endKey, static_cast<std::uint8_t>(end));
    WriteBytes(folder.Path() / "game.tbl", text + "\n/" + endKey + "=<fin>\n");
    std::vector<std::uint8_t> rom(0x8000);
    for (auto& b : rom)
      b = static_cast<std::uint8_t>(std::uniform_int_distribution<int>(0, 255)(rng));
    std::size_t at = 0x1000;
    for (int n = 0; n < 40; ++n) {
      for (int k = std::uniform_int_distribution<int>(1, 12)(rng); k > 0; --k) {
        const Entry& e =
            *entries[std::uniform_int_distribution<std::size_t>(0, entries.size() - 1)(rng)];
        for (char c : e.Key)
          rom[at++] = static_cast<std::uint8_t>(c);
        for (int p = 0; p < e.Params; ++p)
          rom[at++] = static_cast<std::uint8_t>(std::uniform_int_distribution<int>(0, 255)(rng));
      }
      rom[at++] = static_cast<std::uint8_t>(end);
    }
    WriteBytes(folder.Path() / "game.rom", std::string(rom.begin(), rom.end()));
    WriteBytes(folder.Path() / "game.toml",
               "rom = \"game.rom\"\n[[table]]\nname = \"t\"\nfile = \"game.tbl\"\n[[block]]\n"
               "name = \"textos\"\ntable = \"t\"\nrange = { start = 0x1000, end = " +
                   std::to_string(at - 1) + " }\n");
    SwapTextsAndInsert(folder.Path() / "game.toml", rng, name);
  }
}

TEST(Insertion, RefusalsNameWhatIsWrongAndWriteNothing) {
  std::mt19937 rng(3);
  Generated g;
  Generate(g, kMaps[4], 2, false, rng);  // Game Boy, 2-byte pointers
  const Session opened = Session::Open(g.ProjectFile, {});
  ASSERT_GE(opened.Blocks()[0].Strings.size(), 3u);

  // Every character no entry gives: block, id, column and the character.
  Session session = opened;
  session.Blocks()[0].ScriptFile = "b.tsv";
  session.Blocks()[0].Strings[0].Translation = "AB\xC3\xB1";
  session.Blocks()[0].Strings[0].Line = 2;
  session.Blocks()[0].Strings[2].Translation = "\xC3\xA9";
  InsertOutcome o = session.Insert().Outcome;
  ASSERT_EQ(o.Refusals.size(), 2u);
  EXPECT_TRUE(o.Rom.empty());
  EXPECT_EQ(o.Refusals[0].Number, kErrCannotEncode);
  EXPECT_EQ(o.Refusals[0].Id, 0);
  EXPECT_EQ(o.Refusals[0].Block, "b");
  EXPECT_TRUE(o.Refusals[0].Text.starts_with("b.tsv:2: bloque b, texto 0, columna 3")) << o.Refusals[0].Text;
  EXPECT_NE(o.Refusals[0].Text.find("\xC3\xB1"), std::string::npos);
  EXPECT_EQ(o.Refusals[1].Id, 2);
  EXPECT_NE(o.Refusals[1].Text.find("texto 2, columna 1"), std::string::npos) << o.Refusals[1].Text;

  // Too long for the space: bytes needed and available.
  session = opened;
  session.Blocks()[0].Strings[0].Translation = std::string(0x2000, 'A');
  o = session.Insert().Outcome;
  ASSERT_EQ(o.Refusals.size(), 1u);
  EXPECT_TRUE(o.Rom.empty());
  EXPECT_EQ(o.Refusals[0].Number, kErrNoRoom);
  EXPECT_EQ(o.Refusals[0].Id, -1);
  EXPECT_NE(DescribeRefusals(o.Refusals).find("bloque b: necesita"), std::string::npos);

  // A script whose rows are not the block's strings is refused with its
  // file and line before anything else, and nothing of it is merged.
  const auto refusal = [&](auto&& change) {
    BlockScript script{"b", opened.Blocks()[0].Strings, "b.tsv"};
    for (std::size_t i = 0; i < script.Strings.size(); ++i) {
      script.Strings[i].Line = static_cast<int>(i) + 2;
      script.Strings[i].Translation = "\xC3\xB1";  // no entry gives it: not looked at
    }
    change(script);
    Session s = opened;
    try {
      s.MergeScript(s.Blocks()[0], script);
    } catch (const AppError& e) {
      EXPECT_EQ(s.Blocks()[0].Strings[0].Translation, "");
      EXPECT_EQ(e.Place().File, "b.tsv");
      return e.Number() == kErrBadInput ? e.Description() : "another error";
    }
    return std::string("accepted");
  };
  EXPECT_TRUE(refusal([](BlockScript& s) { s.Strings[1].Id = 999; }).starts_with("b.tsv:3: el texto 999"));
  EXPECT_TRUE(refusal([](BlockScript& s) { s.Strings[1].Original += "x"; }).starts_with("b.tsv:3: el original"));
  EXPECT_TRUE(refusal([](BlockScript& s) { s.Strings[1].Pointers.push_back(0x7FFF); }).starts_with("b.tsv:3: los punteros"));
  EXPECT_TRUE(refusal([](BlockScript& s) { s.Strings[2].Id = 1; s.Strings[2].Offset = s.Strings[1].Offset; s.Strings[2].Original = s.Strings[1].Original; s.Strings[2].Pointers = s.Strings[1].Pointers; }).starts_with("b.tsv:4: el texto 1 aparece dos veces"));
  EXPECT_EQ(refusal([](BlockScript&) {}), "accepted");

  // Two scripts for one block, or none.
  const fs::path folder = g.Folder.Path() / "two";
  WriteScripts(opened, ScriptFormat::kTsv, folder);
  session = opened;
  EXPECT_EQ(ErrorOf([&] { session.ReadScripts(g.Folder.Path() / "none", true); }), kErrBadInput);
  session.ReadScripts(g.Folder.Path() / "none", false);  // the studio's way: nothing to read
  WriteScripts(opened, ScriptFormat::kPo, folder);
  EXPECT_EQ(ErrorOf([&] { session.ReadScripts(folder, true); }), kErrBadInput);
}

}  // namespace
}  // namespace romscriber::testing
