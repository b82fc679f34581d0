#include "extract/script_files.h"

#include <gtest/gtest.h>
#include <sys/resource.h>

#include <algorithm>
#include <csignal>

#include "base/app_error.h"
#include "extract/engine.h"
#include "extract/rom_source.h"
#include "extract/run_fixtures.h"
#include "extract/temp_folder.h"

namespace romscriber::testing {
namespace {

namespace fs = std::filesystem;

TEST(ScriptFiles, ScriptIsItsTextAndCrLfByteForByte) {
  TempFolder dir;
  WriteScript(dir.Path(), "0", "HOLA[END]");
  EXPECT_EQ(ReadBytes(dir.Path() / "0.txt"), "HOLA[END]\r\n");
  EXPECT_EQ(fs::file_size(dir.Path() / "0.txt"), 11u);
  // Bytes of any encoding pass unchanged; a text ending in a line break ends
  // with two line ends.
  const std::string bytes("\x00\xFF\x82\xA0\r\n", 6);
  WriteScript(dir.Path(), "6699", bytes);
  EXPECT_EQ(ReadBytes(dir.Path() / "6699.txt"), bytes + "\r\n");
}

TEST(ScriptFiles, WritingAgainReplacesTheFile) {
  TempFolder dir;
  WriteScript(dir.Path(), "7", std::string(100, 'x'));
  WriteScript(dir.Path(), "7", "short");
  EXPECT_EQ(ReadBytes(dir.Path() / "7.txt"), "short\r\n");
}

TEST(ScriptFiles, EnsureScriptsFolderCreatesOnceAndLeavesWhatExists) {
  TempFolder program;
  EXPECT_FALSE(FileExists(ScriptsFolder(program.Path())));
  EnsureScriptsFolder(program.Path());
  EXPECT_TRUE(fs::is_directory(program.Path() / "Scripts"));
  WriteBytes(program.Path() / "Scripts" / "old.txt", "kept");
  EnsureScriptsFolder(program.Path());
  EXPECT_EQ(ReadBytes(program.Path() / "Scripts" / "old.txt"), "kept");
}

TEST(ScriptFiles, OrdinaryFileNamedScriptsIsLeftAndWritingUnderItFails) {
  TempFolder program;
  WriteBytes(program.Path() / "Scripts", "not a folder");
  EXPECT_NO_THROW(EnsureScriptsFolder(program.Path()));
  EXPECT_TRUE(fs::is_regular_file(program.Path() / "Scripts"));
  EXPECT_EQ(ErrorOf([&] { WriteScript(ScriptsFolder(program.Path()), "0", "x"); }),
            kErrPathNotFound);
}

TEST(ScriptFiles, FailuresHaveTheirNumbers) {
  TempFolder program;
  EXPECT_EQ(ErrorOf([&] { WriteScript(program.Path() / "missing", "0", "x"); }), kErrPathNotFound);
  EXPECT_EQ(ErrorOf([&] { EnsureScriptsFolder(program.Path() / "a" / "b"); }), kErrPathNotFound);
}

// Lowers the file-size limit for the life of the object; writes past it fail
// with EFBIG instead of raising SIGXFSZ.
class FileSizeLimit {
 public:
  explicit FileSizeLimit(rlim_t bytes) {
    getrlimit(RLIMIT_FSIZE, &m_saved);
    m_oldHandler = std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit = m_saved;
    limit.rlim_cur = bytes;
    setrlimit(RLIMIT_FSIZE, &limit);
  }
  ~FileSizeLimit() {
    setrlimit(RLIMIT_FSIZE, &m_saved);
    std::signal(SIGXFSZ, m_oldHandler);
  }

 private:
  rlimit m_saved{};
  void (*m_oldHandler)(int) = nullptr;
};

TEST(ScriptFiles, WriteThatFailsPartWayLeavesNoFileUnderItsName) {
  TempFolder dir;
  WriteScript(dir.Path(), "1", "old");
  {
    FileSizeLimit limit(4096);
    EXPECT_EQ(ErrorOf([&] { WriteScript(dir.Path(), "2", std::string(10000, 'x')); }),
              kErrDiskFull);
    EXPECT_EQ(ErrorOf([&] { WriteScript(dir.Path(), "1", std::string(10000, 'y')); }),
              kErrDiskFull);
    EXPECT_NO_THROW(WriteScript(dir.Path(), "3", "fits"));
  }
  // The earlier file is untouched and no half-written or temporary file stays.
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(dir.Path()))
    names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"1.txt", "3.txt"}));
  EXPECT_EQ(ReadBytes(dir.Path() / "1.txt"), "old\r\n");
}

