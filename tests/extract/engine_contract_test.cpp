// The behaviour every extraction engine must have. The fast engine and the
// literal oracle both run this suite.
#include <gtest/gtest.h>

#include "base/app_error.h"
#include "extract/engine.h"
#include "extract/literal_engine.h"
#include "extract/run_fixtures.h"

namespace romscriber::testing {
namespace {

using namespace std::string_literals;

struct FastEngine {
  static RunResult Run(const Table& t, const RunSettings& s, RunHooks& h) {
    return RunExtraction(t, s, h);
  }
};
struct LiteralEngine {
  static RunResult Run(const Table& t, const RunSettings& s, RunHooks& h) {
    return LiteralRun(t, s, h);
  }
};

// Letters, an end byte 00, a pause byte FE, a line break 0A.
const char kHolaTable[] = "48=H\n4F=O\n4C=L\n41=A\n/00\nFE=&\n*0A\n";

template <class Engine>
class EngineContract : public ::testing::Test {
 protected:
  RunResult Run(const std::string& tbl, const std::string& rom, const RunSettings& settings) {
    m_table = TableFrom(tbl);
    m_bench = std::make_unique<RunBench>(rom);
    RunHooks hooks = m_bench->Hooks();
    return Engine::Run(m_table, settings, hooks);
  }
  RunResult RunWhole(const std::string& tbl, const std::string& rom, RunMode mode = RunMode::kFree,
                     const std::string& indicator = {}) {
    return Run(tbl, rom, Settings(0, static_cast<std::int64_t>(rom.size()) - 1, mode, indicator));
  }
  const std::vector<WrittenScript>& Scripts() const { return m_bench->Sink.Scripts; }
  RunBench& Bench() { return *m_bench; }

