// Atlas scripts against what Atlas does with them: its table lookup (the
// first line of a text wins, the longest text matches first, <$HH> gives a
// byte, script line ends give nothing) and its pointer arithmetic
// ((address of the type - offsetting), cut to the pointer's size).
#include <gtest/gtest.h>

#include <cstdint>
#include <map>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "scripts/atlas.h"

namespace romscriber::testing {
namespace {

// Atlas's encoding of a script text with a table copy.
std::string AtlasEncode(const std::string& table, std::string text) {
  std::map<std::string, std::string> bytesOf;
  for (int b = 0; b < 256; ++b) {
    char raw[8];
    std::snprintf(raw, sizeof raw, "<$%02X>", b);
    bytesOf.emplace(raw, std::string(1, static_cast<char>(b)));
  }
  std::istringstream lines(table);
  for (std::string line; std::getline(lines, line);) {
    if (line[0] == '/') line.erase(0, 1);
    const std::size_t eq = line.find('=');
    std::string key;
    for (std::size_t i = 0; i < eq; i += 2)
      key += static_cast<char>(std::stoi(line.substr(i, 2), nullptr, 16));
    bytesOf.emplace(line.substr(eq + 1), key);  // a text already there keeps its bytes
  }
  std::erase(text, '\n');
  std::string out;
  for (std::size_t pos = 0; pos < text.size();) {
    std::size_t length = text.size() - pos;
    while (length > 0 && !bytesOf.count(text.substr(pos, length)))
      --length;
    if (length == 0) return "missing at " + std::to_string(pos);
    out += bytesOf[text.substr(pos, length)];
    pos += length;
  }
  return out;
}

TEST(AtlasTable, InsertsTheBytesTheDumpReadFrom) {
  EntryList source;
  source.Entries = {
      {"\x81\x40", "A", EntryKind::kText, 0, 1},  // a longer key with the text of 41
      {"A", "A", EntryKind::kText, 0, 2},
      {"a", "a", EntryKind::kText, 0, 3},
      {"\xFE", "<br>", EntryKind::kLineBreak, 0, 4},  // a line break with a text
      {"\xFF", "<END>", EntryKind::kEnd, 0, 5},
      {"\x12", "[item]", EntryKind::kControl, 2, 6},  // its two bytes show raw
      {"\x07\x01", "", EntryKind::kText, 0, 7},     // shows its bytes raw
      {"\xFD", "", EntryKind::kLineBreak, 0, 8},      // nothing but a line break
      {"\xFC", "a", EntryKind::kLineBreak, 0, 9},     // told from 61 by the break only
  };
  DecodeStyle style;
  style.LineBreak = "\n";
  const CompiledTable compiled = CompiledTable::Compile(source, style);
  const std::vector<TableEntry>& entries = compiled.Entries();
  const std::string table = WriteAtlasTable(compiled);
  EXPECT_EQ(table.find("FD="), std::string::npos) << table;
  EXPECT_NE(table.find("/FF=<END>\n"), std::string::npos) << table;
  EXPECT_LT(table.find("41=A"), table.find("8140=A")) << table;
  const std::vector<std::string> limits = AtlasTableLimits(compiled);
  ASSERT_EQ(limits.size(), 2u);
  EXPECT_NE(limits[0].find("FD"), std::string::npos);
  EXPECT_NE(limits[1].find("61 y FC"), std::string::npos);

  // Random byte strings of the entries Atlas can tell apart, shown as a
  // dump shows them, come back byte for byte.
  std::mt19937 rng(7);
  for (int round = 0; round < 300; ++round) {
    std::string bytes, shown;
    for (int n = std::uniform_int_distribution<int>(1, 10)(rng); n > 0; --n) {
      const TableEntry& e = entries[std::uniform_int_distribution<int>(1, 6)(rng)];
      bytes += compiled.Key(e);
      shown += compiled.Shown(e);
      for (int p = 0; p < e.Params; ++p) {
        const int b = std::uniform_int_distribution<int>(0, 255)(rng);
        char raw[8];
        std::snprintf(raw, sizeof raw, "<$%02X>", b);
        bytes += static_cast<char>(b);
        shown += raw;
      }
    }
    EXPECT_EQ(AtlasEncode(table, shown), bytes) << shown;
  }
}

// Atlas's address of a file offset after the header, by addressing type.
std::int64_t AtlasTypeAddress(const std::string& type, std::int64_t r) {
  if (type == "HIROM") return r + 0xC00000;
  if (type == "LOROM00" || type == "LOROM80")
    return ((r / 0x8000) << 16) + 0x8000 + r % 0x8000 + (type == "LOROM80" ? 0x800000 : 0);
  return r;  // LINEAR
}

// The value each pointer write of a script gives, by pointer offset.
std::map<std::int64_t, std::int64_t> RunPointerWrites(const std::string& script) {
  std::int64_t header = 0, target = 0;
  std::string sma = "LINEAR";
  std::map<std::string, std::pair<std::string, std::int64_t>> custom;  // type, offsetting
  std::map<std::int64_t, std::int64_t> written;
  const auto number = [](const std::string& s) {
    const bool negative = s[1] == '-';
    const std::int64_t v = std::stoll(s.substr(negative ? 2 : 1), nullptr, 16);
    return negative ? -v : v;
  };
  std::istringstream lines(script);
  for (std::string line; std::getline(lines, line);) {
    char a[32], b[32], c[32];
    int bits = 0;
    if (std::sscanf(line.c_str(), "#HDR(%31[^)])", a) == 1) header = number(a);
    if (std::sscanf(line.c_str(), "#SMA(\"%31[^\"]\")", a) == 1) sma = a;
    if (std::sscanf(line.c_str(), "#JMP(%31[^)])", a) == 1) target = number(a);
    if (std::sscanf(line.c_str(), "#CREATEPTR(%31[^,], \"%31[^\"]\", %31[^,], %d)", a, b, c,
                    &bits) == 4) {
      // Atlas takes a name with only digits after its first character for a
      // number, and knows no 'K' in names.
      EXPECT_NE(std::string(a).find_first_not_of("0123456789", 1), std::string::npos) << a;
      EXPECT_EQ(std::string(a).find('K'), std::string::npos) << a;
      custom[a] = {b, number(c)};
    }
    const std::int64_t r = target - header;
    if (std::sscanf(line.c_str(), "#W%d(%31[^)])", &bits, a) == 2)
      written[number(a)] = AtlasTypeAddress(sma, r) & ((std::int64_t{1} << bits) - 1);
    if (std::sscanf(line.c_str(), "#WRITE(%31[^,], %31[^)])", a, b) == 2) {
      const auto& [type, offsetting] = custom.at(a);
      written[number(b)] = (AtlasTypeAddress(type, r) - offsetting) & 0xFFFFFFFF;
    }
  }
  return written;
}

TEST(AtlasScript, PointerWritesGiveTheValuesOfTheMap) {
  struct Case {
    const char* Name;
    MapSettings Map;
    int Size;
    std::int64_t Add;
    std::int64_t Target;
    std::uint32_t Expected;  // the pointer's value, from the map's formulas
  };
  const std::vector<Case> cases = {
      {"linear", {MapKind::kLinear, 0, 0}, 2, 0, 0x1234, 0x1234},
      {"linear with base", {MapKind::kLinear, 16, 0x8000}, 2, 0, 0x10 + 0x123, 0x8123},
      {"linear with add", {MapKind::kLinear, 0, 0}, 4, 0x100, 0x5000, 0x4F00},
      {"lorom copier header", {MapKind::kLoRom, 0x200}, 3, 0, 0x40200, 0x088000},
      {"lorom fast", {MapKind::kLoRom, 0, 0, 0x4000, 0x4000, true}, 3, 0, 0x18000, 0x838000},
      {"lorom 2-byte", {MapKind::kLoRom, 0}, 2, 0, 0x1A345, 0xA345},
      {"hirom with add", {MapKind::kHiRom, 0}, 3, -0x10, 0x12345, 0xC12355},
      {"game boy bank 0", {MapKind::kBanked, 0, 0, 0x4000, 0x4000}, 2, 0, 0x0123, 0x0123},
      {"game boy bank 1", {MapKind::kBanked, 0, 0, 0x4000, 0x4000}, 2, 0, 0x4123, 0x4123},
      {"game boy bank 2", {MapKind::kBanked, 0, 0, 0x4000, 0x4000}, 2, 0, 0x8123, 0x4123},
      {"game boy 3-byte", {MapKind::kBanked, 0, 0, 0x4000, 0x4000}, 3, 0, 0x14000, 0x054000},
      {"nes bank 1", {MapKind::kBanked, 16, 0, 0x4000, 0x8000}, 2, 0, 16 + 0x4123, 0x8123},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.Name);
    PointerFormat format;
    format.Offset = 0x100;
    format.Count = 1;
    format.Size = c.Size;
    format.Add = c.Add;
    const AtlasBlock block{"d.atlas.tbl", AddressMap(c.Map, 0x1000000), format, {}};
    StringRecord s;
    s.Offset = c.Target;
    s.Pointers = {0x100};
    s.Original = "a";
    const std::string script = WriteAtlas(BlockScript{"d", {s}, {}}, block);
    const auto written = RunPointerWrites(script);
    ASSERT_EQ(written.size(), 1u) << script;
    EXPECT_EQ(written.at(0x100) & ((std::int64_t{1} << (8 * c.Size)) - 1), c.Expected) << script;
  }
}

TEST(AtlasScript, SaysWhenOnlyRomscriberCanInsertIt) {
  StringRecord s;
  s.Original = "a";
  const std::string plain =
      WriteAtlas(BlockScript{"d", {s}, {}}, AtlasBlock{"d.atlas.tbl", AddressMap({}, 0x10000), std::nullopt, {}});
  s.Original = "# no es una orden\n   \nfin";
  EXPECT_EQ(plain.find("ATENCIÓN"), std::string::npos);
  const std::string escaped =
      WriteAtlas(BlockScript{"d", {s}, {}}, AtlasBlock{"d.atlas.tbl", AddressMap({}, 0x10000), std::nullopt, {"x"}});
  EXPECT_NE(escaped.find("ATENCIÓN"), std::string::npos);
  EXPECT_NE(escaped.find("\\# no es una orden\n\\   \nfin\n"), std::string::npos) << escaped;
}

}  // namespace
}  // namespace romscriber::testing