// A run's sink keeps its folder open; it fails as writing by the whole path
// does: a missing folder, a file in its place, a folder removed during the
// run, a file too big, each with its number and no file left behind.
TEST(ScriptFiles, FolderSinkFailsAsWritingByPathDoes) {
  TempFolder base;
  const auto bothFail = [](const fs::path& folder, const std::string& text) {
    FolderScriptSink sink(folder);
    const int bySink = ErrorOf([&] { sink.WriteScript("5", text); });
    const int byPath = ErrorOf([&] { WriteScript(folder, "5", text); });
    EXPECT_EQ(bySink, byPath) << folder;
    return bySink;
  };
  EXPECT_EQ(bothFail(base.Path() / "missing", "x"), kErrPathNotFound);
  WriteBytes(base.Path() / "file", "not a folder");
  EXPECT_EQ(bothFail(base.Path() / "file", "x"), kErrPathNotFound);
  {
    FileSizeLimit limit(4096);
    fs::create_directories(base.Path() / "small");
    EXPECT_EQ(bothFail(base.Path() / "small", std::string(10000, 'x')), kErrDiskFull);
    EXPECT_TRUE(fs::is_empty(base.Path() / "small"));
  }
  const fs::path gone = base.Path() / "gone";
  fs::create_directories(gone);
  FolderScriptSink sink(gone);
  sink.WriteScript("1", "a");
  EXPECT_EQ(ReadBytes(gone / "1.txt"), "a\r\n");
  fs::remove_all(gone);
  EXPECT_EQ(ErrorOf([&] { sink.WriteScript("2", "b"); }), kErrPathNotFound);
  EXPECT_FALSE(fs::exists(gone));
}

TEST(ScriptFiles, FolderWithNonAsciiNameWorks) {
  TempFolder base;
  const fs::path program = base.Path() / fs::u8path("Traducción 日本語");
  fs::create_directories(program);
  EnsureScriptsFolder(program);
  WriteScript(ScriptsFolder(program), "256", "\xE9t\xE9");
  EXPECT_EQ(ReadBytes(program / "Scripts" / "256.txt"), "\xE9t\xE9\r\n");
}

TEST(ScriptFiles, RunIntoAFolderWritesOneFilePerScript) {
  TempFolder dir;
  Table table = TableFrom("48=H\n41=A\n/00\n");
  std::string rom(0x200, '\0');
  rom[0x100] = 'H';
  rom[0x180] = 'A';
  MemoryByteSource source(rom);
  FolderScriptSink sink(dir.Path());
  std::atomic<bool> stop{false};
  RecordingHost host(stop);
  RunHooks hooks{source, sink, host, stop};
  const RunSettings settings = Settings(0, 0x1FF);
  EXPECT_EQ(RunExtraction(table, settings, hooks).ScriptCount, 2);
  // Running again gives the same set of files.
  EXPECT_EQ(RunExtraction(table, settings, hooks).ScriptCount, 2);
  std::vector<std::string> names;
  for (const auto& e : fs::directory_iterator(dir.Path()))
    names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  EXPECT_EQ(names, (std::vector<std::string>{"256.txt", "384.txt"}));
  EXPECT_EQ(ReadBytes(dir.Path() / "256.txt"), "H[END]\r\n");
}

TEST(RomSource, FileSourceReadsAndReportsShrinking) {
  TempFolder dir;
  const fs::path rom = dir.Path() / "game.nes";
  WriteBytes(rom, "0123456789");
  EXPECT_EQ(MeasureRom(rom), 10);
  FileByteSource source(rom);
  std::uint8_t buf[4];
  source.ReadAt(6, buf);
  EXPECT_EQ(std::string(buf, buf + 4), "6789");
  fs::resize_file(rom, 5);
  EXPECT_EQ(ErrorOf([&] { source.ReadAt(6, buf); }), kErrPastEndOfFile);
  EXPECT_EQ(ErrorOf([&] { MeasureRom(dir.Path() / "none.smc"); }), kErrFileNotFound);
  EXPECT_FALSE(fs::exists(dir.Path() / "none.smc"));
  EXPECT_EQ(ErrorOf([&] { MeasureRom(dir.Path()); }), kErrPathFileAccess);
}

}  // namespace
}  // namespace romscriber::testing
