// What only the fast engine promises: bounded event servicing, chunked reads
// and cheap progress reports.
#include "extract/engine.h"

#include <gtest/gtest.h>

#include "extract/run_fixtures.h"

namespace romscriber::testing {
namespace {

TEST(ProgressText, RoundsHalvesToEven) {
  EXPECT_EQ(ProgressText(150, 200), "150 (75%)");
  EXPECT_EQ(ProgressText(1, 200), "1 (0%)");  // 0.5
  EXPECT_EQ(ProgressText(3, 200), "3 (2%)");  // 1.5
  EXPECT_EQ(ProgressText(5, 200), "5 (2%)");  // 2.5
  EXPECT_EQ(ProgressText(0, 1), "0 (0%)");
  EXPECT_EQ(ProgressText(1, 1), "1 (100%)");
  EXPECT_EQ(ProgressText(7, 2), "7 (350%)");
}

TEST(ProgressText, NoOverflowOnLargeRomsAndLongBlocks) {
  EXPECT_EQ(ProgressText(21474837, 0x7FFFFFFF), "21474837 (1%)");
  EXPECT_EQ(ProgressText(0x7FFFFFFF, 0x7FFFFFFF), "2147483647 (100%)");
  EXPECT_EQ(ProgressText(0x100000000LL, 0x80000000LL), "4294967296 (200%)");
}

TEST(IndicatorByte, TwoHexDigitsOfEitherCase) {
  EXPECT_EQ(IndicatorByte("fe"), 0xFE);
  EXPECT_EQ(IndicatorByte("FE"), 0xFE);
  EXPECT_EQ(IndicatorByte("0a"), 0x0A);
  EXPECT_EQ(IndicatorByte("F"), -1);
  EXPECT_EQ(IndicatorByte("FG"), -1);
  EXPECT_EQ(IndicatorByte("FEE"), -1);
}

TEST(FastEngine, ServicesEventsAtABoundedRateAndReadsInChunks) {
  const std::string rom(1 << 20, 'x');
  Table table = TableFrom("78=x\n");
  RunBench bench(rom);
  RunHooks hooks = bench.Hooks();
  RunExtraction(table, Settings(0, static_cast<std::int64_t>(rom.size()) - 1), hooks);
  // One servicing every 4096 positions, give or take the first and the
  // scripts the length limit writes (16 of them here).
  EXPECT_GE(bench.Host.ServiceCalls, (1 << 20) / 4096);
  EXPECT_LE(bench.Host.ServiceCalls, (1 << 20) / 4096 + 40);
  EXPECT_LE(bench.Rom.Reads, 20);
  EXPECT_EQ(bench.Host.Progress.size(), static_cast<std::size_t>(bench.Host.ServiceCalls));
  EXPECT_EQ(bench.Host.LastProgress(), ProgressText((1 << 20) - 1, (1 << 20) - 1));
}

TEST(FastEngine, EntriesAcrossReadChunksAreFound) {
  // Three- and two-byte entries straddling the 64 KiB chunk edges.
  std::string rom(3 * 65536, '\0');
  rom.replace(65535, 3, "ABC");
  rom.replace(2 * 65536 - 1, 2, "DE");
  Table table = TableFrom("414243=abc\n4445=de\n/00\n");
  RunBench bench(rom);
  RunHooks hooks = bench.Hooks();
  RunExtraction(table, Settings(0, static_cast<std::int64_t>(rom.size()) - 1), hooks);
  EXPECT_EQ(bench.Sink.Scripts,
            (std::vector<WrittenScript>{{"65535", "abc[END]"}, {"131071", "de[END]"}}));
}

TEST(FastEngine, StopWithPendingTextInFreeModeWritesAndCountsIt) {
  // The second servicing comes 4096 positions in; the stop requested there
  // ends the run with those positions' text pending.
  const std::string rom(10000, 'H');
  Table table = TableFrom("48=H\n");
  RunBench bench(rom);
  bench.Host.StopAtService = 2;
  RunHooks hooks = bench.Hooks();
  const RunResult result = RunExtraction(table, Settings(0, 9999), hooks);
  EXPECT_TRUE(result.Stopped);
  EXPECT_EQ(result.ScriptCount, 1);
  ASSERT_EQ(bench.Sink.Scripts.size(), 1u);
  EXPECT_EQ(bench.Sink.Scripts[0].Text, std::string(4096, 'H'));
  EXPECT_EQ(bench.Host.LastProgress(), "4096 (41%)");
}

TEST(FastEngine, StopInBlockModeDropsThePendingBlock) {
  std::string rom = "\xEE" + std::string(9999, 'H');
  Table table = TableFrom("48=H\n");
  RunBench bench(rom);
  bench.Host.StopAtService = 2;
  RunHooks hooks = bench.Hooks();
  const RunResult result = RunExtraction(table, Settings(0, 9999, RunMode::kBlock, "EE"), hooks);
  EXPECT_TRUE(result.Stopped);
  EXPECT_TRUE(bench.Sink.Scripts.empty());
}

TEST(FastEngine, RangeThatDoesNotEndAfterItsStartIsRefused) {
  Table table;
  RunBench bench("abc");
  RunHooks hooks = bench.Hooks();
  EXPECT_THROW(RunExtraction(table, Settings(2, 2), hooks), std::invalid_argument);
  EXPECT_THROW(RunExtraction(table, Settings(-1, 2), hooks), std::invalid_argument);
}

}  // namespace
}  // namespace romscriber::testing
