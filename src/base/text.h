// Text helpers every reader and writer shares, one of each:
//
//   FirstInvalidUtf8   where a text stops being well-formed UTF-8
//   CodePoints         how many characters a UTF-8 text holds
//   DecodeUtf8         the characters of a UTF-8 text, as code points
//   ForEachLine        the lines of a file's text, under the one line-end rule
//   LineAt             the line number of a byte of such a text
//   Trim               a text without the spaces and tabs around it
//   ParseHexNumber     a whole text of hex digits as a number
//   ParseHexBytes      a whole text of hex digits, two per byte, as bytes
//   HexByteAt          two hex digits at a place of a text, as a byte
//
// The line-end rule of every text file the tools read (tables in the
// extended dialect, scripts, widths files): a line ends at LF, at CR LF or
// at a lone CR, and the last line needs no line end. (Classic tables keep a
// rule of their own: see table/loader.h.)
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace romscriber {

// Byte position of the first byte of `text` that does not start or continue
// a well-formed UTF-8 character (no overlong forms, no surrogates, nothing
// above U+10FFFF), or nothing when all of it is well formed.
std::optional<std::size_t> FirstInvalidUtf8(std::string_view text);

// Characters (code points) of a well-formed UTF-8 text: its bytes that do
// not continue a character.
std::size_t CodePoints(std::string_view text);

// The code points of a well-formed UTF-8 text, in order.
std::vector<char32_t> DecodeUtf8(std::string_view text);

// Calls `line(text, number)` for each line of `text` in order, numbered
// from 1, without its line end. A text ending in a line end has no empty
// line after it; an empty text has no line.
template <class Visit>
void ForEachLine(std::string_view text, Visit&& line) {
  const std::size_t n = text.size();
  std::size_t pos = 0;
  int number = 0;
  while (pos < n) {
    std::size_t end = text.find_first_of("\r\n", pos);
    if (end == std::string_view::npos) end = n;
    line(text.substr(pos, end - pos), ++number);
    pos = end + ((end + 1 < n && text[end] == '\r' && text[end + 1] == '\n') ? 2 : 1);
  }
}

// Line (from 1) of byte `position` of `text` under the same rule: one more
// than the line ends before it.
int LineAt(std::string_view text, std::size_t position);

// `text` without the spaces and tabs at its start and end.
std::string_view Trim(std::string_view text);

// Digit value of a hex digit of either case, or -1.
constexpr int HexDigitValue(char c) {
  if (c >= '0' && c <= '9') return c - '0';
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  return -1;
}

// Whether `c` is a hex digit written as raw byte tokens are: 0-9 or A-F.
constexpr bool IsUpperHexDigit(char c) {
  return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F');
}

// Value of a whole text of 1 to `maxDigits` (at most 15) hex digits of
// either case; nothing for anything else (empty, a sign, a prefix, another
// character, too many digits).
std::optional<std::int64_t> ParseHexNumber(std::string_view digits, std::size_t maxDigits = 15);

// The bytes of a whole text of hex digits of either case, two per byte;
// nothing for an odd count or another character.
std::optional<std::string> ParseHexBytes(std::string_view digits);

// The byte that the two hex digits (either case) at `pos` of `text` stand
// for, or -1 when there are not two hex digits there.
int HexByteAt(std::string_view text, std::size_t pos);

}  // namespace romscriber
