// The text helpers against literal readings of their rules, over random
// texts: UTF-8 decoded character by character from the definition, lines cut
// by looking at each byte, hex read digit by digit.
#include "base/text.h"

#include <gtest/gtest.h>

#include <random>
#include <string>
#include <vector>

namespace romscriber::testing {
namespace {

// Where the first ill-formed sequence begins, decoding each character from
// its bytes and checking the value against the sequence's length.
std::optional<std::size_t> LiteralFirstInvalid(const std::string& s) {
  std::size_t i = 0;
  while (i < s.size()) {
    const auto b = static_cast<unsigned char>(s[i]);
    std::size_t length = b < 0x80 ? 1 : (b >> 5) == 6 ? 2 : (b >> 4) == 14 ? 3 : (b >> 3) == 30 ? 4 : 0;
    if (length == 0 || i + length > s.size()) return i;
    std::uint32_t cp = length == 1 ? b : b & (0x7F >> length);
    for (std::size_t k = 1; k < length; ++k) {
      const auto c = static_cast<unsigned char>(s[i + k]);
      if ((c & 0xC0) != 0x80) return i;
      cp = cp << 6 | (c & 0x3F);
    }
    const std::uint32_t least[] = {0, 0, 0x80, 0x800, 0x10000};
    if (cp < least[length] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return i;
    i += length;
  }
  return std::nullopt;
}

TEST(Text, Utf8CheckAndCharacterCountAgreeWithDecodingEachCharacter) {
  std::mt19937 rng(7);
  // Bytes drawn mostly from the lead and continuation ranges where the
  // boundaries lie.
  const std::vector<int> bytes = {0x00, 0x41, 0x7F, 0x80, 0x8F, 0x90, 0x9F, 0xA0, 0xBF, 0xC0, 0xC1,
                                  0xC2, 0xDF, 0xE0, 0xED, 0xEF, 0xF0, 0xF4, 0xF5, 0xFF};
  for (int round = 0; round < 20000; ++round) {
    std::string s;
    for (int n = std::uniform_int_distribution<int>(0, 8)(rng); n > 0; --n)
      s += static_cast<char>(bytes[std::uniform_int_distribution<std::size_t>(0, bytes.size() - 1)(rng)]);
    const auto expected = LiteralFirstInvalid(s);
    ASSERT_EQ(FirstInvalidUtf8(s), expected) << round;
    if (!expected) {
      std::size_t characters = 0;
      for (std::size_t i = 0; i < s.size(); ++characters) {
        const auto b = static_cast<unsigned char>(s[i]);
        i += b < 0x80 ? 1 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4;
      }
      EXPECT_EQ(CodePoints(s), characters);
    }
  }
}

TEST(Text, LinesEndAtLfCrLfOrALoneCrAndLineAtCountsTheSameWay) {
  std::mt19937 rng(9);
  const std::string pieces[] = {"a", "bc", "\n", "\r", "\r\n", " ", "\t"};
  for (int round = 0; round < 5000; ++round) {
    std::string text;
    for (int n = std::uniform_int_distribution<int>(0, 10)(rng); n > 0; --n)
      text += pieces[std::uniform_int_distribution<int>(0, 6)(rng)];
    // Literally: a line ends at each CR not followed by LF and each LF.
    std::vector<std::string> expected(1);
    std::vector<int> lineOf;
    for (std::size_t i = 0; i < text.size(); ++i) {
      lineOf.push_back(static_cast<int>(expected.size()));
      if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;
      if (text[i] == '\n' || text[i] == '\r') {
        expected.emplace_back();
      } else {
        expected.back() += text[i];
      }
    }
    if (text.empty() || text.back() == '\n' || text.back() == '\r') expected.pop_back();
    std::vector<std::string> got;
    ForEachLine(text, [&](std::string_view line, int number) {
      got.emplace_back(line);
      EXPECT_EQ(number, static_cast<int>(got.size()));
    });
    ASSERT_EQ(got, expected) << round;
    for (std::size_t i = 0; i < text.size(); ++i)
      ASSERT_EQ(LineAt(text, i), lineOf[i]) << round << " at " << i;
  }
}

TEST(Text, HexDigitsReadAsNumbersAndBytes) {
  std::mt19937 rng(3);
  const std::string digits = "0123456789abcdefABCDEFgx-";
  for (int round = 0; round < 20000; ++round) {
    std::string s;
    for (int n = std::uniform_int_distribution<int>(0, 17)(rng); n > 0; --n)
      s += digits[std::uniform_int_distribution<std::size_t>(0, digits.size() - 1)(rng)];
    bool allHex = !s.empty();
    std::int64_t value = 0;
    std::string bytes;
    for (std::size_t i = 0; i < s.size(); ++i) {
      const std::size_t d = digits.find(s[i]);
      if (d >= 22) {
        allHex = false;
        continue;
      }
      const int v = d < 16 ? static_cast<int>(d) : static_cast<int>(d) - 6;
      if (i < 15) value = value * 16 + v;  // more digits than that are refused
      if (i % 2 == 1) bytes += static_cast<char>(HexDigitValue(s[i - 1]) * 16 + v);
    }
    const auto number = ParseHexNumber(s);
    if (allHex && s.size() <= 15) {
      ASSERT_TRUE(number) << s;
      EXPECT_EQ(*number, value) << s;
    } else {
      EXPECT_FALSE(number) << s;
    }
    const auto parsed = ParseHexBytes(s);
    if ((allHex || s.empty()) && s.size() % 2 == 0) {
      ASSERT_TRUE(parsed) << s;
      EXPECT_EQ(*parsed, bytes) << s;
    } else {
      EXPECT_FALSE(parsed) << s;
    }
  }
  EXPECT_EQ(HexByteAt("x4aZ", 1), 0x4A);
  EXPECT_EQ(HexByteAt("x4", 1), -1);
}

}  // namespace
}  // namespace romscriber::testing