 private:
  Table m_table;
  std::unique_ptr<RunBench> m_bench;
};

using Engines = ::testing::Types<FastEngine, LiteralEngine>;
TYPED_TEST_SUITE(EngineContract, Engines);

using V = std::vector<WrittenScript>;

// --- Decoding in free mode -------------------------------------------------

TYPED_TEST(EngineContract, EndEntryClosesScriptWithEndWord) {
  const auto result = this->RunWhole(kHolaTable, "HOLA\x00"s);
  EXPECT_EQ(this->Scripts(), (V{{"0", "HOLA[END]"}}));
  EXPECT_EQ(result.ScriptCount, 1);
  EXPECT_FALSE(result.Stopped);
}

TYPED_TEST(EngineContract, PauseClosesScriptWithWaitAndNextItemOpensANewOne) {
  this->RunWhole(kHolaTable,
                 "HO\xFE"
                 "LA\x00"s);
  EXPECT_EQ(this->Scripts(), (V{{"0", "HO[WAIT]"}, {"3", "LA[END]"}}));
}

TYPED_TEST(EngineContract, BytesWithoutEntryAreBracketedInUpperCaseHex) {
  this->RunWhole(kHolaTable, "H\xFF\x1b\x00"s);
  EXPECT_EQ(this->Scripts(), (V{{"0", "H[FF][1B][END]"}}));
}

TYPED_TEST(EngineContract, EndEntryOnEmptyTextWritesNothingButLineBreakCounts) {
  const auto result = this->RunWhole(kHolaTable, "\x00\x0a\x00"s);
  // The first end meets an empty text; the line break makes the second write.
  EXPECT_EQ(this->Scripts(), (V{{"1", "\r\n[END]"}}));
  EXPECT_EQ(result.ScriptCount, 1);
}

TYPED_TEST(EngineContract, RangeEndingMidScriptWritesPendingTextWithoutWord) {
  this->Run(kHolaTable, "HOLA\x00"s, Settings(1, 2));
  EXPECT_EQ(this->Scripts(), (V{{"1", "OL"}}));
}

TYPED_TEST(EngineContract, ScriptsAreNamedByTheDecimalOffsetOfTheirFirstItem) {
  std::string rom(0x200, '\x00');
  rom[0x100] = 'H';
  rom[0x180] = 'A';
  this->RunWhole(kHolaTable, rom);
  EXPECT_EQ(this->Scripts(), (V{{"256", "H[END]"}, {"384", "A[END]"}}));
}

TYPED_TEST(EngineContract, LongestEntryWinsThreeThenTwoThenOne) {
  // 414243 is a three-byte entry, 4142 a two-byte one, 41 a single byte.
  this->RunWhole("41=a\n4142=ab\n414243=abc\n", "ABCABA");
  EXPECT_EQ(this->Scripts(), (V{{"0", "abcaba"}}));
}

TYPED_TEST(EngineContract, MultiByteTextsWithMarkerCharactersAreOrdinaryText) {
  this->RunWhole("4142=/\n4344=*\n454647=&\n", "ABCDEFG");
  EXPECT_EQ(this->Scripts(), (V{{"0", "/*&"}}));
}

TYPED_TEST(EngineContract, LowerCaseCodesNeverMatchAndFirstRepeatedRowWins) {
  // The lower-case 4a is stored but never matches byte 4A; of the two 4142
  // rows the first wins.
  this->RunWhole("4a=x\n4142=first\n4142=second\n", "JAB");
  EXPECT_EQ(this->Scripts(), (V{{"0", "[4A]first"}}));
}

TYPED_TEST(EngineContract, MultiByteEntryAtEndOffsetIsTakenWhole) {
  this->Run("414243=abc\n", "xxABCyy", Settings(0, 2));
  EXPECT_EQ(this->Scripts(), (V{{"0", "[78][78]abc"}}));
}

TYPED_TEST(EngineContract, KeysNeedingBytesPastTheEndOfFileMatchNothing) {
  // The ROM ends inside the would-be three- and two-byte entries.
  this->RunWhole("414243=abc\n4142=ab\n", "xAB");
  EXPECT_EQ(this->Scripts(), (V{{"0", "[78]ab"}}));
  this->RunWhole("414243=abc\n4142=ab\n", "xxA");
  EXPECT_EQ(this->Scripts(), (V{{"0", "[78][78][41]"}}));
}

TYPED_TEST(EngineContract, RangeEndingAtTheRomSizeStopsAtTheLastByte) {
  // An end offset equal to the ROM size names the byte just past the file.
  const auto result = this->Run(kHolaTable, "HOLA", Settings(0, 4));
  EXPECT_EQ(this->Scripts(), (V{{"0", "HOLA"}}));
  EXPECT_EQ(result.ScriptCount, 1);
  EXPECT_EQ(this->Bench().Host.LastProgress(), "3 (75%)");
}

TYPED_TEST(EngineContract, ProgressEndsWithTheLastExaminedPosition) {
  this->Run(kHolaTable, "xxxxxxxxxxxxxxxxHO", Settings(0x10, 0x11));
  EXPECT_EQ(this->Bench().Host.LastProgress(), "1 (100%)");
}

TYPED_TEST(EngineContract, MultiByteStepsAreNotExaminedPositions) {
  // The three-byte entry at 0 covers positions 1 and 2; the last examined is 3.
  this->Run("414243=abc\n", "ABCD", Settings(0, 3));
  EXPECT_EQ(this->Bench().Host.LastProgress(), "3 (100%)");
}

TYPED_TEST(EngineContract, ScriptPassingTheLengthLimitIsWrittenAndANewOneBegins) {
  // An empty table brackets every byte in four characters: 16,251 bytes give
  // 65,004 characters, one past the limit.
  const std::string rom(16251 + 3, 'z');
  const auto result = this->Run("", rom, Settings(0, static_cast<std::int64_t>(rom.size()) - 1));
  ASSERT_EQ(this->Scripts().size(), 2u);
  EXPECT_EQ(this->Scripts()[0].Name, "0");
  EXPECT_EQ(this->Scripts()[0].Text.size(), 65004u);
  EXPECT_EQ(this->Scripts()[1].Name, "16251");
  EXPECT_EQ(this->Scripts()[1].Text, "[7A][7A][7A]");
  EXPECT_EQ(result.ScriptCount, 2);
}

TYPED_TEST(EngineContract, EmptyTableAndShortRangeGiveOneBracketedScript) {
  const std::string rom(16250, '\x01');
  this->Run("", rom, Settings(0, 16249));
  ASSERT_EQ(this->Scripts().size(), 1u);
  EXPECT_EQ(this->Scripts()[0].Text.size(), 65000u);
}

// --- Block mode ------------------------------------------------------------

TYPED_TEST(EngineContract, BlockModeDecodesOnlyBlocksAndIndicatorIgnoresCase) {
  this->RunWhole(kHolaTable,
                 "LL\xEEHO\x00LL\xEE"
                 "A\x00L"s,
                 RunMode::kBlock, "ee");
  EXPECT_EQ(this->Scripts(), (V{{"3", "HO[END]"}, {"9", "A[END]"}}));
}

TYPED_TEST(EngineContract, BlocksThatFollowEachOtherDirectlyBothGiveScripts) {
  this->RunWhole(kHolaTable,
                 "\xEEH\x00\xEE"
                 "A\x00"s,
                 RunMode::kBlock, "EE");
  EXPECT_EQ(this->Scripts(), (V{{"1", "H[END]"}, {"4", "A[END]"}}));
}

TYPED_TEST(EngineContract, RepeatedIndicatorDropsTextAndRenamesAfterIt) {
  this->RunWhole(kHolaTable, "\xEEHO\xEELA\x00"s, RunMode::kBlock, "EE");
  EXPECT_EQ(this->Scripts(), (V{{"4", "LA[END]"}}));
}

TYPED_TEST(EngineContract, MultiByteEntryStartingWithIndicatorValueIsDecoded) {
  this->RunWhole("EE48=ok\n/00\n", "\xEE\xEEH\x00"s, RunMode::kBlock, "EE");
  EXPECT_EQ(this->Scripts(), (V{{"1", "ok[END]"}}));
}

TYPED_TEST(EngineContract, PauseInBlockSplitsItIntoTwoScripts) {
  this->RunWhole(kHolaTable, "x\xEEHO\xFELA\x00x"s, RunMode::kBlock, "EE");
  EXPECT_EQ(this->Scripts(), (V{{"2", "HO[WAIT]"}, {"5", "LA[END]"}}));
}

TYPED_TEST(EngineContract, BlockBeginningInsideRangeRunsPastTheEndOffset) {
  this->Run(kHolaTable, "\xEEHOLA\x00"s, Settings(0, 1, RunMode::kBlock, "EE"));
  EXPECT_EQ(this->Scripts(), (V{{"1", "HOLA[END]"}}));
  EXPECT_EQ(this->Bench().Host.LastProgress(), "5 (500%)");
}

TYPED_TEST(EngineContract, BlockRunningIntoEndOfFileKeepsItsText) {
  const auto result = this->RunWhole(kHolaTable, "\xEEH\x00\xEEOLA"s, RunMode::kBlock, "EE");
  EXPECT_EQ(this->Scripts(), (V{{"1", "H[END]"}, {"4", "OLA"}}));
  EXPECT_EQ(result.ScriptCount, 2);
  EXPECT_FALSE(result.Stopped);
}

TYPED_TEST(EngineContract, BlockModeWritesNoPendingTextOutsideBlocks) {
  const auto result = this->RunWhole(kHolaTable, "HOLA", RunMode::kBlock, "EE");
  EXPECT_TRUE(this->Scripts().empty());
  EXPECT_EQ(result.ScriptCount, 0);
}

// --- Stop and failure ------------------------------------------------------

TYPED_TEST(EngineContract, StopIsHonouredBeforeTheNextPosition) {
  // The stop arrives while the first script is written; nothing after it is
  // decoded.
  Table table = TableFrom(kHolaTable);
  RunBench run("HO\xFELA\xFEHOLA"s);
  run.Sink.OnWrite = [&](std::size_t n) {
    if (n == 1) run.Stop = true;
  };
  RunHooks hooks = run.Hooks();
  const auto result = TypeParam::Run(table, Settings(0, 11), hooks);
  EXPECT_TRUE(result.Stopped);
  EXPECT_EQ(run.Sink.Scripts, (V{{"0", "HO[WAIT]"}}));
  EXPECT_EQ(result.ScriptCount, 1);
}

TYPED_TEST(EngineContract, StopInBlockModeDropsTheBlockUnderWay) {
  Table table = TableFrom(kHolaTable);
  RunBench run("\xEEHO\xFELA\x00"s);
  run.Sink.OnWrite = [&](std::size_t) { run.Stop = true; };
  RunHooks hooks = run.Hooks();
  const auto result = TypeParam::Run(table, Settings(0, 6, RunMode::kBlock, "EE"), hooks);
  EXPECT_TRUE(result.Stopped);
  EXPECT_EQ(run.Sink.Scripts, (V{{"1", "HO[WAIT]"}}));
}

TYPED_TEST(EngineContract, StopBeforeTheFirstPositionDecodesNothing) {
  Table table = TableFrom(kHolaTable);
  RunBench run("HOLA");
  run.Stop = true;
  RunHooks hooks = run.Hooks();
  const auto result = TypeParam::Run(table, Settings(0, 3), hooks);
  EXPECT_TRUE(result.Stopped);
  EXPECT_TRUE(run.Sink.Scripts.empty());
  EXPECT_EQ(run.Host.LastProgress(), "0 (0%)");
}

TYPED_TEST(EngineContract, SinkFailureEndsTheRunAndKeepsEarlierScripts) {
  Table table = TableFrom(kHolaTable);
  RunBench run("H\x00O\x00L\x00"s);
  run.Sink.FailAt = 1;
  RunHooks hooks = run.Hooks();
  try {
    TypeParam::Run(table, Settings(0, 5), hooks);
    FAIL() << "the failing write must end the run";
  } catch (const AppError& e) {
    EXPECT_EQ(e.Number(), kErrDiskFull);
  }
  EXPECT_EQ(run.Sink.Scripts, (V{{"0", "H[END]"}}));
  EXPECT_EQ(run.Host.LastProgress(), "3 (60%)");
}

}  // namespace
}  // namespace romscriber::testing
