#include "table/loader.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

#include <unistd.h>

#include "base/app_error.h"
#include "table/table.h"

namespace romscriber {
namespace {

Table Load(const std::string& bytes) {
  Table t;
  LoadTable(bytes, t);
  return t;
}

std::string TwoByteLines(int count, const char* eol = "\r\n") {
  std::string s;
  for (int i = 0; i < count; ++i) {
    char line[32];
    std::snprintf(line, sizeof line, "%04X=t%d%s", i, i, eol);
    s += line;
  }
  return s;
}

// --- Entry lines -----------------------------------------------------------

TEST(LoadTable, EmptyFileLeavesTheModelEmpty) {
  const Table t = Load("");
  for (const auto& c : t.SingleCodes)
    EXPECT_TRUE(c.empty());
  EXPECT_EQ(UsedRows(t.DoubleCodes), 0u);
}

TEST(LoadTable, SingleByteEntries) {
  // A later entry for the same slot replaces code and text.
  Table t = Load("41=A\r\n41=B\r\n");
  EXPECT_EQ(t.SingleTexts[0x41], "B");
  // The code keeps its letter case; the slot comes from its value.
  t = Load("4a=x\r\n");
  EXPECT_EQ(t.SingleCodes[0x4A], "4a");
  t = Load("4a=x\r\n4A=y\r\n");
  EXPECT_EQ(t.SingleCodes[0x4A], "4A");
  EXPECT_EQ(t.SingleTexts[0x4A], "y");
  // An empty text is an entry too.
  t = Load("41=\r\n");
  EXPECT_EQ(t.SingleCodes[0x41], "41");
  EXPECT_EQ(t.SingleTexts[0x41], "");
  // Codes that are not two hex digits go to the slot their leading digits give.
  t = Load("00=zero\r\nG1=x\r\n4G=y\r\n");
  EXPECT_EQ(t.SingleCodes[0x00], "G1");
  EXPECT_EQ(t.SingleTexts[0x00], "x");
  EXPECT_EQ(t.SingleCodes[0x04], "4G");
  // Nothing is trimmed.
  t = Load("41= A = B\r\n");
  EXPECT_EQ(t.SingleTexts[0x41], " A = B");
  // A third-column "=" wins over later ones.
  t = Load("41==3=5=\r\n");
  EXPECT_EQ(t.SingleTexts[0x41], "=3=5=");
  EXPECT_EQ(UsedRows(t.DoubleCodes), 0u);
}

TEST(LoadTable, BytesAreKeptUnchanged) {
  // NUL, 0xFF, Latin-1 and Shift-JIS bytes and a bare LF all stay in the text.
  const std::string text("\x00\xFF\xE9\x82\xA0\nx", 7);
  const Table t = Load("41=" + text + "\r\n");
  EXPECT_EQ(t.SingleTexts[0x41], text);
}

TEST(LoadTable, MultiByteEntriesFillRowsInFileOrder) {
  const Table t = Load("8140=X\r\n8140=Y\r\n814243=three\r\n");
  EXPECT_EQ(t.DoubleCodes[0], "8140");
  EXPECT_EQ(t.DoubleTexts[0], "X");
  EXPECT_EQ(t.DoubleCodes[1], "8140");
  EXPECT_EQ(t.DoubleTexts[1], "Y");
  EXPECT_EQ(t.TripleCodes[0], "814243");
  EXPECT_EQ(t.TripleTexts[0], "three");
}

TEST(LoadTable, AFiveThousandAndFirstMultiByteEntryFailsWithNineKeepingTheRest) {
  Table t;
  const std::string file = "41=A\r\n123456=tri\r\n" + TwoByteLines(5000) + "FFFF=over\r\n42=B\r\n";
  try {
    LoadTable(file, t);
    FAIL() << "no error 9";
  } catch (const AppError& e) {
    EXPECT_EQ(e.Number(), kErrSubscript);
  }
  EXPECT_EQ(UsedRows(t.DoubleCodes), 5000u);
  EXPECT_EQ(t.DoubleTexts[4999], "t4999");
  EXPECT_EQ(t.SingleTexts[0x41], "A");
  EXPECT_EQ(t.TripleTexts[0], "tri");
  EXPECT_TRUE(t.SingleTexts[0x42].empty()) << "nothing after the failing line";
  // The same for three-byte entries.
  std::string triples;
  for (int i = 0; i < 5001; ++i)
    triples += "AB" + TwoByteLines(1).substr(0, 4) + "=x\r\n";
  Table t3;
  EXPECT_THROW(LoadTable(triples, t3), AppError);
  EXPECT_EQ(UsedRows(t3.TripleCodes), 5000u);
}

TEST(LoadTable, LineThatIsNoEntryIsPassedOver) {
  // A leading blank, or "=" only in another column: nothing is stored.
  const Table t = Load("41=A\r\n 41=B\r\n4=\r\nabcdefgh=x\r\n42=C\r\n");
  EXPECT_EQ(t.SingleTexts[0x41], "A");
  EXPECT_EQ(t.SingleTexts[0x42], "C");
  EXPECT_EQ(UsedRows(t.DoubleCodes), 0u);
  EXPECT_EQ(UsedRows(t.TripleCodes), 0u);
}

TEST(LoadTable, ThreeByteEntryNeedsAWindowWithoutLineEnd) {
  // "abcd" CR LF "=": the "=" is seventh, but a CR LF sits in the window.
  const Table t = Load("abcd\r\n=x\r\n41=A\r\n");
  EXPECT_EQ(UsedRows(t.TripleCodes), 0u);
  EXPECT_EQ(t.SingleTexts[0x41], "A");
}

TEST(LoadTable, LastLineWithoutLineEndKeepsAllItsBytes) {
  const Table t = Load("41=AB\r\n42=CD");
  EXPECT_EQ(t.SingleTexts[0x42], "CD");
}

// --- Markers and directives --------------------------------------------------

TEST(LoadTable, MarkerLinesWithOneOrTwoCodes) {
  // *C1 and /C1 set one slot, *C1C2 two.
  Table t = Load("*0A\r\n/00\r\n");
  EXPECT_EQ(t.SingleCodes[0x0A], "0A");
  EXPECT_EQ(t.SingleTexts[0x0A], "*");
  EXPECT_EQ(t.SingleTexts[0x00], "/");
  t = Load("*0A0D\r\n41=A\r\n");
  EXPECT_EQ(t.SingleTexts[0x0A], "*");
  EXPECT_EQ(t.SingleTexts[0x0D], "*");
  EXPECT_EQ(t.SingleTexts[0x41], "A");
  // A marker and an entry for the same byte: the later line wins.
  t = Load("/00\r\n00=nul\r\n*0A\r\n0A=nl\r\n0A=/\r\n");
  EXPECT_EQ(t.SingleTexts[0x00], "nul");
  EXPECT_EQ(t.SingleTexts[0x0A], "/");
  // A marker cut off by the end of the file has one code only.
  t = Load("00=zero\r\n/0A");
  EXPECT_EQ(t.SingleTexts[0x0A], "/");
  EXPECT_EQ(t.SingleCodes[0x00], "00");
}

TEST(LoadTable, DirectivesLeaveNothing) {
  // Fixed-length directives, then the entries around them.
  const Table t = Load("$01=5\r\n>\r\n#\r\n!0A\r\n@0B\r\n\r\n41=A\r\n&skip-me\r\n42=B\r\n");
  EXPECT_EQ(t.SingleTexts[0x41], "A");
  EXPECT_EQ(t.SingleTexts[0x42], "B");
  int stored = 0;
  for (const auto& c : t.SingleCodes)
    stored += !c.empty();
  EXPECT_EQ(stored, 2);
}

TEST(LoadTable, DelimitedDirectivesSearchAcrossLineEnds) {
  // "(" without ")" on its line passes over lines up to the first ")".
  Table t = Load("(open\r\n41=A\r\nclose) rest\r\n42=B\r\n");
  EXPECT_TRUE(t.SingleTexts[0x41].empty());
  EXPECT_EQ(t.SingleTexts[0x42], "B");
  // "[" needs a "-" and then a "]"; "{" a "-" and then a "}".
  t = Load("[a]\r\n41=A\r\n-]\r\n42=B\r\n{x-\r\n43=C\r\n}\r\n44=D\r\n");
  EXPECT_TRUE(t.SingleTexts[0x41].empty());
  EXPECT_TRUE(t.SingleTexts[0x43].empty());
  EXPECT_EQ(t.SingleTexts[0x42], "B");
  EXPECT_EQ(t.SingleTexts[0x44], "D");
  // "&" needs a "-"; a pause entry comes only from a "HH=&" line.
  t = Load("&\r\n41=A\r\n-\r\nFE=&\r\n");
  EXPECT_TRUE(t.SingleTexts[0x41].empty());
  EXPECT_EQ(t.SingleTexts[0xFE], "&");
  // A missing delimiter ends the load.
  t = Load("41=A\r\n(never closed\r\n42=B\r\n");
  EXPECT_EQ(t.SingleTexts[0x41], "A");
  EXPECT_TRUE(t.SingleTexts[0x42].empty());
}

// --- Line ends from other systems ---------------------------------------------

TEST(LoadTable, FileWithoutAnyCrReadsEachLfAsLineEnd) {
  const Table t = Load("41=A\n*0A\n8140=two\n(c\n)\n42=B\n");
  EXPECT_EQ(t.SingleTexts[0x41], "A");
  EXPECT_EQ(t.SingleTexts[0x0A], "*");
  EXPECT_EQ(t.DoubleTexts[0], "two");
  EXPECT_EQ(t.SingleTexts[0x42], "B");
}

TEST(LoadTable, FileWithSomeCrKeepsLfInsideTexts) {
  // With CR LF line ends, a bare LF belongs to the text.
  const Table t = Load("41=A\nB\r\n42=C\r\n");
  EXPECT_EQ(t.SingleTexts[0x41], "A\nB");
  EXPECT_EQ(t.SingleTexts[0x42], "C");
}

TEST(LoadTable, FileWithoutAnyLfReadsEachCrAsLineEnd) {
  Table t = Load("41=A\r42=B\r*0A\r8140=two");
  EXPECT_EQ(t.SingleTexts[0x41], "A");
  EXPECT_EQ(t.SingleTexts[0x42], "B");
  EXPECT_EQ(t.SingleTexts[0x0A], "*");
  EXPECT_EQ(t.DoubleTexts[0], "two");
  // A file of nothing but CR bytes is blank lines.
  t = Load("\r\r\r");
  for (const auto& c : t.SingleCodes)
    EXPECT_TRUE(c.empty());
  t = Load("\r");
  EXPECT_EQ(UsedRows(t.DoubleCodes), 0u);
}

TEST(LoadTable, HugeSingleLines) {
  // A 50 MiB entry keeps every byte; a 50 MiB line that is no entry leaves
  // nothing, and both load at memchr speed.
  const std::string big(50u << 20, 'x');
  Table t = Load("41=" + big + "\r\n42=B\r\n");
  EXPECT_EQ(t.SingleTexts[0x41].size(), big.size());
  EXPECT_EQ(t.SingleTexts[0x42], "B");
  t = Load(big);
  for (const auto& c : t.SingleCodes)
    EXPECT_TRUE(c.empty());
}

TEST(LoadTable, Utf8ByteOrderMarkIsPassedOver) {
  Table t = Load(
      "\xEF\xBB\xBF"
      "41=A\r\n42=B\r\n");
  EXPECT_EQ(t.SingleCodes[0x41], "41");
  EXPECT_EQ(t.SingleTexts[0x41], "A");
  t = Load(
      "\xEF\xBB\xBF"
      "41=\xC3\xA1\n");
  EXPECT_EQ(t.SingleTexts[0x41], "\xC3\xA1");
  // Only at the very start.
  t = Load("41=\xEF\xBB\xBFx\r\n");
  EXPECT_EQ(t.SingleTexts[0x41], "\xEF\xBB\xBFx");
}

// --- Real files ------------------------------------------------------------

std::filesystem::path Data(const char* name) {
  return std::filesystem::path(ROMSCRIBER_TEST_DATA) / name;
}

TEST(LoadTableFile, EveryLineKindFromACrLfFile) {
  const Table t = LoadTableFile(Data("all_kinds.tbl"));
  EXPECT_EQ(t.SingleTexts[0x0A], "*");
  EXPECT_EQ(t.SingleTexts[0x0D], "/");
  EXPECT_EQ(t.SingleCodes[0x00], "G1");  // "G1=g" lands on slot 00 after "/000D"
  EXPECT_EQ(t.SingleTexts[0x00], "g");
  EXPECT_EQ(t.SingleTexts[0x41], "A");
  EXPECT_EQ(t.SingleTexts[0x42], " B = C");
  EXPECT_EQ(t.SingleTexts[0xFE], "&");
  EXPECT_EQ(t.SingleCodes[0xFD], "fd");
  EXPECT_EQ(t.DoubleTexts[0], "two");
  EXPECT_EQ(t.TripleTexts[0], "three");
  int stored = 0;
  for (const auto& c : t.SingleCodes)
    stored += !c.empty();
  EXPECT_EQ(stored, 7);
}

TEST(LoadTableFile, RealTableWithLfLineEndsAndUtf8Texts) {
  const Table t = LoadTableFile(Data("ffiv-psp-ptbr.tbl"));
  EXPECT_EQ(UsedRows(t.DoubleCodes), 2026u);
  EXPECT_EQ(UsedRows(t.TripleCodes), 17u);
  EXPECT_EQ(t.SingleTexts[0xFC], "<jp>");
  EXPECT_EQ(t.SingleTexts[0xFE], "\\n");
  EXPECT_EQ(t.TripleCodes[0], "F1F500");
  EXPECT_EQ(t.TripleTexts[0], "<NoName1>");
  EXPECT_EQ(t.DoubleTexts[2025], "\xE8\x94\xB5") << "the last line, without a line end, is whole";
}

TEST(LoadTableFile, FileErrors) {
  const auto number = [](const std::filesystem::path& p) {
    try {
      LoadTableFile(p);
    } catch (const AppError& e) {
      return e.Number();
    }
    return 0;
  };
  const auto dir = std::filesystem::temp_directory_path() / "romscriber_loader_test";
  std::filesystem::create_directories(dir);
  EXPECT_EQ(number(dir / "missing.tbl"), kErrFileNotFound);
  EXPECT_EQ(number(dir / "no-folder" / "x.tbl"), kErrPathNotFound);
  EXPECT_EQ(number(dir), kErrPathFileAccess);
  EXPECT_FALSE(std::filesystem::exists(dir / "missing.tbl")) << "opening never creates";
  // A file whose reading fails.
  EXPECT_EQ(number("/proc/self/mem"), kErrPathFileAccess);
  if (geteuid() != 0) {  // root reads whatever the permissions say
    std::ofstream(dir / "locked.tbl") << "41=A\r\n";
    std::filesystem::permissions(dir / "locked.tbl", std::filesystem::perms::none);
    EXPECT_EQ(number(dir / "locked.tbl"), kErrPermissionDenied);
  }
  std::filesystem::remove_all(dir);
}

}  // namespace
}  // namespace romscriber
