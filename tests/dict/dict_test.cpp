// romscriber-dict's front end on the sample project: what it writes and
// prints, what the project gives when the command does not say it, that an
// insertion through the enlarged table takes the bytes it promised, its
// refusals and exit codes, and that a refusal or a stop writes nothing.
#include "dict/dict.h"
#include "fit/dictionary.h"

#include <gtest/gtest.h>

#include <sstream>

#include "base/file_io.h"
#include "dump/dump.h"
#include "extract/temp_folder.h"
#include "inserter/insert.h"
#include "process.h"
#include "table/extended_loader.h"

namespace romscriber::testing {
namespace {

namespace fs = std::filesystem;

const fs::path kSample = fs::path(ROMSCRIBER_EXAMPLES) / "project";

TEST(DictCodes, ListsAndRangesOfOneByteCodes) {
  EXPECT_EQ(ParseCodeList("80-83"), (std::vector<std::uint8_t>{0x80, 0x81, 0x82, 0x83}));
  EXPECT_EQ(ParseCodeList("fe-FF, 10,0f-10"), (std::vector<std::uint8_t>{0x0F, 0x10, 0xFE, 0xFF}));
  EXPECT_EQ(ParseCodeList("7"), (std::vector<std::uint8_t>{0x07}));
  for (const char* bad : {"", "80-", "-80", "BF-80", "80-100", "G0", "80,,81", "0x80", "80-81-82"})
    EXPECT_FALSE(ParseCodeList(bad).has_value()) << bad;
}

class DictTest : public ::testing::Test {
 protected:
  // The sample, dumped to TSV in trad/, with some dialogue translated.
  void SetUp() override {
    for (const char* name : {"juego.sfc", "juego.tbl", "juego.toml"})
      fs::copy_file(kSample / name, Path(name));
    ProjectDumpOptions dump;
    dump.Project = Path("juego.toml");
    dump.Out = Path("trad");
    dump.Format = "tsv";
    const std::atomic<bool> stop{false};
    std::ostringstream out, err;
    ASSERT_EQ(RunProjectDump(dump, stop, out, err, false), 0) << err.str();
    Translate(0, "Rey:\\nWelcome to the castle, young knight.<fin>");
    Translate(1, "Rey:\\nThe dragon took the princess<br>\\nLeonor. Bring her back!<fin>");
    Translate(2, "Thanks.");
    Translate(5, "Guardia:\\nThe king is waiting for the young knight.<fin>");
  }
  fs::path Path(const std::string& name) const { return m_dir.Path() / name; }
  void Translate(int id, const std::string& text) {
    std::string tsv = ReadWholeFile(Path("trad/dialogo.tsv"));
    const std::size_t row = tsv.find("\n" + std::to_string(id) + "\t") + 1;
    tsv.insert(tsv.find('\n', row), text);
    WriteBytes(Path("trad/dialogo.tsv"), tsv);
  }
  DictOptions Options() const {
    DictOptions o;
    o.Project = Path("juego.toml");
    o.Scripts = Path("trad");
    o.Table = "juego";
    o.Codes = "80-BF";
    return o;
  }
  int Dict(const DictOptions& options, bool stopped = false) {
    m_out.str("");
    m_err.str("");
    const std::atomic<bool> stop{stopped};
    return RunDict(options, stop, m_out, m_err, false);
  }
  // The folder's files with a hash of their bytes, to see that nothing was
  // written.
  std::map<std::string, std::size_t> Files() const {
    std::map<std::string, std::size_t> files;
    for (const auto& e : fs::recursive_directory_iterator(m_dir.Path()))
      if (e.is_regular_file())
        files[fs::relative(e.path(), m_dir.Path()).string()] = std::hash<std::string>()(ReadBytes(e.path()));
    return files;
  }

