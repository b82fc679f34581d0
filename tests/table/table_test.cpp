#include "table/table.h"

#include <gtest/gtest.h>

#include "table/lookup.h"

namespace romscriber {
namespace {

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
  const TableLookup lookup(t);
  EXPECT_EQ(lookup.SingleKind(0x41), EntryKind::kNone);
  EXPECT_FALSE(lookup.FindEntry(EntryList::kDouble, "8140"));
}

TEST(TableLookup, SlotWithEmptyCodeNeverMatchesEvenWithText) {
  Table t;
  t.SingleTexts[0x41] = "A";
  EXPECT_EQ(TableLookup(t).SingleKind(0x41), EntryKind::kNone);
}

TEST(TableLookup, FindsWhatTheFirstMatchInSlotOrderFinds) {
  Table t;
  // A code sitting in another byte's slot still matches, and the lower slot wins.
  t.SingleCodes[0x10] = "41";
  t.SingleTexts[0x10] = "first";
  t.SingleCodes[0x41] = "41";
  t.SingleTexts[0x41] = "second";
  t.DoubleCodes = {"8140", "8140", "", "8141"};
  t.DoubleCodes.resize(kMultiRows);
  t.TripleCodes[0] = "81a0b0";  // lower case never matches
  t.TripleCodes[1] = "81A0B0";
  const TableLookup lookup(t);
  EXPECT_EQ(lookup.FindEntry(EntryList::kSingle, "41"), 0x10u);
  EXPECT_EQ(lookup.FindEntry(EntryList::kDouble, "8140"), 0u);
  EXPECT_FALSE(lookup.FindEntry(EntryList::kDouble, "8141"))
      << "rows after an empty code are unused";
  EXPECT_EQ(lookup.FindEntry(EntryList::kTriple, "81A0B0"), 1u);
  EXPECT_FALSE(lookup.FindEntry(EntryList::kTriple, "81a0b0")) << "keys are upper case";
  EXPECT_EQ(lookup.TripleRow(0x81, 0xA0, 0xB0), 1);
  EXPECT_EQ(lookup.TripleRow(0x81, 0xA0, 0xB1), -1);
  EXPECT_EQ(lookup.DoubleRow(0x81, 0x40), 0);
}

TEST(TableLookup, FullListsOfDistinctCodesAreAllFound) {
  Table t;
  for (std::size_t row = 0; row < kMultiRows; ++row) {
    char code[8];
    std::snprintf(code, sizeof code, "%06zX", row * 3331 % 0x1000000);
    t.TripleCodes[row] = code;
    t.TripleTexts[row] = std::to_string(row);
  }
  const TableLookup lookup(t);
  for (std::size_t row = 0; row < kMultiRows; ++row) {
    ASSERT_EQ(lookup.FindEntry(EntryList::kTriple, t.TripleCodes[row]), row);
  }
}

TEST(TableLookup, MarkerSingleTextsOnlyWhenExact) {
  Table t;
  t.SingleCodes[0] = "00";
  t.SingleTexts[0] = "/";
  t.SingleCodes[1] = "01";
  t.SingleTexts[1] = "*";
  t.SingleCodes[2] = "02";
  t.SingleTexts[2] = "&";
  t.SingleCodes[3] = "03";
  t.SingleTexts[3] = "//";
  const TableLookup lookup(t);
  EXPECT_EQ(lookup.SingleKind(0), EntryKind::kEnd);
  EXPECT_EQ(lookup.SingleKind(1), EntryKind::kLineBreak);
  EXPECT_EQ(lookup.SingleKind(2), EntryKind::kPause);
  EXPECT_EQ(lookup.SingleKind(3), EntryKind::kOrdinary);
}

}  // namespace
}  // namespace romscriber
