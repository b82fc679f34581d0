// Project files changed as text: what is added reads back as meant, and the
// rest of the file stays exactly as written.
#include "project/project_text.h"

#include <gtest/gtest.h>

#include <random>

#include "base/app_error.h"

namespace romscriber::testing {
namespace {

// Texts of project files of every shape the keys may come in: comments,
// blank lines, CR LF, no line end at the end, tables before blocks, none.
std::string RandomProjectText(std::mt19937& rng) {
  const auto pick = [&](int lo, int hi) { return std::uniform_int_distribution<int>(lo, hi)(rng); };
  const char* const eol = pick(0, 3) == 0 ? "\r\n" : "\n";
  std::string text;
  if (pick(0, 1)) text += std::string("# un proyecto") + eol;
  text += std::string("rom = 'juego \"1\".sfc'") + eol;
  if (pick(0, 1)) text += std::string("  # con espacios") + eol + eol;
  if (pick(0, 1)) text += std::string("[map]") + eol + "kind = 'lorom'" + eol;
  if (pick(0, 1)) {
    text += std::string("[[table]]") + eol + "name = 't'" + eol + "file = 't.tbl'" + eol;
    if (pick(0, 1))
      text += std::string("  [[block]]") + eol + "name = 'b'" + eol + "table = 't'" + eol +
              "range = { start = 0, end = 15 }" + eol;
  }
  if (pick(0, 2) == 0 && !text.empty()) text.erase(text.size() - std::string(eol).size());
  return text;
}

TEST(ProjectText, AddedKeysReadBackAndTheRestStaysAsWritten) {
  std::mt19937 rng(5);
  for (int round = 0; round < 300; ++round) {
    const std::string text = RandomProjectText(rng);
    const Project before = ParseProject(text, "/p/juego.toml");
    const std::string added = "scripts = " + TomlString("trad\\uc\"ción") + "\nformat = \"po\"\n";
    const std::string changed =
        WithTopLevelKeys(text, {{"scripts", TomlString("trad\\uc\"ción")}, {"format", "\"po\""}});
    const Project after = ParseProject(changed, "/p/juego.toml");
    EXPECT_EQ(after.Scripts, std::filesystem::path("/p/trad\\uc\"ción")) << changed;
    EXPECT_EQ(after.Format, ScriptFormat::kPo);
    EXPECT_EQ(after.Rom, before.Rom);
    EXPECT_EQ(after.Tables.size(), before.Tables.size());
    EXPECT_EQ(after.Blocks.size(), before.Blocks.size());
    EXPECT_EQ(after.Map.Kind, before.Map.Kind);
    // Taking the added lines (and the line end or blank line around them)
    // out gives the text back.
    const std::size_t at = changed.find(added);
    ASSERT_NE(at, std::string::npos) << changed;
    std::string rest = changed;
    rest.erase(at, added.size());
    EXPECT_TRUE(rest == text || rest == text + "\n" ||
                (rest.size() == text.size() + 1 && rest.substr(0, at) + rest.substr(at + 1) == text))
        << "[" << text << "] -> [" << changed << "]";

    const std::string block =
        "[[block]]\nname = \"punteros_10\"\ntable = \"t\"\npointers = { offset = 0x10, count = 2, "
        "size = 2 }\n";
    if (before.Tables.empty()) continue;
    const std::string appended = WithStanza(text, block);
    EXPECT_EQ(appended.substr(0, text.size()), text);
    const Project more = ParseProject(appended, "/p/juego.toml");
    ASSERT_EQ(more.Blocks.size(), before.Blocks.size() + 1) << appended;
    EXPECT_EQ(more.Blocks.back().Name, "punteros_10");
    EXPECT_EQ(more.Blocks.back().Pointers->Count, 2);
  }
}

TEST(ProjectText, NewProjectsLoadAsTheDialogSaid) {
  for (int kind = 0; kind < 4; ++kind) {
    NewProject p;
    p.Rom = "roms/My \"Game\".sfc";
    p.Table = "C:\\tablas\\juego.tbl";
    p.Format = kind % 2 ? TableFormat::kClassic : TableFormat::kExtended;
    p.Encoding = kind % 2 ? "" : "shift_jis";
    p.Map.Kind = static_cast<MapKind>(kind);
    p.Map.Header = kind == 3 ? 16 : 512 * (kind % 2);
    if (kind == 3) p.Map.Window = 0x8000;
    p.Block = "dialogo";
    if (kind < 2) {
      p.Pointers = PointerFormat{0x1F000, 57, 3, Endian::kBig, 4, -2, std::nullopt};
    } else {
      p.Range = Region{0x2000, 0x20FF, {}};
    }
    const Project read = ParseProject(NewProjectText(p), "/x/p.toml");
    EXPECT_EQ(read.Rom, std::filesystem::path("/x/roms/My \"Game\".sfc"));
    EXPECT_EQ(read.Tables.at(0).File, std::filesystem::path("/x/C:\\tablas\\juego.tbl"));
    EXPECT_EQ(read.Tables[0].Format, p.Format);
    EXPECT_EQ(read.Tables[0].Encoding, p.Encoding);
    EXPECT_EQ(read.Map.Kind, p.Map.Kind);
    EXPECT_EQ(read.Map.Header, p.Map.Header);
    EXPECT_EQ(read.Map.Window, p.Map.Window);
    const ProjectBlock& b = read.Blocks.at(0);
    EXPECT_EQ(b.Name, "dialogo");
    EXPECT_EQ(b.Table, "main");
    if (p.Pointers) {
      EXPECT_EQ(b.Pointers->Offset, 0x1F000);
      EXPECT_EQ(b.Pointers->Count, 57);
      EXPECT_EQ(b.Pointers->Size, 3);
      EXPECT_EQ(b.Pointers->Order, Endian::kBig);
      EXPECT_EQ(b.Pointers->Stride, 4);
      EXPECT_EQ(b.Pointers->Add, -2);
    } else {
      EXPECT_EQ(b.Range->Start, 0x2000);
      EXPECT_EQ(b.Range->End, 0x20FF);
    }
  }
}

}  // namespace
}  // namespace romscriber::testing
