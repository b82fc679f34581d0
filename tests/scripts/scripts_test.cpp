// Script files: each format gives back what it was given, refuses what it
// cannot read with file and line, and (PO) passes gettext's own check.
#include <gtest/gtest.h>

#include <cstdlib>
#include <functional>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "base/app_error.h"
#include "extract/temp_folder.h"
#include "scripts/atlas.h"
#include "scripts/format.h"
#include "scripts/po.h"
#include "scripts/tsv.h"

namespace romscriber::testing {
namespace {

// Pieces the random texts are made of: the characters each format escapes
// or splits at, Atlas's raw-byte notation and its command and comment
// starts, spaces, and non-Latin scripts.
const std::vector<std::string> kPieces = {"Hola",
                                          " ",
                                          "mundo",
                                          "\"",
                                          "\\",
                                          "\t",
                                          "\n",
                                          "\n\n",
                                          "<$0A>",
                                          "<$FF>",
                                          "#",
                                          "//",
                                          "\\n",
                                          "こんにちは",
                                          "Привет",
                                          "😀",
                                          "ñ",
                                          "  ",
                                          "a b c d e f g h i j k l m n o p q r s t u v w x y z"};

std::string RandomText(std::mt19937& rng, bool allowEmpty) {
  std::uniform_int_distribution<int> count(allowEmpty ? 0 : 1, 8);
  std::uniform_int_distribution<std::size_t> pick(0, kPieces.size() - 1);
  std::string text;
  for (int n = count(rng); n > 0; --n)
    text += kPieces[pick(rng)];
  return text;
}

BlockScript RandomScript(std::mt19937& rng, bool withPointers) {
  BlockScript script;
  script.Block = "dialogue";
  std::uniform_int_distribution<int> gap(0, 3), pointers(0, 3), coin(0, 1);
  int id = 0;
  std::int64_t offset = 0x1F400;
  for (int n = std::uniform_int_distribution<int>(1, 12)(rng); n > 0; --n) {
    StringRecord s;
    s.Id = id;
    id += 1 + gap(rng);
    s.Offset = offset;
    offset += 1 + gap(rng) * 0x4321;
    std::int64_t pointer = 0x1F000;
    for (int p = withPointers ? pointers(rng) : 0; p > 0; --p)
      s.Pointers.push_back(pointer += 2);
    s.Original = RandomText(rng, false);
    do {
      s.Translation = coin(rng) ? RandomText(rng, true) : "";
    } while (s.Translation == s.Original);
    script.Strings.push_back(s);
  }
  return script;
}

void ExpectSameStrings(const BlockScript& expected, const BlockScript& read, bool fuzzyKept) {
  ASSERT_EQ(read.Block, expected.Block);
  ASSERT_EQ(read.Strings.size(), expected.Strings.size());
  for (std::size_t i = 0; i < expected.Strings.size(); ++i) {
    const StringRecord& e = expected.Strings[i];
    const StringRecord& r = read.Strings[i];
    EXPECT_EQ(r.Id, e.Id);
    EXPECT_EQ(r.Pointers, e.Pointers);
    EXPECT_EQ(r.Offset, e.Offset);
    EXPECT_EQ(r.Original, e.Original);
    EXPECT_EQ(r.Translation, e.Translation);
    if (fuzzyKept) {
      EXPECT_EQ(r.Fuzzy, e.Fuzzy);
    }
    EXPECT_GT(r.Line, 0);
  }
}

BlockScript ReadPoText(const std::string& text) {
  return ReadPo(text, "dialogue.po", "dialogue");
}

// --- Round trips ---------------------------------------------------------------

TEST(ScriptRoundTrip, EachFormatGivesBackItsStrings) {
  std::mt19937 rng(20240611);
  const std::vector<MapSettings> maps = {{MapKind::kLinear, 0, 0, 0x4000, 0x4000, false},
                                         {MapKind::kLoRom, 0x200, 0, 0x4000, 0x4000, true},
                                         {MapKind::kHiRom, 0, 0, 0x4000, 0x4000, false},
                                         {MapKind::kBanked, 0, 0, 0x4000, 0x4000, false},
                                         {MapKind::kBanked, 16, 0, 0x4000, 0x8000, false}};
  for (int round = 0; round < 200; ++round) {
    SCOPED_TRACE("round " + std::to_string(round));
    const bool withPointers = round % 4 != 0;  // every fourth is a range block
    BlockScript script = RandomScript(rng, withPointers);
    for (StringRecord& s : script.Strings)
      s.Fuzzy = (s.Id % 3 == 1);
    ExpectSameStrings(script, ReadTsv(WriteTsv(script), "d.tsv", "dialogue"), false);
    ExpectSameStrings(script, ReadPoText(WritePo(script)), true);
    AtlasBlock block{"dialogue.atlas.tbl", AddressMap(maps[round % maps.size()], 0x1000000),
                     std::nullopt, {}};
    if (withPointers)
      block.Pointers = PointerFormat{
          0x1F000, 8, 2 + round % 3, Endian::kLittle, 0, round % 2 ? -0x10 : 0, std::nullopt};
    ExpectSameStrings(script, ReadAtlas(WriteAtlas(script, block), "d.txt", "dialogue"), false);
  }
}

TEST(ScriptRoundTrip, ReadersTakeWhatEditorsSave) {
  // A spreadsheet's byte-order mark, CR LF line ends and no last line end.
  const BlockScript tsv = ReadTsv(
      "\xEF\xBB\xBFid\tpointers\toffset\toriginal\ttranslation\r\n0\t1F000\t1F400\ta\\nb\tc\\\\",
      "d.tsv", "d");
  ASSERT_EQ(tsv.Strings.size(), 1u);
  EXPECT_EQ(tsv.Strings[0].Original, "a\nb");
  EXPECT_EQ(tsv.Strings[0].Translation, "c\\");
  EXPECT_EQ(tsv.Strings[0].Line, 2);
  // Atlas: a translator's own comment among the text lines is passed over.
  const BlockScript atlas = ReadAtlas("#JMP($10)\r\n// a\r\nb\r\n// nota\r\nc", "d.txt", "d");
  ASSERT_EQ(atlas.Strings.size(), 1u);
  EXPECT_EQ(atlas.Strings[0].Translation, "b\nc");
}

// --- Refusals --------------------------------------------------------------------

struct Refusal {
  const char* Name;
  std::function<void()> Read;
  const char* Where;  // the file and line the message must start with
};

TEST(ScriptRefusals, NameFileAndLine) {
  const std::string head = "id\tpointers\toffset\toriginal\ttranslation\n";
  const std::string poHead =
      "msgid \"\"\nmsgstr \"Content-Type: text/plain; charset=UTF-8\\n\"\n\n";
  const std::vector<Refusal> cases = {
      {"tsv header", [] { ReadTsv("id\toffset\n", "d.tsv", "d"); }, "d.tsv:1: "},
      {"tsv columns", [&] { ReadTsv(head + "0\t\t10\ta\n", "d.tsv", "d"); }, "d.tsv:2: "},
      {"tsv id", [&] { ReadTsv(head + "x\t\t10\ta\t\n", "d.tsv", "d"); }, "d.tsv:2: "},
      {"tsv repeated id", [&] { ReadTsv(head + "0\t\t10\ta\t\n0\t\t11\tb\t\n", "d.tsv", "d"); },
       "d.tsv:3: "},
      // Ids out of order are allowed; one repeated among them is not.
      {"tsv repeated id out of order",
       [&] {
         ReadTsv(head + "5\t\t10\ta\t\n2\t\t11\tb\t\n3\t\t12\tc\t\n2\t\t13\td\t\n", "d.tsv", "d");
       },
       "d.tsv:5: "},
      {"tsv hex", [&] { ReadTsv(head + "0\t1G\t10\ta\t\n", "d.tsv", "d"); }, "d.tsv:2: "},
      {"tsv escape", [&] { ReadTsv(head + "0\t\t10\ta\\r\t\n", "d.tsv", "d"); }, "d.tsv:2: "},
      {"tsv utf-8", [&] { ReadTsv(head + "0\t\t10\t\xC3\x28\t\n", "d.tsv", "d"); }, "d.tsv:2: "},
      // gettext's own message and line, the one msgfmt gives (after the broken string).
      {"po syntax", [&] { ReadPoText(poHead + "msgctxt \"d/0\"\nmsgid \"a\nmsgstr \"\"\n"); },
       ":6: gettext"},
      {"po other block",
       [&] { ReadPoText(poHead + "#. offset 10\nmsgctxt \"x/0\"\nmsgid \"a\"\nmsgstr \"\"\n"); },
       ":6: "},
      {"po bad id",
       [&] {
         ReadPoText(poHead + "#. offset 10\nmsgctxt \"dialogue/-1\"\nmsgid \"a\"\nmsgstr \"\"\n");
       },
       ":6: "},
      {"po no offset",
       [&] { ReadPoText(poHead + "msgctxt \"dialogue/0\"\nmsgid \"a\"\nmsgstr \"\"\n"); }, ":5: "},
      {"atlas text first", [] { ReadAtlas("#HDR($0)\nHola\n#JMP($10)\n", "d.txt", "d"); },
       "d.txt:2: "},
      {"atlas command", [] { ReadAtlas("#JMP($10)\n#HDR($0)\n", "d.txt", "d"); }, "d.txt:2: "},
      {"atlas number", [] { ReadAtlas("#JMP($1f)\n", "d.txt", "d"); }, "d.txt:1: "},
      {"atlas pointer", [] { ReadAtlas("#JMP($10)\n#WRITE(P9, $20)\n", "d.txt", "d"); },
       "d.txt:2: "},
      {"atlas hash line", [] { ReadAtlas("#JMP($10)\n// a\nb\n#W16($2)\n", "d.txt", "d"); },
       "d.txt:4: "},
  };
  for (const Refusal& c : cases) {
    SCOPED_TRACE(c.Name);
    try {
      c.Read();
      ADD_FAILURE() << "read without refusal";
    } catch (const AppError& e) {
      EXPECT_EQ(e.Number(), kErrBadInput);
      EXPECT_NE(e.Description().find(c.Where), std::string::npos) << e.Description();
    }
  }
}

TEST(ScriptRefusals, AScriptThatCannotBeReadIsNamedWithItsBlock) {
  TempFolder folder;
  for (const char* name : {"dialogo.tsv", "dialogo.po", "dialogo.txt"}) {
    SCOPED_TRACE(name);
    const std::filesystem::path missing = folder.Path() / name;
    try {
      ReadScriptFile(missing, "dialogo");
      ADD_FAILURE() << "read a file that is not there";
    } catch (const AppError& e) {
      EXPECT_LT(e.Number(), kErrBadInput);
      EXPECT_NE(e.Description().find(missing.string() + " (el guion del bloque dialogo)"),
                std::string::npos)
          << e.Description();
    }
  }
}

TEST(ScriptRefusals, PoCannotHoldAnEmptyOriginal) {
  BlockScript script{"d", {StringRecord{}}, {}};
  EXPECT_THROW(WritePo(script), AppError);
}

// --- PO through gettext ------------------------------------------------------------

TEST(PoFile, MsgfmtAcceptsIt) {
  if (std::system("msgfmt --version > /dev/null 2>&1") != 0) GTEST_SKIP() << "no msgfmt";
  BlockScript script{"dialogue", {}, {}};
  const std::vector<std::string> texts = {
      "\"Comillas\" y \\barras\\",
      "tab\taquí",
      "\nempieza y acaba en salto\n",
      "\n\n\n",
      "カタカナ と ひらがな",
      "Кириллица",
      "😀 emoji",
      std::string(200, 'x') + " " + std::string(100, 'y'),
      "una línea muy larga " + std::string(30, 'z') +
          " que gettext parte en varias al escribirla y que debe volver entera tras leerla"};
  for (std::size_t i = 0; i < texts.size(); ++i) {
    StringRecord s;
    s.Id = static_cast<int>(i);
    s.Offset = 0x2A000 + i;
    s.Original = texts[i];
    script.Strings.push_back(s);
  }
  TempFolder folder;
  const auto file = folder.Path() / "dialogue.po";
  WriteBytes(file, WritePo(script));
  const std::string command = "msgfmt --check-format --check-header --check-domain -o /dev/null '" +
                              file.string() + "' 2>/dev/null";
  EXPECT_EQ(std::system(command.c_str()), 0) << ReadBytes(file);
  // A translated, fuzzy copy passes too (the translation keeps the line ends).
  for (StringRecord& s : script.Strings)
    s.Translation = s.Original, s.Fuzzy = true;
  WriteBytes(file, WritePo(script));
  EXPECT_EQ(std::system(command.c_str()), 0) << ReadBytes(file);
  ExpectSameStrings(script, ReadPo(ReadBytes(file), file.string(), "dialogue"), true);
}

// libgettextpo reads the bytes from a file in memory under a name of its own;
// every refusal, gettext's own words included, names the file the caller
// gave, with the line gettext or the reader found.
TEST(PoFile, RefusalsNameTheFileGiven) {
  const std::string head = "msgid \"\"\nmsgstr \"Content-Type: text/plain; charset=UTF-8\\n\"\n\n";
  const std::vector<std::pair<std::string, std::string>> cases = {
      {head + "msgctxt \"d/0\"\nmsgid \"a\nmsgstr \"\"\n", "juego/dialogo.po:6: gettext"},
      {head + "#. offset 10\nmsgctxt \"d/0\"\nmsgid \"a\"\nmsgstr \"\"\n\n"
              "#. offset 11\nmsgctxt \"d/0\"\nmsgid \"b\"\nmsgstr \"\"\n",
       "juego/dialogo.po:11: "},
      {head + "msgctxt \"d/0\"\nmsgid \"\xC3\x28\"\nmsgstr \"\"\n", "juego/dialogo.po:5: "},
      {"domain \"otro\"\nmsgid \"a\"\nmsgstr \"\"\n", "juego/dialogo.po: "},
      {"msgid \"\"\nmsgstr \"Content-Type: text/plain; charset=ISO-8859-1\\n\"\n",
       "juego/dialogo.po: "}};
  for (const auto& [text, start] : cases) {
    SCOPED_TRACE(text);
    try {
      ReadPo(text, "juego/dialogo.po", "d");
      ADD_FAILURE() << "read without refusal";
    } catch (const AppError& e) {
      EXPECT_EQ(e.Number(), kErrBadInput);
      EXPECT_EQ(e.Description().rfind(start, 0), 0u) << e.Description();
      EXPECT_EQ(e.Description().find("/proc/"), std::string::npos) << e.Description();
    }
  }
}

}  // namespace
}  // namespace romscriber::testing
