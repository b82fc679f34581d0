// Widths files: how wide each key of a table is drawn on the game's screen,
// for line limits.
//
//   # comment
//   41=8            the key 41 is 8 wide
//   E001=24
//
// UTF-8 text, one KEY=WIDTH a line: the key in hex as the table writes it
// (either case), the width a decimal integer of at least 0. Blank lines and
// lines starting with '#' are passed over; lines end as base/text.h says.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace romscriber {

struct KeyWidth {
  std::string Key;  // the key's bytes
  int Width = 0;
  int Line = 0;  // from 1
};

// The widths a file gives, in file order. AppError kErrBadInput naming
// "FILE:LINE" for a line that is not KEY=WIDTH, a width out of range
// (above 1000000), a key given twice, bytes that are not UTF-8.
std::vector<KeyWidth> ReadWidths(std::string_view bytes, const std::string& fileName);

}  // namespace romscriber
