// End-to-end tests of romscriber-dump --project on the sample project in
// examples/project/, run as a process: its scripts in each format against the
// committed ones, and the refusals of a project dump.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <map>
#include <sstream>

#include "extract/temp_folder.h"
#include "process.h"

namespace romscriber::testing {
namespace {

namespace fs = std::filesystem;

const std::string kDump = ROMSCRIBER_DUMP_PROGRAM;
const fs::path kProject = fs::path(ROMSCRIBER_EXAMPLES) / "project";

// A program found on PATH, or an empty path.
fs::path OnPath(const std::string& name) {
  const char* path = std::getenv("PATH");
  std::stringstream folders(path ? path : "");
  std::string folder;
  while (std::getline(folders, folder, ':')) {
    if (!folder.empty() && fs::exists(fs::path(folder) / name)) return fs::path(folder) / name;
  }
  return {};
}

// Where `needle` first stands in `text`: line and column from 1.
std::pair<int, int> PlaceOf(const std::string& text, const std::string& needle) {
  const std::size_t at = text.find(needle);
  const std::size_t lineStart = text.rfind('\n', at) + 1;  // npos + 1 is 0
  const int line = 1 + static_cast<int>(std::count(text.begin(), text.begin() + at, '\n'));
  return {line, static_cast<int>(at - lineStart) + 1};
}

class ProjectDumpTest : public ::testing::Test {
 protected:
  ProcessResult Dump(const std::vector<std::string>& args) {
    return RunProgram(kDump, args, m_dir.Path());
  }
  fs::path Path(const std::string& name) const { return m_dir.Path() / name; }
  // The sample's ROM and table beside a project file of the given text.
  fs::path CopyWithProject(const std::string& project) const {
    fs::copy_file(kProject / "juego.sfc", Path("juego.sfc"));
    fs::copy_file(kProject / "juego.tbl", Path("juego.tbl"));
    WriteBytes(Path("juego.toml"), project);
    return Path("juego.toml");
  }

