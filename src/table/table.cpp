#include "table/table.h"

namespace romscriber {

Table::Table()
    : DoubleCodes(kMultiRows),
      DoubleTexts(kMultiRows),
      TripleCodes(kMultiRows),
      TripleTexts(kMultiRows) {}

void ClearTable(Table& table) {
  for (auto& s : table.SingleCodes)
    s.clear();
  for (auto& s : table.SingleTexts)
    s.clear();
  for (auto* list :
       {&table.DoubleCodes, &table.DoubleTexts, &table.TripleCodes, &table.TripleTexts}) {
    for (auto& s : *list)
      s.clear();
  }
}

std::size_t UsedRows(const std::vector<std::string>& codes) {
  std::size_t n = 0;
  while (n < codes.size() && !codes[n].empty())
    ++n;
  return n;
}

}  // namespace romscriber
