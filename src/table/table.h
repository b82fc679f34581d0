// The in-memory Thingy table: which text a byte, or a run of two or three
// bytes, stands for.
//
//   SingleCodes/SingleTexts   256 slots, slot b for byte value b
//   DoubleCodes/DoubleTexts   5000 rows, two-byte entries in file order
//   TripleCodes/TripleTexts   5000 rows, three-byte entries in file order
//
// Codes and texts are byte text, exactly as the table file wrote them (letter
// case kept, nothing trimmed). The multi-byte lists are filled from row 0
// without gaps; the first row with an empty code ends the used part.
// Indices here are 0-based: slot b is byte value b, row 0 is the first entry.
#pragma once

#include <array>
#include <cstddef>
#include <string>
#include <vector>

namespace romscriber {

inline constexpr std::size_t kSingleSlots = 256;
inline constexpr std::size_t kMultiRows = 5000;

// Single-byte texts with a meaning of their own to the extraction run.
inline constexpr char kEndText[] = "/";
inline constexpr char kLineBreakText[] = "*";
inline constexpr char kPauseText[] = "&";

struct Table {
  Table();

  std::array<std::string, kSingleSlots> SingleCodes;
  std::array<std::string, kSingleSlots> SingleTexts;
  std::vector<std::string> DoubleCodes;
  std::vector<std::string> DoubleTexts;
  std::vector<std::string> TripleCodes;
  std::vector<std::string> TripleTexts;
};

// Empties every code and text of the six lists.
void ClearTable(Table& table);

// Number of used rows of a multi-byte list: up to its first empty code.
std::size_t UsedRows(const std::vector<std::string>& codes);

}  // namespace romscriber
