// One classic Table for every input of a fuzz target: building a Table makes
// its 20,512 strings (two 5,000-row lists of codes and texts, 256 slots of
// each), and emptying all of them again costs as much; a target that loads
// small tables spent most of its time there. LoadTable fills the multi-byte
// lists from row 0 without a gap and never stores an empty code, and nothing
// reads a list past its first empty code, so emptying the used rows is
// enough.
#pragma once

#include <cstddef>
#include <utility>

#include "table/table.h"

namespace romscriber::fuzzing {

// Empties every row a load may have filled.
inline void ClearUsedRows(Table& table) {
  for (std::size_t slot = 0; slot < kSingleSlots; ++slot) {
    table.SingleCodes[slot].clear();
    table.SingleTexts[slot].clear();
  }
  for (auto [codes, texts] : {std::pair(&table.DoubleCodes, &table.DoubleTexts),
                              std::pair(&table.TripleCodes, &table.TripleTexts)}) {
    for (std::size_t row = 0, used = UsedRows(*codes); row < used; ++row) {
      (*codes)[row].clear();
      (*texts)[row].clear();
    }
  }
}

// The target's table, emptied for the next load.
inline Table& ReusedTable() {
  static Table table;
  ClearUsedRows(table);
  return table;
}

}  // namespace romscriber::fuzzing