  TempFolder m_dir;
  std::ostringstream m_out, m_err;
};

TEST_F(DictTest, WritesTheLinesAndTheDataAndPrintsTheBytes) {
  DictOptions o = Options();
  o.Out = Path("dte.tbl");
  o.Data = Path("dte.bin");
  o.MaxLength = 4;
  o.Pad = "ff";
  ASSERT_EQ(Dict(o), 0) << m_err.str();
  // The table already has 80 and 81 (« and »).
  EXPECT_EQ(m_err.str(), "Aviso: la tabla ya usa los códigos 80 81; no entran en el diccionario.\n");
  const std::string out = m_out.str();
  EXPECT_EQ(out.find("dialogo: 4 textos, "), 0u) << out;
  EXPECT_NE(out.find("\nmenus: 0 textos, 0 bytes antes, 0 después (0 menos)\n"), std::string::npos) << out;
  EXPECT_NE(out.find("códigos libres; "), std::string::npos) << out;
  EXPECT_NE(out.find("; tabla en " + Path("dte.tbl").string() + "; datos en " + Path("dte.bin").string() + ".\n"),
            std::string::npos)
      << out;

  // The lines: one per code of the range, none on 80 or 81; each slot of
  // the data holds the entry's letters through the table, then FF.
  const EntryList lines = LoadExtendedTableFile(Path("dte.tbl"), "", {});
  const EntryList table = LoadExtendedTableFile(Path("juego.tbl"), "", {});
  const std::string data = ReadWholeFile(Path("dte.bin"));
  ASSERT_EQ(data.size(), 64u * 4);
  ASSERT_FALSE(lines.Entries.empty());
  std::string used(64, '\0');
  for (const Entry& e : lines.Entries) {
    ASSERT_EQ(e.Key.size(), 1u);
    const auto code = static_cast<std::uint8_t>(e.Key[0]);
    EXPECT_GE(code, 0x82);
    EXPECT_LE(code, 0xBF);
    used[code - 0x80] = 1;
    std::string slot = data.substr((code - 0x80) * 4u, 4);
    std::string text;
    std::size_t k = 0;
    for (; k < slot.size() && slot[k] != '\xFF'; ++k)
      for (const Entry& t : table.Entries)
        if (t.Key == slot.substr(k, 1)) text += t.Text;
    EXPECT_GE(k, 2u);
    EXPECT_EQ(text, e.Text) << "slot " << int{code};
    EXPECT_EQ(slot.find_first_not_of('\xFF', k), std::string::npos);
  }
  for (std::size_t slot = 0; slot < 64; ++slot) {
    if (!used[slot]) {
      EXPECT_EQ(data.substr(slot * 4, 4), std::string(4, '\xFF')) << slot;
    }
  }
}

TEST_F(DictTest, TheInsertionThroughTheEnlargedTableTakesTheBytesPromised) {
  const DictOptions o = Options();
  ASSERT_EQ(Dict(o), 0) << m_err.str();
  // Without --out the lines are the output and the summary goes aside.
  const std::string lines = m_out.str();
  const std::string summary = m_err.str();
  const auto number = [&](const std::string& after) {
    const std::size_t at = summary.find(after) + after.size();
    std::string digits;
    for (std::size_t k = at; k < summary.size() && (std::isdigit(static_cast<unsigned char>(summary[k])) || summary[k] == '.'); ++k)
      if (summary[k] != '.') digits += summary[k];
    return std::stoll(digits);
  };
  const std::int64_t before = number("dialogo: 4 textos, ");
  const std::int64_t after = number(" bytes antes, ");
  EXPECT_LT(after, before);

  InsertOptions insert;
  insert.Project = Path("juego.toml");
  insert.Scripts = Path("trad");
  insert.Out = Path("plain.sfc");
  std::ostringstream out, err;
  ASSERT_EQ(RunInsert(insert, out, err), 0) << err.str();
  const std::string plain = out.str();
  WriteBytes(Path("juego.tbl"), ReadWholeFile(Path("juego.tbl")) + lines);
  insert.Out = Path("dte.sfc");
  out.str("");
  ASSERT_EQ(RunInsert(insert, out, err), 0) << err.str();
  // "dialogo: 4 textos cambiados, 1.670 de 18.046 bytes, ...": the block's
  // bytes used fall by what the dictionary saves.
  const auto used = [](const std::string& report) {
    const std::size_t at = report.find("cambiados, ") + 11;
    std::string digits;
    for (std::size_t k = at; report[k] != ' '; ++k)
      if (report[k] != '.') digits += report[k];
    return std::stoll(digits);
  };
  EXPECT_EQ(used(plain) - used(out.str()), before - after) << plain << out.str();
}

TEST_F(DictTest, TheProjectGivesTheScriptsAndABlockAloneCounts) {
  std::string toml = ReadWholeFile(Path("juego.toml"));
  toml.insert(toml.find("[map]"), "scripts = \"trad\"\nformat = \"tsv\"\n");
  WriteBytes(Path("juego.toml"), toml);
  DictOptions o = Options();
  o.Scripts.reset();
  o.Blocks = {"dialogo"};
  o.Out = Path("dte.tbl");
  ASSERT_EQ(Dict(o), 0) << m_err.str();
  EXPECT_EQ(m_out.str().find("dialogo: 4 textos, "), 0u);
  EXPECT_EQ(m_out.str().find("menus"), std::string::npos);
}

TEST_F(DictTest, RefusalsWriteNothing) {
  auto before = Files();
  const auto refused = [&](DictOptions o, int code, const std::string& says) {
    o.Out = Path("dte.tbl");
    o.Data = Path("dte.bin");
    EXPECT_EQ(Dict(o), code) << says << "\n" << m_err.str();
    EXPECT_NE(m_err.str().find(says), std::string::npos) << m_err.str();
    EXPECT_EQ(Files(), before) << says;
  };
  DictOptions o = Options();
  o.Codes = "BF-80";
  refused(o, 2, "--codes: «BF-80» no es una lista");
  o = Options();
  o.MaxLength = 1;
  refused(o, 2, "--max-length: una entrada del diccionario da de 2 a 16");
  o.MaxLength = 17;
  refused(o, 2, "--max-length");
  o = Options();
  o.Pad = "100";
  refused(o, 2, "--pad: «100» no es un byte");
  o = Options();
  o.Scripts.reset();
  refused(o, 2, "Falta --scripts");
  o = Options();
  o.Table = "otra";
  refused(o, 2, "El proyecto no tiene la tabla «otra»");
  o = Options();
  o.Blocks = {"dialogo", "nada"};
  refused(o, 2, "El proyecto no tiene el bloque «nada»");
  o = Options();
  o.Codes = "80-81,E0";
  refused(o, 2, "--codes: la tabla ya usa todos esos códigos");
  // Files of the project are never written.
  for (const char* name : {"juego.tbl", "juego.sfc", "juego.toml"}) {
    o = Options();
    o.Out = Path(name);
    EXPECT_EQ(Dict(o), 2) << name;
    EXPECT_NE(m_err.str().find("es un archivo del proyecto"), std::string::npos) << m_err.str();
    EXPECT_EQ(Files(), before) << name;
  }
  o = Options();
  o.Out = o.Data = Path("dte.tbl");
  EXPECT_EQ(Dict(o), 2);
  EXPECT_NE(m_err.str().find("--out y --data nombran el mismo archivo"), std::string::npos);
  // Exit 1: a text the table cannot give, named; no text that counts; a
  // project that cannot be read.
  Translate(3, "Precio: 5 €<fin>");
  before = Files();
  o = Options();
  refused(o, 1, "bloque dialogo, texto 3, columna 11: ninguna entrada de la tabla da «€»");
  o = Options();
  o.Blocks = {"menus"};
  refused(o, 1, "ningún texto de los bloques cambia su original");
  o = Options();
  o.Project = Path("nada.toml");
  refused(o, 1, "Error: ");
}

TEST_F(DictTest, AStopWritesNothing) {
  const auto before = Files();
  DictOptions o = Options();
  o.Out = Path("dte.tbl");
  EXPECT_EQ(Dict(o, true), 130);
  EXPECT_EQ(m_err.str(), "Detenido: no se ha escrito nada.\n");
  EXPECT_EQ(Files(), before);
}

TEST(DictProgram, HelpInSpanishAndArgumentsRefused) {
  TempFolder dir;
  ProcessResult r = RunProgram(ROMSCRIBER_DICT_PROGRAM, {"--help"}, dir.Path());
  EXPECT_EQ(r.ExitCode, 0);
  EXPECT_NE(r.Out.find("Uso: romscriber-dict --project RUTA --table NOMBRE --codes HH-HH [OPCIONES]"),
            std::string::npos);
  EXPECT_NE(r.Out.find("--max-length N"), std::string::npos);
  r = RunProgram(ROMSCRIBER_DICT_PROGRAM, {"--project", "p.toml", "--table", "t"}, dir.Path());
  EXPECT_EQ(r.ExitCode, 2);
  EXPECT_NE(r.Err.find("Argumentos no válidos"), std::string::npos);
  r = RunProgram(ROMSCRIBER_DICT_PROGRAM, {"--project", "p.toml", "--table", "t", "--codes", "80-8F"}, dir.Path());
  EXPECT_EQ(r.ExitCode, 1);
  EXPECT_NE(r.Err.find("Error: "), std::string::npos);
}

}  // namespace
}  // namespace romscriber::testing
