// Line widths against a literal reading: keys matched longest first from a
// map, the text split at its line breaks, each entry's width summed onto the
// line where it starts; and the limits as an insertion reports them.
#include <gtest/gtest.h>

#include <map>
#include <random>

#include "base/text.h"
#include "extract/temp_folder.h"
#include "project/widths.h"
#include "session/session.h"

namespace romscriber::testing {
namespace {

struct RandomTable {
  EntryList List;
  std::map<std::string, int> Width;  // from the widths file; keys it does not list are absent
  std::optional<int> Default;
};

RandomTable MakeTable(std::mt19937& rng) {
  const auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  const std::string texts[] = {"a", "bc", "é", "日本", "x\ny", "\n", "<c>", "zz\n"};
  RandomTable t;
  std::map<std::string, bool> used;
  for (int n = pick(3, 25); n > 0; --n) {
    std::string key;
    for (int k = pick(1, 3); k > 0; --k)
      key += static_cast<char>(pick(0, 5));
    if (used[key]) continue;
    used[key] = true;
    Entry e;
    e.Key = key;
    const int kind = pick(0, 9);
    e.Kind = kind == 0 ? EntryKind::kLineBreak
             : kind == 1 ? EntryKind::kEnd
             : kind == 2 ? EntryKind::kControl
                         : EntryKind::kText;
    e.Text = texts[pick(0, 7)];
    if (e.Kind == EntryKind::kControl) e.Params = pick(0, 2);
    t.List.Entries.push_back(e);
    if (pick(0, 2) > 0) t.Width[key] = pick(0, 16);
  }
  if (pick(0, 1)) t.Default = pick(0, 9);
  return t;
}

// Widths by the rules, read with a map of keys.
std::vector<int> Literal(const RandomTable& t, const std::string& bytes) {
  std::map<std::string, const Entry*> byKey;
  for (const Entry& e : t.List.Entries)
    byKey[e.Key] = &e;
  std::vector<int> widths(1, 0);
  std::size_t pos = 0;
  while (pos < bytes.size()) {
    const Entry* match = nullptr;
    for (std::size_t n = std::min<std::size_t>(3, bytes.size() - pos); n > 0 && !match; --n) {
      const auto it = byKey.find(bytes.substr(pos, n));
      if (it != byKey.end()) match = it->second;
    }
    if (!match) {
      ++pos;
      continue;
    }
    pos += match->Key.size();
    if (match->Kind == EntryKind::kEnd) break;
    if (match->Kind == EntryKind::kLineBreak) {
      widths.push_back(0);
      continue;
    }
    if (match->Kind == EntryKind::kControl) {
      pos += static_cast<std::size_t>(match->Params);
      continue;
    }
    // An empty text shows the key raw; every text here has characters.
    const auto fixed = t.Width.count(match->Key) ? std::optional<int>(t.Width.at(match->Key)) : t.Default;
    std::size_t from = 0;
    int line = static_cast<int>(widths.size()) - 1;
    widths[static_cast<std::size_t>(line)] += fixed.value_or(0);
    for (std::size_t at = match->Text.find('\n'); at != std::string::npos;
         at = match->Text.find('\n', from)) {
      if (!fixed) widths.back() += static_cast<int>(CodePoints(match->Text.substr(from, at - from)));
      widths.push_back(0);
      from = at + 1;
    }
    if (!fixed) widths.back() += static_cast<int>(CodePoints(match->Text.substr(from)));
  }
  return widths;
}

TEST(LineWidths, AgreeWithALiteralReadingOverRandomTablesAndBytes) {
  std::mt19937 rng(17);
  for (int round = 0; round < 400; ++round) {
    const RandomTable t = MakeTable(rng);
    ProjectTable settings;
    settings.DefaultWidth = t.Default;
    OpenedTable opened{&settings, CompiledTable::Compile(t.List, ProjectStyle()),
                       {}};
    for (const TableEntry& e : opened.Table.Entries()) {
      const auto it = t.Width.find(std::string(opened.Table.Key(e)));
      opened.Widths.push_back(it == t.Width.end() ? -1 : it->second);
    }
    for (int text = 0; text < 10; ++text) {
      std::string bytes;
      for (int n = std::uniform_int_distribution<int>(0, 30)(rng); n > 0; --n)
        bytes += static_cast<char>(std::uniform_int_distribution<int>(0, 6)(rng));
      const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.data());
      ASSERT_EQ(LineWidths(opened, std::span(data, bytes.size())), Literal(t, bytes))
          << "round " << round << ", text " << text;
    }
  }
}

TEST(LineLimits, InsertionWarnsForEachLineAndTextAndStrictRefuses) {
  TempFolder folder;
  // A: 8 wide, B: 4, the rest their characters; line break FE, end 00.
  WriteBytes(folder.Path() / "t.tbl", "41=A\n42=B\n43=C\n20= \n*FE\n/00=<fin>\n4344=<cd>\n");
  WriteBytes(folder.Path() / "anchos.txt", "# anchos\n41=8\n\n42 = 4\n");
  std::string rom(0x400, '\xFF');
  const std::string strings = std::string("A C\xFE" "C\0", 6) + std::string("C\0", 2);
  rom.replace(0x100, strings.size(), strings);
  rom[0] = 0x01;  // pointers at 0, big-endian: 0x100, 0x106
  rom[1] = 0x00;
  rom[2] = 0x01;
  rom[3] = 0x06;
  WriteBytes(folder.Path() / "g.rom", rom);
  const std::string project =
      "rom = 'g.rom'\n[[table]]\nname = 't'\nfile = 't.tbl'\nwidths = 'anchos.txt'\n"
      "[[block]]\nname = 'b'\ntable = 't'\npointers = { offset = 0, count = 2, size = 2, "
      "endian = 'big' }\nline_limit = 12\nmax_lines = 2\nfree = [ { start = 0x200, end = 0x2FF } ]\n";
  WriteBytes(folder.Path() / "p.toml", project);
  Session session = Session::Open(folder.Path() / "p.toml", {});
  ASSERT_EQ(session.Blocks()[0].Strings.size(), 2u);
  EXPECT_TRUE(session.Insert().LineWarnings.empty());
  // "AB C" is 8 + 4 + 1 + 1 = 14 wide; three lines of two.
  session.Blocks()[0].Strings[1].Translation = "C\nAB C\nC<fin>";
  const SessionInsertion warned = session.Insert();
  ASSERT_TRUE(warned.Outcome.Refusals.empty());
  EXPECT_EQ(warned.LineWarnings,
            (std::vector<std::string>{"bloque b, texto 1, línea 2: ancho 14 de 12",
                                      "bloque b, texto 1: 3 líneas de 2"}));
  const SessionInsertion strict = session.Insert(nullptr, true);
  EXPECT_TRUE(strict.Outcome.Rom.empty());
  EXPECT_EQ(strict.Outcome.Refusals.size(), 2u);
  // The measurer gives the same widths as the text is typed.
  Measurer measurer(session);
  EXPECT_EQ(measurer.Measure(0, 1, "C\nAB C\nC<fin>").LineWidths, (std::vector<int>{1, 14, 1}));

  // A widths file naming a key the table lacks refuses the project at its line.
  WriteBytes(folder.Path() / "anchos.txt", "41=8\n4F=2\n");
  try {
    Session::Open(folder.Path() / "p.toml", {});
    FAIL();
  } catch (const AppError& e) {
    EXPECT_EQ(e.Number(), kErrBadInput);
    EXPECT_EQ(e.Place().Line, 2);
    EXPECT_NE(e.Description().find("anchos.txt:2: la clave 4F no está en la tabla t"),
              std::string::npos)
        << e.Description();
  }
}

TEST(WidthsFile, RefusesWhatIsNotKeyEqualsWidthNamingTheLine) {
  const struct {
    const char* Text;
    int Line;
  } cases[] = {{"41=8\n41=9\n", 2}, {"41=8\nzz=1\n", 2}, {"\n\n41\n", 3},
               {"41=-1\n", 1},      {"41=8x\n", 1},      {"41=99999999\n", 1},
               {"4=1\n", 1},        {"=3\n", 1},         {"41=1\r\xFF\n", 2}};
  for (const auto& c : cases) {
    try {
      ReadWidths(c.Text, "w.txt");
      ADD_FAILURE() << c.Text;
    } catch (const AppError& e) {
      EXPECT_EQ(e.Place().Line, c.Line) << c.Text << e.Description();
    }
  }
  const std::vector<KeyWidth> read = ReadWidths("\xEF\xBB\xBF# c\r\n4142 = 12\r\n\r\naa=0", "w.txt");
  ASSERT_EQ(read.size(), 2u);
  EXPECT_EQ(read[0].Key, "AB");
  EXPECT_EQ(read[0].Width, 12);
  EXPECT_EQ(read[0].Line, 2);
  EXPECT_EQ(read[1].Key, "\xAA");
  EXPECT_EQ(read[1].Line, 4);
}

}  // namespace
}  // namespace romscriber::testing