  TempFolder m_dir;
};

// The summary of the sample, whatever the format.
constexpr const char* kSummary =
    "dialogo: 53 textos, 57 punteros, 1 avisos\n"
    "menus: 10 textos, 0 punteros, 0 avisos\n"
    "Volcado terminado: 2 bloques, 63 textos, 57 punteros, 1 avisos.\n";
// The null pointer of the sample's dialogue.
constexpr const char* kNullWarning =
    "Aviso: bloque dialogo: el puntero en 1803E (valor 0) apunta fuera de la imagen; no tiene "
    "texto y no se cambiará.\n";

TEST_F(ProjectDumpTest, SampleInEachFormatGivesTheExpectedFiles) {
  // Atlas is the default format; the project's paths are found beside it,
  // not in the working folder.
  const std::vector<std::pair<std::string, std::vector<std::string>>> cases = {
      {"atlas", {}}, {"tsv", {"--format", "tsv"}}, {"po", {"--format", "po"}}};
  for (const auto& [format, extra] : cases) {
    std::vector<std::string> args = {"--project", (kProject / "juego.toml").string(), "--out",
                                     format};
    args.insert(args.end(), extra.begin(), extra.end());
    const auto r = Dump(args);
    EXPECT_EQ(r.ExitCode, 0) << format << ": " << r.Err;
    EXPECT_EQ(r.Out, kSummary) << format;
    EXPECT_EQ(r.Err, kNullWarning) << format;
    const auto expected = FilesIn(kProject / "expected" / format);
    EXPECT_FALSE(expected.empty()) << format;
    EXPECT_EQ(FilesIn(Path(format)), expected) << format;
  }
}

TEST_F(ProjectDumpTest, SampleGeneratorReproducesTheCommittedFiles) {
  const auto r = RunProgram(ROMSCRIBER_MAKE_PROJECT_PROGRAM, {m_dir.Path().string()}, m_dir.Path());
  ASSERT_EQ(r.ExitCode, 0) << r.Err;
  for (const char* name : {"juego.sfc", "juego.tbl", "juego.toml"})
    EXPECT_EQ(ReadBytes(Path(name)), ReadBytes(kProject / name)) << name;
}

TEST_F(ProjectDumpTest, PoFilesPassMsgfmtCheck) {
  const fs::path msgfmt = OnPath("msgfmt");
  if (msgfmt.empty()) GTEST_SKIP() << "msgfmt is not installed";
  ASSERT_EQ(Dump({"--project", (kProject / "juego.toml").string(), "--format", "po"}).ExitCode, 0);
  for (const char* name : {"dialogo.po", "menus.po"}) {
    const auto r =
        RunProgram(msgfmt.string(),
                   {"--check", "-o", "/dev/null", (Path("Scripts") / name).string()}, m_dir.Path());
    EXPECT_EQ(r.ExitCode, 0) << name << ": " << r.Err;
  }
}

// --- Refusals: each gives its exit code and writes nothing -----------------

TEST_F(ProjectDumpTest, SettingsThatAreNotForProjectsAreRefusedWithExit2) {
  const std::string project = (kProject / "juego.toml").string();
  // An unknown script format.
  auto r = Dump({"--project", project, "--format", "xml", "--out", "out"});
  EXPECT_EQ(r.ExitCode, 2);
  EXPECT_EQ(r.Err, "El formato de guion debe ser atlas, tsv o po: xml\n");
  // The range dump's positionals and options, which the project already says.
  for (const std::vector<std::string>& extra :
       {std::vector<std::string>{"juego.sfc"},
        std::vector<std::string>{"juego.sfc", "juego.tbl", "0", "FF"},
        std::vector<std::string>{"--table-encoding", "utf-8"},
        std::vector<std::string>{"--indicator", "FF"}}) {
    std::vector<std::string> args = {"--project", project, "--out", "out"};
    args.insert(args.end(), extra.begin(), extra.end());
    r = Dump(args);
    EXPECT_EQ(r.ExitCode, 2) << extra[0];
    EXPECT_NE(r.Err.find("Con --project solo valen --format, --out y --update"), std::string::npos) << r.Err;
    EXPECT_EQ(r.Out, "");
  }
  EXPECT_FALSE(fs::exists(Path("out")));
}

TEST_F(ProjectDumpTest, FreeRegionOverAStringIsRefusedWithItsLineAndColumn) {
  // The free region moved down into the dialogue: it now begins inside the
  // string that holds 18600.
  std::string project = ReadBytes(kProject / "juego.toml");
  const std::string freeStart = "start = 0x1C000";
  ASSERT_NE(project.find(freeStart), std::string::npos);
  project.replace(project.find(freeStart), freeStart.size(), "start = 0x18600");
  const fs::path file = CopyWithProject(project);
  // The string the region lands in, from the expected dump.
  std::string covered;
  std::istringstream rows(ReadBytes(kProject / "expected" / "tsv" / "dialogo.tsv"));
  std::string row;
  std::getline(rows, row);  // the header
  while (std::getline(rows, row)) {
    std::istringstream fields(row);
    std::string id, pointers, offset;
    std::getline(fields, id, '\t');
    std::getline(fields, pointers, '\t');
    std::getline(fields, offset, '\t');
    if (std::stoll(offset, nullptr, 16) <= 0x18600) covered = offset;
  }
  const auto [line, column] = PlaceOf(project, "{ start = 0x18600");
  const auto r = Dump({"--project", file.string(), "--format", "tsv", "--out", "out"});
  EXPECT_EQ(r.ExitCode, 1);
  // Warnings come after the files are written: a refusal shows none.
  EXPECT_EQ(r.Err, "Error: " + file.string() + ":" + std::to_string(line) + ":" +
                       std::to_string(column) +
                       ": la zona libre 18600-1FFFF del bloque dialogo pisa el texto en " +
                       covered + " del bloque dialogo; se esperaba una zona sin textos.\n");
  EXPECT_EQ(r.Out, "");
  EXPECT_FALSE(fs::exists(Path("out")));
}

TEST_F(ProjectDumpTest, MissingRomOrTableIsAFailureNamingTheFile) {
  std::string project = ReadBytes(kProject / "juego.toml");
  const fs::path file = CopyWithProject(project);
  fs::remove(Path("juego.sfc"));
  auto r = Dump({"--project", file.string(), "--out", "out"});
  EXPECT_EQ(r.ExitCode, 1);
  EXPECT_EQ(r.Err, "Error: No se encontró el archivo: " + Path("juego.sfc").string() +
                       " (la ROM del proyecto " + file.string() + ")\n");
  // The table is named with the place of its [[table]] in the project file.
  fs::copy_file(kProject / "juego.sfc", Path("juego.sfc"));
  fs::remove(Path("juego.tbl"));
  const auto [line, column] = PlaceOf(project, "[[table]]");
  r = Dump({"--project", file.string(), "--out", "out"});
  EXPECT_EQ(r.ExitCode, 1);
  EXPECT_EQ(r.Err, "Error: No se encontró el archivo: " + Path("juego.tbl").string() +
                       " (la tabla juego de " + file.string() + ":" + std::to_string(line) + ":" +
                       std::to_string(column) + ")\n");
  EXPECT_EQ(r.Out, "");
  EXPECT_FALSE(fs::exists(Path("out")));
}

}  // namespace
}  // namespace romscriber::testing
