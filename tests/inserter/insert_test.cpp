// romscriber-insert's front end on the sample project: what the project
// file gives when the command does not say it, what it refuses, and that a
// refusal writes nothing.
#include "inserter/insert.h"

#include <gtest/gtest.h>

#include <sstream>

#include "base/file_io.h"
#include "dump/dump.h"
#include "extract/temp_folder.h"
#include "insert/patch_appliers.h"

namespace romscriber::testing {
namespace {

namespace fs = std::filesystem;

const fs::path kSample = fs::path(ROMSCRIBER_EXAMPLES) / "project";

class InsertTest : public ::testing::Test {
 protected:
  // The sample beside a project file that adds `extra` to the sample's.
  void SetUp() override {
    for (const char* name : {"juego.sfc", "juego.tbl"})
      fs::copy_file(kSample / name, Path(name));
  }
  void Project(const std::string& top, const std::string& end = "") {
    std::string text = ReadWholeFile(kSample / "juego.toml");
    text.insert(text.find("[map]"), top);
    WriteBytes(Path("juego.toml"), text + end);
  }
  fs::path Path(const std::string& name) const { return m_dir.Path() / name; }
  int Dump(std::optional<fs::path> folder = std::nullopt) {
    ProjectDumpOptions options;
    options.Project = Path("juego.toml");
    options.Out = folder;
    const std::atomic<bool> stop{false};
    std::ostringstream out, err;
    return RunProjectDump(options, stop, out, err, false);
  }
  int Insert(InsertOptions options) {
    options.Project = Path("juego.toml");
    m_out.str("");
    m_err.str("");
    return RunInsert(options, m_out, m_err);
  }
  // Gives string `id` of the dumped dialogue TSV the translation `text`.
  void Translate(int id, const std::string& text) {
    std::string tsv = ReadWholeFile(Path("trad/dialogo.tsv"));
    std::size_t row = tsv.find("\n" + std::to_string(id) + "\t") + 1;
    const std::size_t end = tsv.find('\n', row);
    tsv.insert(end, text);
    WriteBytes(Path("trad/dialogo.tsv"), tsv);
  }
  std::vector<std::uint8_t> Bytes(const std::string& name) const {
    const std::string s = ReadWholeFile(Path(name));
    return {s.begin(), s.end()};
  }

  TempFolder m_dir;
  std::ostringstream m_out, m_err;
};

TEST_F(InsertTest, TheProjectGivesScriptsFormatRomAndPatches) {
  Project("scripts = \"trad\"\nformat = \"tsv\"\n",
          "\n[output]\nrom = \"juego-en.sfc\"\nips = \"parches/juego-en.ips\"\nbps = \"juego-en.bps\"\n");
  fs::create_directories(Path("parches"));
  ASSERT_EQ(Dump(), 0);  // into trad/, as TSV
  ASSERT_TRUE(fs::exists(Path("trad/dialogo.tsv")));
  Translate(0, "Rey:\\nWelcome, knight.<fin>");
  ASSERT_EQ(Insert({}), 0) << m_err.str();
  EXPECT_NE(m_out.str().find("ROM nueva en " + Path("juego-en.sfc").string()), std::string::npos);
  const auto original = Bytes("juego.sfc");
  const auto translated = Bytes("juego-en.sfc");
  EXPECT_NE(original, translated);
  EXPECT_EQ(ApplyIps(original, ReadWholeFile(Path("parches/juego-en.ips"))), translated);
  EXPECT_EQ(ApplyBps(original, ReadWholeFile(Path("juego-en.bps"))), translated);
  // An --out of the command's own writes no patch it does not name.
  InsertOptions options;
  options.Out = Path("otra.sfc");
  fs::remove(Path("juego-en.bps"));
  ASSERT_EQ(Insert(options), 0) << m_err.str();
  EXPECT_EQ(Bytes("otra.sfc"), translated);
  EXPECT_FALSE(fs::exists(Path("juego-en.bps")));
}

TEST_F(InsertTest, WithoutOptionOrKeyTheCommandIsRefusedWithExit2) {
  Project("");
  ASSERT_EQ(Dump(Path("Scripts")), 0);  // as Atlas
  InsertOptions options;
  options.Out = Path("nueva.sfc");
  EXPECT_EQ(Insert(options), 2);
  EXPECT_NE(m_err.str().find("Falta --scripts"), std::string::npos) << m_err.str();
  options = {};
  options.Scripts = Path("Scripts");
  EXPECT_EQ(Insert(options), 2);
  EXPECT_NE(m_err.str().find("Falta --out"), std::string::npos) << m_err.str();
  options.Out = Path("juego.sfc");  // the original ROM
  EXPECT_EQ(Insert(options), 2);
  options.Out = Path("nueva.sfc");
  EXPECT_EQ(Insert(options), 0) << m_err.str();
  EXPECT_EQ(Bytes("nueva.sfc"), Bytes("juego.sfc"));
}

TEST_F(InsertTest, RefusalsAndStrictLineLimitsWriteNothing) {
  Project("scripts = \"trad\"\nformat = \"tsv\"\n",
          "line_limit = 20\nmax_lines = 2\n[output]\nrom = \"nueva.sfc\"\nbps = \"nueva.bps\"\n");
  ASSERT_EQ(Dump(), 0);
  // A menu text may not grow: it stays at its own offset.
  const std::string dumped = ReadWholeFile(Path("trad/menus.tsv"));
  std::string menus = dumped;
  menus.insert(menus.find('\n', menus.find("\n0\t") + 1), "Un texto de menú demasiado largo<fin>");
  WriteBytes(Path("trad/menus.tsv"), menus);
  EXPECT_EQ(Insert({}), 1);
  EXPECT_NE(m_err.str().find("bloque menus, texto 0: necesita"), std::string::npos) << m_err.str();
  EXPECT_FALSE(fs::exists(Path("nueva.sfc")));
  EXPECT_FALSE(fs::exists(Path("nueva.bps")));
  // Lines past the menus' limit: warnings, or with --strict refusals.
  std::string lines = dumped;
  lines.insert(lines.find('\n', lines.find("\n1\t") + 1), "A<br>\\nB<br>\\nC<fin>");
  WriteBytes(Path("trad/menus.tsv"), lines);
  EXPECT_EQ(Insert({}), 0) << m_err.str();
  EXPECT_NE(m_err.str().find("Aviso: bloque menus, texto 1: 3 líneas de 2"), std::string::npos)
      << m_err.str();
  fs::remove(Path("nueva.sfc"));
  fs::remove(Path("nueva.bps"));
  InsertOptions strict;
  strict.Strict = true;
  EXPECT_EQ(Insert(strict), 1);
  EXPECT_NE(m_err.str().find("bloque menus, texto 1: 3 líneas de 2"), std::string::npos) << m_err.str();
  EXPECT_FALSE(fs::exists(Path("nueva.sfc")));
  EXPECT_FALSE(fs::exists(Path("nueva.bps")));
}

}  // namespace
}  // namespace romscriber::testing
