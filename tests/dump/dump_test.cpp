// End-to-end tests of romscriber-dump, run as a process.
#include <gtest/gtest.h>
#include <sys/resource.h>

#include <algorithm>
#include <map>

#include "extract/temp_folder.h"
#include "process.h"
#include "version.h"

namespace romscriber::testing {
namespace {

namespace fs = std::filesystem;

const std::string kDump = ROMSCRIBER_DUMP_PROGRAM;
const fs::path kExamples = ROMSCRIBER_EXAMPLES;

class DumpTest : public ::testing::Test {
 protected:
  ProcessResult Dump(std::vector<std::string> args) {
    return RunProgram(kDump, args, m_dir.Path());
  }
  fs::path Path(const std::string& name) const { return m_dir.Path() / name; }
  std::string Sample(const char* name) const { return (kExamples / name).string(); }

  TempFolder m_dir;
};

// --- The sample and its expected scripts ---------------------------------------

TEST_F(DumpTest, SampleInFreeModeGivesTheExpectedFiles) {
  const auto r = Dump({Sample("sample.rom"), Sample("sample.tbl"), "0", "98", "--out", "free"});
  EXPECT_EQ(r.ExitCode, 0) << r.Err;
  EXPECT_EQ(r.Out, "Extracción finalizada. Se han extraido 7 scripts.\n");
  EXPECT_EQ(r.Err, "") << "no progress line when stderr is not a terminal";
  EXPECT_EQ(FilesIn(Path("free")), FilesIn(kExamples / "expected" / "free"));
}

TEST_F(DumpTest, SampleInBlockModeGivesTheExpectedFiles) {
  const auto r = Dump({Sample("sample.rom"), Sample("sample.tbl"), "0", "98", "--indicator", "ff",
                       "--left", "[", "--right", "]", "--out", "block"});
  EXPECT_EQ(r.ExitCode, 0) << r.Err;
  EXPECT_EQ(r.Out, "Extracción finalizada. Se han extraido 5 scripts.\n");
  EXPECT_EQ(FilesIn(Path("block")), FilesIn(kExamples / "expected" / "block"));
}

TEST_F(DumpTest, SampleGeneratorReproducesTheCommittedFiles) {
  const auto r = RunProgram(ROMSCRIBER_MAKE_SAMPLE_PROGRAM, {m_dir.Path().string()}, m_dir.Path());
  ASSERT_EQ(r.ExitCode, 0);
  EXPECT_EQ(ReadBytes(Path("sample.rom")), ReadBytes(kExamples / "sample.rom"));
  EXPECT_EQ(ReadBytes(Path("sample.tbl")), ReadBytes(kExamples / "sample.tbl"));
}

TEST_F(DumpTest, DefaultFolderIsScriptsInTheWorkingFolderAndOutIsCreatedWithParents) {
  WriteBytes(Path("g.rom"), std::string("HI\0", 3));
  WriteBytes(Path("g.tbl"), "48=H\n49=I\n/00\n");
  EXPECT_EQ(Dump({"g.rom", "g.tbl", "0", "2"}).ExitCode, 0);
  EXPECT_EQ(ReadBytes(Path("Scripts") / "0.txt"), "HI<END>\r\n");
  EXPECT_EQ(Dump({"g.rom", "g.tbl", "0", "2", "--out", "a/b/c"}).ExitCode, 0);
  EXPECT_TRUE(fs::exists(Path("a/b/c/0.txt")));
}

TEST_F(DumpTest, PathsWithSpacesAndNonAsciiNames) {
  const fs::path folder = Path("Traducción 日本");
  fs::create_directories(folder);
  WriteBytes(folder / "juego ñ.nes", std::string("HI\0", 3));
  WriteBytes(folder / "tabla é.tbl", "48=H\n49=I\n/00\n");
  const auto r = Dump({(folder / "juego ñ.nes").string(), (folder / "tabla é.tbl").string(), "0",
                       "2", "--out", (folder / "Guiones").string()});
  EXPECT_EQ(r.ExitCode, 0) << r.Err;
  EXPECT_EQ(ReadBytes(folder / "Guiones" / "0.txt"), "HI<END>\r\n");
}

// --- Refused settings: the window's checks and messages, exit 2 ---------------

TEST_F(DumpTest, ChecksGiveTheWindowsMessagesInOrder) {
  const std::string rom = Sample("sample.rom"), tbl = Sample("sample.tbl");
  const std::vector<std::pair<std::vector<std::string>, std::string>> cases = {
      {{"", tbl, "0", "10"}, "Debe cargar la ROM"},
      {{rom, "", "0", "10"}, "Debe cargar la Tabla Thingy"},
      {{rom, tbl, "", "10"}, "Debe indicar un valor para el Offset Inicial"},
      {{rom, tbl, "0", ""}, "Debe indicar un valor para el Offset Final"},
      {{rom, tbl, "0", "10", "--left", ""}, "Debe indicar una llave de Cierre Izquierda"},
      {{rom, tbl, "0", "10", "--right", ""}, "Debe indicar una llave de Cierre Derecha"},
      {{rom, tbl, "0", "0"}, "Offset final debe ser mayor."},
      {{rom, tbl, "10", "0"}, "Offset final debe ser distinto a cero"},
      {{rom, tbl, "20", "10"}, "Offset Final debe ser mayor que el Offset Inicial"},
      {{rom, tbl, "9a", "9b"}, "Offsets inicial no debe superar el tamaño de la ROM."},
      {{rom, tbl, "0", "9A"}, "Offsets final no debe superar el tamaño de la ROM."},
      {{rom, tbl, "0", "10", "--indicator", "f"},
       "Debe indicar un valor correcto para el byte inicial."},
  };
  for (const auto& [args, message] : cases) {
    const auto r = Dump(args);
    EXPECT_EQ(r.ExitCode, 2) << message;
    EXPECT_EQ(r.Err, message + "\n");
    EXPECT_EQ(r.Out, "");
  }
  EXPECT_FALSE(fs::exists(Path("Scripts"))) << "a refused run creates nothing";
  // The offset just past the last byte is accepted.
  EXPECT_EQ(Dump({rom, tbl, "0", "99"}).ExitCode, 0);
}

TEST_F(DumpTest, CharactersTheWindowsFieldsRefuseAreRefused) {
  const std::string rom = Sample("sample.rom"), tbl = Sample("sample.tbl");
  for (const std::vector<std::string>& args : std::vector<std::vector<std::string>>{
           {rom, tbl, "0", "10", "--left", "]"},
           {rom, tbl, "0", "10", "--left", "<<"},
           {rom, tbl, "0", "10", "--right", "["},
           {rom, tbl, "0", "10", "--indicator", "G1"},
           {rom, tbl, "0", "10", "--indicator", "FFF"},
           {rom, tbl, "1G", "10"},
           {rom, tbl, "0", "1 0"},
       }) {
    const auto r = Dump(args);
    EXPECT_EQ(r.ExitCode, 2) << args[2] << " " << args[3] << " " << args.back();
    EXPECT_FALSE(r.Err.empty());
  }
  // Both bracket sets share "/", "\" and "~".
  EXPECT_EQ(Dump({rom, tbl, "0", "10", "--left", "~", "--right", "\\"}).ExitCode, 0);
}

TEST_F(DumpTest, MissingArgumentsAreRefusedInSpanish) {
  const auto r = Dump({Sample("sample.rom")});
  EXPECT_EQ(r.ExitCode, 2);
  EXPECT_NE(r.Err.find("Use --help"), std::string::npos);
  // The version is the CMake project's one, as everywhere else.
  EXPECT_EQ(Dump({"--version"}).Out, std::string(kVersion) + "\n");
}

TEST_F(DumpTest, TableOptionsThatCannotGoTogetherAreRefusedFirstAndWriteNothing) {
  struct Case {
    std::vector<std::string> Options;
    std::string Says;
  };
  for (const Case& c : std::vector<Case>{
           {{"--table-format", "xml"}, "El formato de tabla debe ser classic o extended: xml"},
           {{"--table-format", "extended", "--left", "["}, "--left y --right solo valen"},
           // Brackets are refused before the encoding is looked at.
           {{"--table-format", "extended", "--right", "]", "--table-encoding", "klingon"},
            "--left y --right solo valen"},
           {{"--table-encoding", "utf-8"}, "--table-encoding solo vale con --table-format extended"},
           {{"--table-format", "extended", "--table-encoding", "klingon"},
            "Codificación desconocida: klingon"},
       }) {
    std::vector<std::string> args = {Sample("sample.rom"), Sample("sample.tbl"), "0", "10",
                                     "--out", "out"};
    args.insert(args.end(), c.Options.begin(), c.Options.end());
    const auto r = Dump(args);
    EXPECT_EQ(r.ExitCode, 2) << c.Says;
    EXPECT_EQ(r.Err.find(c.Says), 0u) << r.Err;
  }
  EXPECT_FALSE(fs::exists(Path("out")));
}

// --- Files that cannot be opened or loaded: exit 1 -----------------------------

TEST_F(DumpTest, RomOrTableThatCannotBeOpenedOrLoaded) {
  auto r = Dump({"missing.smc", Sample("sample.tbl"), "0", "10"});
  EXPECT_EQ(r.ExitCode, 1);
  EXPECT_EQ(r.Err, "Error #: 53\n");
  EXPECT_FALSE(fs::exists(Path("missing.smc"))) << "opening never creates";
  r = Dump({Sample("sample.rom"), "missing.tbl", "0", "10"});
  EXPECT_EQ(r.ExitCode, 1);
  EXPECT_EQ(r.Err, "Error #:53\n");
  std::string full;
  for (int i = 0; i < 5001; ++i)
    full += std::to_string(1000 + i) + "=x\r\n";
  WriteBytes(Path("full.tbl"), full);
  r = Dump({Sample("sample.rom"), "full.tbl", "0", "10"});
  EXPECT_EQ(r.ExitCode, 1);
  EXPECT_EQ(r.Err, "Error #:9\n");
}

TEST_F(DumpTest, FailureDuringTheRunIsReportedWithItsDescription) {
  WriteBytes(Path("file"), "x");
  auto r = Dump({Sample("sample.rom"), Sample("sample.tbl"), "0", "98", "--out", "file/Scripts"});
  EXPECT_EQ(r.ExitCode, 1);
  EXPECT_EQ(r.Err, "Error: No se encontró la ruta de acceso\n");
  r = Dump({Sample("sample.rom"), Sample("sample.tbl"), "0", "80000000"});
  EXPECT_EQ(r.ExitCode, 1);
  EXPECT_EQ(r.Err, "Error: Desbordamiento\n");
}

TEST_F(DumpTest, WriteFailingPartWayKeepsEarlierScriptsWholeAndLeavesNoPart) {
  // Two short scripts, then one longer than the file-size limit.
  WriteBytes(Path("w.rom"), std::string(100, 'H') + '\0' + std::string(100, 'H') + '\0' +
                                std::string(20000, 'H') + '\0' + "HH" + '\0');
  WriteBytes(Path("w.tbl"), "48=H\n/00\n");
  const auto limitFileSize = [] {
    signal(SIGXFSZ, SIG_IGN);
    rlimit limit{8192, 8192};
    setrlimit(RLIMIT_FSIZE, &limit);
  };
  const auto r =
      Process(kDump, {"w.rom", "w.tbl", "0", "4E2F"}, m_dir.Path(), false, limitFileSize).Wait();
  EXPECT_EQ(r.ExitCode, 1);
  EXPECT_EQ(r.Err, "Error: Disco lleno\n");
  EXPECT_EQ(r.Out, "");
  const std::string full = std::string(100, 'H') + "<END>\r\n";
  EXPECT_EQ(FilesIn(Path("Scripts")),
            (std::map<std::string, std::string>{{"0.txt", full}, {"101.txt", full}}));
}

// --- Ctrl+C and the progress line -----------------------------------------------

// A ROM whose first script ends at once and whose rest grows for a long time.
void LongRom(const fs::path& rom, const std::string& head) {
  WriteBytes(rom, head);
  fs::resize_file(rom, 1LL << 30);  // sparse: zero bytes after the head
}

TEST_F(DumpTest, InterruptInFreeModeWritesThePendingTextAndCountsIt) {
  // After the first script, "A" opens a second one that the zero bytes (with
  // an empty text) never end.
  LongRom(Path("long.rom"), std::string("HI\xFF"
                                        "A",
                                        4));
  WriteBytes(Path("long.tbl"), "48=H\n49=I\n41=A\n/FF\n00=\n");
  Process p(kDump, {"long.rom", "long.tbl", "0", "3FFFFFFF"}, m_dir.Path());
  ASSERT_TRUE(WaitFor([&] { return fs::exists(Path("Scripts/0.txt")); }));
  // The ROM is read in 64 KiB chunks: once a second chunk has been read,
  // the "A" at offset 3 has been decoded and its script is pending. A stop
  // right after the first file, before that, would leave nothing pending.
  ASSERT_TRUE(WaitFor([&] { return p.BytesRead() >= 2 * 65536; }));
  p.Signal(SIGINT);
  const auto r = p.Wait();
  EXPECT_EQ(r.ExitCode, 130);
  EXPECT_EQ(r.Out, "Proceso cancelado. Se han extraido 2 scripts.\n");
  EXPECT_EQ(FilesIn(Path("Scripts")),
            (std::map<std::string, std::string>{{"0.txt", "HI<END>\r\n"}, {"3.txt", "A\r\n"}}));
}

TEST_F(DumpTest, InterruptInBlockModeDropsTheBlockUnderWay) {
  LongRom(Path("long.rom"), std::string("\xEEHI\xFF\xEE", 5));
  WriteBytes(Path("long.tbl"), "48=H\n49=I\n/FF\n");
  Process p(kDump, {"long.rom", "long.tbl", "0", "10", "--indicator", "EE"}, m_dir.Path());
  ASSERT_TRUE(WaitFor([&] { return fs::exists(Path("Scripts/1.txt")); }));
  p.Signal(SIGINT);
  const auto r = p.Wait();
  EXPECT_EQ(r.ExitCode, 130);
  // The second block holds bracketed zero bytes, and only full scripts of
  // 65,000 characters of them reach the disk; the rest is dropped.
  const auto files = FilesIn(Path("Scripts"));
  EXPECT_EQ(r.Out,
            "Proceso cancelado. Se han extraido " + std::to_string(files.size()) + " scripts.\n");
  EXPECT_EQ(files.at("1.txt"), "HI<END>\r\n");
  for (const auto& [name, text] : files) {
    if (name != "1.txt") {
      EXPECT_EQ(text.size(), 65004u + 2) << name;
    }
  }
}

TEST_F(DumpTest, ProgressLineOnlyOnATerminal) {
  WriteBytes(Path("p.rom"), std::string(20000, 'H'));
  WriteBytes(Path("p.tbl"), "48=H\n");
  const auto r = Process(kDump, {"p.rom", "p.tbl", "0", "4E1F"}, m_dir.Path(), true).Wait();
  EXPECT_EQ(r.ExitCode, 0);
  EXPECT_NE(r.Err.find("\r\x1b[K4095 (20%)  0h, 0m, 0s."), std::string::npos) << r.Err;
  EXPECT_EQ(r.Err.substr(r.Err.size() - 4), "\r\x1b[K") << "the line is erased at the end";
  EXPECT_EQ(r.Out, "Extracción finalizada. Se han extraido 1 scripts.\n");
}

}  // namespace
}  // namespace romscriber::testing
