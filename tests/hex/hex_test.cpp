#include "hex/hex.h"

#include <gtest/gtest.h>

#include "base/app_error.h"
#include "extract/temp_folder.h"

namespace romscriber {
namespace {

using testing::ErrorOf;

TEST(Hexx, ReadsLeadingDigitsOnly) {
  EXPECT_EQ(hexx("4A"), 74);
  EXPECT_EQ(hexx("4a"), 74);
  EXPECT_EQ(hexx("4A=x"), 74);  // stops at "="
  EXPECT_EQ(hexx("G1"), 0);     // no leading digit
  EXPECT_EQ(hexx("4G"), 4);
  EXPECT_EQ(hexx("=41"), 0);
  EXPECT_EQ(hexx(""), 0);
  EXPECT_EQ(hexx("7FFFFFFF"), 2147483647);
  EXPECT_EQ(hexx("00000000000000000001"), 1);
}

TEST(Hexx, TwoCharacterCodesAlwaysNameASingleByteSlot) {
  for (int a = 0; a < 256; ++a) {
    for (int b = 0; b < 256; ++b) {
      const char code[] = {static_cast<char>(a), static_cast<char>(b)};
      const int v = hexx(std::string_view(code, 2));
      ASSERT_GE(v, 0);
      ASSERT_LE(v, 255);
    }
  }
}

TEST(Hexx, OverflowAndPlaceLimits) {
  EXPECT_EQ(ErrorOf([] { hexx("80000000"); }), kErrOverflow);
  EXPECT_EQ(ErrorOf([] { hexx("100000000"); }), kErrOverflow);
  // 100 digits fit; a 101st character of any kind has no place.
  EXPECT_EQ(hexx(std::string(99, '0') + "F"), 15);
  EXPECT_EQ(ErrorOf([] { hexx(std::string(100, '0') + "1"); }), kErrSubscript);
  EXPECT_EQ(ErrorOf([] { hexx(std::string(100, '0') + "="); }), kErrSubscript);
  EXPECT_EQ(hexx(std::string(99, '0') + "=" + std::string(50, '1')), 0);
  // Long texts overflow whatever they hold.
  EXPECT_EQ(ErrorOf([] { hexx(std::string(32767, '=')); }), kErrOverflow);
  EXPECT_EQ(hexx(std::string(32766, '=')), 0);
}

TEST(HexToDec, EveryCharacterKeepsItsPlace) {
  EXPECT_EQ(HexToDec("1A0"), 416);
  EXPECT_EQ(HexToDec("1a0"), 416);
  EXPECT_EQ(HexToDec("0"), 0);
  EXPECT_EQ(HexToDec(""), 0);
  EXPECT_EQ(HexToDec("7FFFFFFF"), 2147483647);
  EXPECT_EQ(HexToDec("1G"), 16);
  EXPECT_EQ(HexToDec("G1"), 1);
  EXPECT_EQ(HexToDec("1 2"), 258);
  EXPECT_EQ(HexToDec("A "), 160);  // a trailing blank multiplies by sixteen
  EXPECT_EQ(HexToDec(std::string(40, '0') + "FF"), 255);
}

TEST(HexToDec, Overflow) {
  EXPECT_EQ(ErrorOf([] { HexToDec("100000000"); }), kErrOverflow);
  EXPECT_EQ(ErrorOf([] { HexToDec("80000000"); }), kErrOverflow);
  EXPECT_EQ(ErrorOf([] { HexToDec("1" + std::string(300, ' ')); }), kErrOverflow);
  EXPECT_EQ(ErrorOf([] { HexToDec(std::string(32768, '0')); }), kErrOverflow);
  EXPECT_EQ(HexToDec(std::string(32767, '0')), 0);
}

TEST(TextToHex, TwoUpperCaseDigitsPerByteInOrder) {
  EXPECT_EQ(TextToHex("abc"), "616263");
  EXPECT_EQ(TextToHex(std::string("\x01\x4A\xFF", 3)), "014AFF");
  EXPECT_EQ(TextToHex(std::string(1, '\0')), "00");
  EXPECT_EQ(TextToHex("\n"), "0A");
  EXPECT_EQ(TextToHex(""), "");
  EXPECT_EQ(ErrorOf([] { TextToHex(std::string(32767, 'a')); }), kErrOverflow);
  EXPECT_EQ(TextToHex(std::string(32766, 'a')).size(), 65532u);
}

}  // namespace
}  // namespace romscriber
