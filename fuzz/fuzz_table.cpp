// LoadTable on arbitrary bytes: it must never crash, and the lookups built
// from whatever it loads must agree with a linear first-match search.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "base/app_error.h"
#include "hex/hex.h"
#include "table/loader.h"
#include "table/lookup.h"

namespace {

std::optional<std::size_t> LinearFind(const std::vector<std::string>& codes, const std::string& key) {
  for (std::size_t i = 0; i < codes.size() && !codes[i].empty(); ++i) {
    if (codes[i] == key) return i;
  }
  return std::nullopt;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace romscriber;
  Table table;
  try {
    LoadTable(std::string_view(reinterpret_cast<const char*>(data), size), table);
  } catch (const AppError& e) {
    if (e.Number() != kErrSubscript) std::abort();  // the loader's only error of its own
  }
  if (UsedRows(table.DoubleCodes) > kMultiRows || UsedRows(table.TripleCodes) > kMultiRows) std::abort();
  const TableLookup lookup(table);
  // Every stored code that is a key (upper-case hex; the run makes no other),
  // and keys made of the input's own bytes.
  for (std::size_t row = 0; row < kMultiRows && !table.DoubleCodes[row].empty(); ++row) {
    const std::string& code = table.DoubleCodes[row];
    if (KeyValue(code, 4) && lookup.FindEntry(EntryList::kDouble, code) != LinearFind(table.DoubleCodes, code)) std::abort();
  }
  for (std::size_t row = 0; row < kMultiRows && !table.TripleCodes[row].empty(); ++row) {
    const std::string& code = table.TripleCodes[row];
    if (KeyValue(code, 6) && lookup.FindEntry(EntryList::kTriple, code) != LinearFind(table.TripleCodes, code)) std::abort();
  }
  for (std::size_t i = 0; i + 3 <= size && i < 4096; ++i) {
    const std::string key = TextToHex(std::string_view(reinterpret_cast<const char*>(data) + i, 3));
    if (lookup.FindEntry(EntryList::kTriple, key) != LinearFind(table.TripleCodes, key)) std::abort();
    const std::string pair = key.substr(0, 4);
    if (lookup.FindEntry(EntryList::kDouble, pair) != LinearFind(table.DoubleCodes, pair)) std::abort();
  }
  for (std::size_t b = 0; b < kSingleSlots; ++b) {
    const std::string key = TextToHex(std::string(1, static_cast<char>(b)));
    std::optional<std::size_t> first;
    for (std::size_t slot = 0; slot < kSingleSlots && !first; ++slot) {
      if (table.SingleCodes[slot] == key) first = slot;
    }
    if (lookup.FindEntry(EntryList::kSingle, key) != first) std::abort();
  }
  return 0;
}
