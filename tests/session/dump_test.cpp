// Property tests of project dumps by pointers: random strings encoded through
// a random extended table are laid into a ROM on every kind of map, reached
// by pointers of every format (some sharing a string, some outside the
// image), and written out with a project file; opening a session must
// give every string back once, with its text, place, length and pointers,
// and a warning for each pointer that leads nowhere.
#include "session/session.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <span>

#include "extract/temp_folder.h"

namespace romscriber::testing {
namespace {

namespace fs = std::filesystem;

std::string Hex(std::int64_t value) {
  char text[24];
  std::snprintf(text, sizeof text, "%llX", static_cast<unsigned long long>(value));
  return text;
}

std::string Raw(std::uint8_t byte) {
  char text[8];
  std::snprintf(text, sizeof text, "<$%02X>", byte);
  return text;
}

// --- A random extended table and its tokens --------------------------------

enum class Kind { kText, kBreak, kControl, kEnd };

struct Token {
  std::string Key;
  std::string Shown;  // what the dump shows for the key (parameters apart)
  Kind What = Kind::kText;
  int Params = 0;
};

// Keys never begin one another: one byte in 20-7F, two bytes after E0 or E1,
// three after E2; F0 and F1 are control codes, FE breaks a line, FF ends.
struct RandomTable {
  std::map<std::string, Token> ByKey;
  std::vector<const Token*> Texts;  // kText and kBreak tokens, to build strings from
  const Token* End = nullptr;
  std::vector<const Token*> Controls;
  std::string File;  // the table file, UTF-8, LF
};

std::string RandomText(std::mt19937& random) {
  static const char* const kPieces[] = {"a", "e", "o",  "s", "n", " ", "ñ", "é", "¡",
                                        "!", "=", "日", "#", ";", "<", "ü", "1", "Z"};
  std::string text;
  for (int n = 1 + static_cast<int>(random() % 4); n > 0; --n)
    text += kPieces[random() % std::size(kPieces)];
  return text;
}

std::string KeyHex(const std::string& key, std::mt19937& random) {
  std::string hex;
  for (const char c : key)
    hex += Hex(0x100 + static_cast<std::uint8_t>(c)).substr(1);
  // Either letter case is a key.
  if (random() % 3 == 0) std::transform(hex.begin(), hex.end(), hex.begin(), ::tolower);
  return hex;
}

RandomTable MakeTable(std::mt19937& random) {
  RandomTable t;
  std::string file = "# random table\n";
  const auto add = [&](Token token, const std::string& line) {
    t.ByKey.emplace(token.Key, std::move(token));
    file += line + "\n";
    if (random() % 6 == 0) file += random() % 2 ? "; a comment\n" : "\n";
  };
  std::vector<int> singles;
  for (int b = 0x20; b < 0x80; ++b)
    if (random() % 3 == 0) singles.push_back(b);
  for (const int b : singles) {
    const std::string key(1, static_cast<char>(b));
    // An empty text shows the key's own byte.
    const std::string text = random() % 10 == 0 ? "" : RandomText(random);
    add({key, text.empty() ? Raw(static_cast<std::uint8_t>(b)) : text},
        KeyHex(key, random) + "=" + text);
  }
  for (int i = 0; i < 24; ++i) {
    const int first = 0xE0 + static_cast<int>(random() % 3);
    std::string key(1, static_cast<char>(first));
    for (int n = first == 0xE2 ? 2 : 1; n > 0; --n)
      key += static_cast<char>(random());
    if (t.ByKey.count(key)) continue;  // each key once
    const std::string text = RandomText(random) + RandomText(random);
    add({key, text}, KeyHex(key, random) + "=" + text);
  }
  add({"\xFE", "<br>\n", Kind::kBreak}, "*FE=<br>");
  add({"\xFF", "<fin>", Kind::kEnd}, "/" + KeyHex("\xFF", random) + "=<fin>");
  add({"\xF0", "[c]", Kind::kControl, 1}, "$F0=[c],1");
  add({"\xF1", "[m]", Kind::kControl, 2}, "$F1=[m], lo , hi");
  for (const auto& [key, token] : t.ByKey) {
    if (token.What == Kind::kText || token.What == Kind::kBreak) t.Texts.push_back(&token);
    if (token.What == Kind::kControl) t.Controls.push_back(&token);
    if (token.What == Kind::kEnd) t.End = &token;
  }
  t.File = file;
  return t;
}

// A string as bytes and as the dump shows it.
struct Encoded {
  std::string Bytes;
  std::string Text;
};

void Append(Encoded& e, const Token& token, std::mt19937& random) {
  e.Bytes += token.Key;
  e.Text += token.Shown;
  for (int i = 0; i < token.Params; ++i) {
    const auto param = static_cast<std::uint8_t>(random());  // any byte, FF too
    e.Bytes += static_cast<char>(param);
    e.Text += Raw(param);
  }
}

// `tokens` items at random: texts mostly, control codes, and end tokens when
// `ends` (strings of until = "next" may hold them).
Encoded RandomString(const RandomTable& t, std::mt19937& random, int tokens, bool ends) {
  Encoded e;
  for (int i = 0; i < tokens; ++i) {
    const unsigned pick = random() % 20;
    if (pick == 0) {
      Append(e, *t.Controls[random() % t.Controls.size()], random);
    } else if (pick == 1 && ends) {
      Append(e, *t.End, random);
    } else {
      Append(e, *t.Texts[random() % t.Texts.size()], random);
    }
  }
  return e;
}

// The literal reading of the bytes [offset, bound) up to an end token: the
// longest key that fits before the bound, parameters up to the bound, a byte
// without a key raw.
Encoded ReferenceDecode(const RandomTable& t, const std::string& rom, std::int64_t offset,
                        std::int64_t bound) {
  Encoded e;
  std::int64_t at = offset;
  while (at < bound) {
    const Token* token = nullptr;
    for (std::int64_t size = std::min<std::int64_t>(3, bound - at); size > 0 && !token; --size) {
      const auto it = t.ByKey.find(rom.substr(at, size));
      if (it != t.ByKey.end()) token = &it->second;
    }
    if (!token) {
      e.Text += Raw(static_cast<std::uint8_t>(rom[at++]));
      continue;
    }
    at += static_cast<std::int64_t>(token->Key.size());
    e.Text += token->Shown;
    for (int i = 0; i < token->Params && at < bound; ++i)
      e.Text += Raw(static_cast<std::uint8_t>(rom[at++]));
    if (token->What == Kind::kEnd) break;
  }
  e.Bytes = rom.substr(offset, at - offset);
  return e;
}

// --- Maps and pointer tables ------------------------------------------------

struct MapCase {
  const char* Name;
  MapSettings Settings;
  std::string Toml;  // the [map] table
  std::int64_t RomSize;
  std::int64_t TextStart, TextEnd;  // where strings go: one bank, away from its edges
  std::int64_t AwayTable;           // a place for a pointer table in another bank
  std::int64_t TextBank;            // the bank 2-byte pointers name to reach the strings
};

std::vector<MapCase> MapCases() {
  MapSettings linear{MapKind::kLinear, 0x10, 0xF000};
  MapSettings slow{MapKind::kLoRom, 512};
  MapSettings fast{MapKind::kLoRom, 512};
  fast.Fast = true;
  MapSettings hirom{MapKind::kHiRom};
  MapSettings gameBoy{MapKind::kBanked};
  MapSettings nes{MapKind::kBanked, 16};
  nes.Window = 0x8000;
  return {
      // Addresses F000-17FEF: bank 0 is the first 0x1000 bytes, bank 1 ends
      // short of FFFF.
      {"linear", linear, "kind = 'linear'\nheader = 0x10\nbase = 0xF000\n", 0x9000, 0x2000, 0x6000,
       0x20, 1},
      {"lorom", slow, "kind = 'lorom'\nheader = 512\n", 512 + 0x20000, 512 + 0x10400, 512 + 0x17C00,
       512 + 0x8100, 0x02},
      {"lorom-fast", fast, "kind = 'lorom'\nheader = 512\nfast = true\n", 512 + 0x20000,
       512 + 0x10400, 512 + 0x17C00, 512 + 0x8100, 0x82},
      // Bank C1 is half in the file.
      {"hirom", hirom, "kind = 'hirom'\n", 0x18000, 0x10400, 0x17C00, 0x100, 0xC1},
      {"game-boy", gameBoy, "kind = 'banked'\n", 0x10000, 0x8200, 0xBE00, 0x4100, 2},
      {"nes", nes, "kind = 'banked'\nheader = 16\nwindow = 0x8000\nbank_size = 0x4000\n",
       16 + 0x10000, 16 + 0x4200, 16 + 0x7E00, 16 + 0x100, 1},
  };
}

// One of four kinds of pointer, the rest at random: 0 two bytes in the
// table's own bank, 1 two bytes naming their bank, 2 three bytes, 3 four.
PointerFormat RandomFormat(std::mt19937& random, int kind) {
  PointerFormat f;
  f.Size = std::max(2, kind);
  f.Order = random() % 2 ? Endian::kBig : Endian::kLittle;
  f.Stride = f.Size + (random() % 2 ? 0 : 1 + static_cast<int>(random() % 3));
  f.Add = random() % 2 ? 0 : static_cast<std::int64_t>(random() % 0x101) - 0x80;
  if (kind == 1) f.Bank = 0;  // filled in by the map case
  return f;
}

// The address a stored value stands for, as the pointer format reads it.
std::int64_t AddressOf(const PointerFormat& f, std::int64_t tableBank, std::uint32_t value) {
  if (f.Size == 2) return ((f.Bank.value_or(tableBank) << 16) | value) + f.Add;
  return static_cast<std::int64_t>(value) + f.Add;
}

// --- A scenario: ROM, table and project file written out, and what the dump
// must give ----------------------------------------------------------------

struct Expected {
  std::int64_t Offset = 0;
  std::string Text;
  std::int64_t Length = 0;
  std::vector<std::int64_t> Pointers;
  bool Cut = false;
};

struct Scenario {
  fs::path Project;
  std::vector<Expected> Strings;    // by offset
  std::vector<std::int64_t> Nulls;  // offsets of pointers outside the image
};

struct Options {
  bool UntilNext = false;
  std::int64_t MaxLength = 0;  // 0: the default
};

Scenario Make(const fs::path& folder, const MapCase& m, PointerFormat f, const Options& o,
              std::mt19937& random) {
  fs::create_directories(folder);
  const AddressMap map(m.Settings, m.RomSize);
  const RandomTable table = MakeTable(random);
  std::string rom(static_cast<std::size_t>(m.RomSize), '\0');
  for (char& c : rom)
    c = static_cast<char>(random());

  const int strings = 8 + static_cast<int>(random() % 12);
  const int nulls = 1 + static_cast<int>(random() % 3);
  // Each string is reached by one to three pointers.
  std::vector<int> targets;
  for (int s = 0; s < strings; ++s)
    for (int n = 1 + (random() % 4 == 0 ? 1 + static_cast<int>(random() % 2) : 0); n > 0; --n)
      targets.push_back(s);
  for (int n = 0; n < nulls; ++n)
    targets.push_back(-1);
  std::shuffle(targets.begin(), targets.end(), random);
  f.Count = static_cast<std::int64_t>(targets.size());
  const std::int64_t tableBytes = (f.Count - 1) * f.Stride + f.Size;

  // A pointer table among the strings' bank, or elsewhere when 2-byte
  // pointers name their bank (and at random for the others).
  const bool home = f.Size == 2 ? !f.Bank.has_value() : random() % 2 == 0;
  if (f.Bank) f.Bank = m.TextBank;
  f.Offset = home ? m.TextStart : m.AwayTable;
  std::int64_t at =
      home ? m.TextStart + tableBytes + static_cast<std::int64_t>(random() % 16) : m.TextStart;

  Scenario sc;
  const std::int64_t maxLength = o.MaxLength ? o.MaxLength : 4096;
  for (int s = 0; s < strings; ++s) {
    const bool last = s == strings - 1;
    // With until = "next" strings touch and only the last has an end token.
    Encoded e =
        RandomString(table, random, 1 + static_cast<int>(random() % 12), o.UntilNext && !last);
    if (!o.UntilNext || last) Append(e, *table.End, random);
    rom.replace(at, e.Bytes.size(), e.Bytes);
    Expected x{at, e.Text, static_cast<std::int64_t>(e.Bytes.size()), {}, false};
    if (x.Length > maxLength) {
      const Encoded cut = ReferenceDecode(table, rom, at, at + maxLength);
      x = {at, cut.Text, static_cast<std::int64_t>(cut.Bytes.size()), {}, true};
    }
    sc.Strings.push_back(x);
    at += static_cast<std::int64_t>(e.Bytes.size()) +
          (o.UntilNext ? 0 : static_cast<std::int64_t>(random() % 4));
  }
  EXPECT_LE(at, m.TextEnd) << "the strings overflow their bank";

  const std::int64_t tableBank = map.ToAddress(f.Offset) >> 16;
  const std::uint32_t allOnes = f.Size == 4 ? 0xFFFFFFFFu : (1u << (8 * f.Size)) - 1;
  for (std::size_t i = 0; i < targets.size(); ++i) {
    const std::int64_t offset = PointerOffset(f, static_cast<std::int64_t>(i));
    std::uint32_t value = 0;
    if (targets[i] < 0) {
      // The first of 0, all ones and random values whose address the map
      // puts outside the image.
      std::vector<std::uint32_t> candidates = {0, allOnes};
      for (int n = 0; n < 64; ++n)
        candidates.push_back(static_cast<std::uint32_t>(random()) & allOnes);
      const auto outside = std::find_if(candidates.begin(), candidates.end(), [&](std::uint32_t v) {
        return !map.ToOffset(AddressOf(f, tableBank, v));
      });
      EXPECT_NE(outside, candidates.end()) << "no value leads outside the image";
      value = outside != candidates.end() ? *outside : 0;
      sc.Nulls.push_back(offset);
    } else {
      Expected& target = sc.Strings[targets[i]];
      // Bits the map ignores are kept from the old value: mirrors reach the
      // same string.
      const auto v = PointerValueFor(f, map, target.Offset, static_cast<std::uint32_t>(random()));
      EXPECT_TRUE(v.has_value()) << "string " << Hex(target.Offset) << " cannot be reached";
      value = v.value_or(0);
      target.Pointers.push_back(offset);
    }
    StorePointer(std::span(reinterpret_cast<std::uint8_t*>(rom.data()), rom.size()), offset, f.Size,
                 f.Order, value);
  }
  for (Expected& x : sc.Strings)
    std::sort(x.Pointers.begin(), x.Pointers.end());

  std::string project = "rom = 'juego.bin'\n[map]\n" + m.Toml +
                        "[[table]]\nname = 't'\nfile = 'tabla.tbl'\n[[block]]\nname = 'b'\n"
                        "table = 't'\npointers = { offset = 0x" +
                        Hex(f.Offset) + ", count = " + std::to_string(f.Count) +
                        ", size = " + std::to_string(f.Size) + ", endian = '" +
                        (f.Order == Endian::kBig ? "big" : "little") +
                        "', stride = " + std::to_string(f.Stride) +
                        ", add = " + std::to_string(f.Add) +
                        (f.Bank ? ", bank = 0x" + Hex(*f.Bank) : std::string()) + " }\n";
  if (o.UntilNext) project += "until = 'next'\n";
  if (o.MaxLength) project += "max_length = " + std::to_string(o.MaxLength) + "\n";
  WriteBytes(folder / "juego.bin", rom);
  WriteBytes(folder / "tabla.tbl", table.File);
  sc.Project = folder / "juego.toml";
  WriteBytes(sc.Project, project);
  return sc;
}

// Dumps the scenario's block and compares everything with what was laid out.
void Check(const Scenario& sc) {
  std::vector<std::string> tableWarnings;
  const Session session =
      Session::Open(sc.Project, [&](const std::string& w) { tableWarnings.push_back(w); });
  EXPECT_TRUE(tableWarnings.empty()) << tableWarnings.front();
  const SessionBlock& dump = session.Blocks().at(0);
  const CompiledTable& table = dump.Table->Table;
  SCOPED_TRACE(ReadBytes(sc.Project));

  ASSERT_EQ(dump.Strings.size(), sc.Strings.size());
  std::size_t cuts = 0;
  for (std::size_t i = 0; i < sc.Strings.size(); ++i) {
    const Expected& x = sc.Strings[i];
    const StringRecord& s = dump.Strings[i];
    SCOPED_TRACE("string at " + Hex(x.Offset));
    EXPECT_EQ(s.Id, static_cast<int>(i));
    EXPECT_EQ(s.Offset, x.Offset);
    EXPECT_EQ(s.Original, x.Text);
    EXPECT_EQ(s.Length, x.Length);
    std::vector<std::int64_t> pointers;
    for (const PointerRef& p : s.Pointers) {
      pointers.push_back(p.Offset);
      // The value is the one the ROM holds.
      const auto stored = std::find_if(dump.PointerTable.begin(), dump.PointerTable.end(),
                                       [&](const Pointer& q) { return q.Offset == p.Offset; });
      ASSERT_NE(stored, dump.PointerTable.end());
      EXPECT_EQ(p.Value, stored->Value);
    }
    EXPECT_EQ(pointers, x.Pointers);
    // The end token that closes it is the entry whose key ends its bytes.
    if (s.Ended()) {
      const TableEntry& end = table.Entries()[static_cast<std::size_t>(s.EndEntry)];
      EXPECT_EQ(end.Kind, TokenKind::kEnd);
      const std::span<const std::uint8_t> rom = session.Rom();
      EXPECT_EQ(table.Key(end), std::string(reinterpret_cast<const char*>(rom.data()) + s.Offset +
                                                s.Length - end.KeySize,
                                            end.KeySize));
    }
    if (x.Cut) {
      ++cuts;
      EXPECT_FALSE(s.Ended());
      EXPECT_TRUE(std::any_of(dump.Warnings.begin(), dump.Warnings.end(), [&](const auto& w) {
        return w.find("el texto en " + Hex(x.Offset) + " se corta en " +
                      Hex(x.Offset + x.Length)) != std::string::npos;
      })) << "no warning for the cut";
    }
  }
  EXPECT_EQ(dump.Warnings.size(), sc.Nulls.size() + cuts);
  for (const std::int64_t offset : sc.Nulls) {
    EXPECT_TRUE(std::any_of(dump.Warnings.begin(), dump.Warnings.end(),
                            [&](const auto& w) {
                              return w.find("el puntero en " + Hex(offset) + " ") !=
                                     std::string::npos;
                            }))
        << "no warning for the pointer at " << Hex(offset);
  }
}

TEST(DumpBlock, PointedStringsOnEveryMapAndPointerFormatComeBackOnce) {
  // Every string ends at its end token; some pointers share one, some lead
  // outside the image.
  TempFolder folder;
  std::mt19937 random(7);
  int n = 0;
  for (const MapCase& m : MapCases()) {
    for (int round = 0; round < 8; ++round) {
      SCOPED_TRACE(std::string(m.Name) + " round " + std::to_string(round));
      Check(Make(folder.Path() / std::to_string(n++), m, RandomFormat(random, round % 4), {},
                 random));
    }
  }
}

TEST(DumpBlock, UntilNextEndsEachStringAtTheNextOneAndTheLastAtItsEndToken) {
  // Strings touch; end tokens inside them do not stop them.
  TempFolder folder;
  std::mt19937 random(11);
  int n = 0;
  for (const MapCase& m : MapCases()) {
    for (int round = 0; round < 4; ++round) {
      SCOPED_TRACE(std::string(m.Name) + " round " + std::to_string(round));
      Check(Make(folder.Path() / std::to_string(n++), m, RandomFormat(random, round), {true, 0},
                 random));
    }
  }
}

TEST(DumpBlock, MaxLengthCutsAStringWithAWarningAndNoKeyCrossesTheCut) {
  // Strings longer than max_length end there, as the literal reading of the
  // bytes before the cut gives them.
  TempFolder folder;
  std::mt19937 random(13);
  int n = 0, cut = 0;
  for (const MapCase& m : MapCases()) {
    for (int round = 0; round < 4; ++round) {
      SCOPED_TRACE(std::string(m.Name) + " round " + std::to_string(round));
      const Scenario sc = Make(folder.Path() / std::to_string(n++), m, RandomFormat(random, round),
                               {false, 6 + static_cast<std::int64_t>(random() % 10)}, random);
      cut += static_cast<int>(std::count_if(sc.Strings.begin(), sc.Strings.end(),
                                            [](const Expected& x) { return x.Cut; }));
      Check(sc);
    }
  }
  EXPECT_GT(cut, 20) << "too few strings were cut to tell";
}

}  // namespace
}  // namespace romscriber::testing
