#include "table/table.h"

#include <gtest/gtest.h>

#include <cstdio>

#include "table/compiled.h"

namespace romscriber {
namespace {

// What the compiled table shows for `bytes` and how many it takes, or "-".
std::string Decode(const CompiledTable& table, std::string_view bytes) {
  const TableEntry* e =
      table.Match(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
  return e ? std::string(table.Shown(*e)) + "/" + std::to_string(e->KeySize) : "-";
}

CompiledTable Classic(const Table& t) { return CompiledTable::FromClassic(t, DecodeStyle{}); }

TEST(Table, ClearTableEmptiesEveryListAndNothingMatchesAfterwards) {
  Table t;
  t.SingleCodes[0x41] = "41";
  t.SingleTexts[0x41] = "A";
  t.DoubleCodes[0] = "8140";
  t.TripleCodes[4999] = "814243";
  t.TripleTexts[4999] = "x";
  ClearTable(t);
  for (std::size_t i = 0; i < kSingleSlots; ++i) {
    EXPECT_TRUE(t.SingleCodes[i].empty() && t.SingleTexts[i].empty());
  }
  EXPECT_EQ(UsedRows(t.DoubleCodes), 0u);
  EXPECT_TRUE(t.TripleCodes[4999].empty() && t.TripleTexts[4999].empty());
  EXPECT_TRUE(Classic(t).Entries().empty());
}

TEST(CompiledClassicTable, SlotWithEmptyCodeNeverMatchesEvenWithText) {
  Table t;
  t.SingleTexts[0x41] = "A";
  EXPECT_EQ(Decode(Classic(t), "A"), "-");
}

TEST(CompiledClassicTable, FindsWhatTheFirstMatchInSlotOrderFinds) {
  Table t;
  // A code sitting in another byte's slot still matches, and the lower slot wins.
  t.SingleCodes[0x10] = "41";
  t.SingleTexts[0x10] = "first";
  t.SingleCodes[0x41] = "41";
  t.SingleTexts[0x41] = "second";
  t.DoubleCodes = {"8140", "8140", "", "8141"};
  t.DoubleTexts = {"d0", "d1", "", "d3"};
  t.DoubleCodes.resize(kMultiRows);
  t.DoubleTexts.resize(kMultiRows);
  t.TripleCodes[0] = "81a0b0";  // lower case never matches
  t.TripleTexts[0] = "lower";
  t.TripleCodes[1] = "81A0B0";
  t.TripleTexts[1] = "upper";
  const CompiledTable c = Classic(t);
  EXPECT_EQ(Decode(c, "A"), "first/1");
  EXPECT_EQ(Decode(c, "\x81\x40"), "d0/2") << "the first row of a repeated code wins";
  EXPECT_EQ(Decode(c, "\x81\x41"), "-") << "rows after an empty code are unused";
  EXPECT_EQ(Decode(c, "\x81\xA0\xB0"), "upper/3") << "keys are upper case";
  EXPECT_EQ(Decode(c, "\x81\xA0\xB1"), "-");
  EXPECT_EQ(Decode(c, "\x81\x40\xB0"), "d0/2") << "longest first, then shorter";
  EXPECT_EQ(Decode(c, "\x81\xA0"), "-") << "a key longer than the bytes left never matches";
}

TEST(CompiledClassicTable, FullListsOfDistinctCodesAreAllFound) {
  Table t;
  for (std::size_t row = 0; row < kMultiRows; ++row) {
    char code[8];
    std::snprintf(code, sizeof code, "%06zX", row * 3331 % 0x1000000);
    t.TripleCodes[row] = code;
    t.TripleTexts[row] = std::to_string(row);
  }
  const CompiledTable c = Classic(t);
  for (std::size_t row = 0; row < kMultiRows; ++row) {
    const std::uint32_t v = static_cast<std::uint32_t>(row * 3331 % 0x1000000);
    const std::string bytes{static_cast<char>(v >> 16), static_cast<char>(v >> 8),
                            static_cast<char>(v)};
    ASSERT_EQ(Decode(c, bytes), std::to_string(row) + "/3");
  }
}

TEST(CompiledClassicTable, MarkerTextsOnlyWhenExactAndShownInTheStyle) {
  Table t;
  const char* texts[] = {"/", "*", "&", "//"};
  for (int b = 0; b < 4; ++b) {
    t.SingleCodes[b] = "0" + std::to_string(b);
    t.SingleTexts[b] = texts[b];
  }
  DecodeStyle run;  // a range dump in [ ] brackets
  run.RawLeft = "[";
  run.RawRight = "]";
  const CompiledTable c = CompiledTable::FromClassic(t, run);
  EXPECT_EQ(Decode(c, std::string(1, '\0')), "[END]/1");
  EXPECT_EQ(Decode(c, "\x01"), "\r\n/1");
  EXPECT_EQ(Decode(c, "\x02"), "[WAIT]/1");
  EXPECT_EQ(Decode(c, "\x03"), "///1");
  EXPECT_EQ(RawText(c.Style(), "\x9C"), "[9C]");
  EXPECT_EQ(c.Match(reinterpret_cast<const std::uint8_t*>("\x02"), 1)->Kind, TokenKind::kPause);

  // A project dump: raw bytes, the pause ends nothing.
  const CompiledTable p = CompiledTable::FromClassic(t, ProjectStyle());
  EXPECT_EQ(Decode(p, std::string(1, '\0')), "<$00>/1");
  EXPECT_EQ(Decode(p, "\x01"), "\n/1");
  EXPECT_EQ(Decode(p, "\x02"), "<$02>/1");
  EXPECT_EQ(p.Match(reinterpret_cast<const std::uint8_t*>("\x02"), 1)->Kind, TokenKind::kText);
  EXPECT_EQ(p.Match(reinterpret_cast<const std::uint8_t*>("\x00"), 1)->Kind, TokenKind::kEnd);
}

}  // namespace
}  // namespace romscriber
