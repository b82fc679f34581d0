// LoadTable on arbitrary bytes: it must never crash, and the lookups built
// from whatever it loads must agree with a first-match search of its lists.
//
// The search is done once per list and kept in a map of each code to its
// first row, rather than repeated for every key asked; and one Table is
// emptied with ClearTable and reused, rather than building its 20,000 strings
// for every input. Both used to take most of the time of an execution.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "base/app_error.h"
#include "hex/hex.h"
#include "table/loader.h"
#include "table/lookup.h"

namespace {

using FirstRows = std::unordered_map<std::string_view, std::size_t>;

// Row of the first occurrence of each code among `codes`, searched in order
// up to the first empty code.
FirstRows FirstMatches(const std::vector<std::string>& codes) {
  FirstRows first;
  for (std::size_t i = 0; i < codes.size() && !codes[i].empty(); ++i)
    first.emplace(codes[i], i);  // a later duplicate leaves the first row
  return first;
}

std::optional<std::size_t> Find(const FirstRows& first, std::string_view key) {
  const auto it = first.find(key);
  return it == first.end() ? std::nullopt : std::optional<std::size_t>(it->second);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace romscriber;
  static Table table;
  ClearTable(table);
  try {
    LoadTable(std::string_view(reinterpret_cast<const char*>(data), size), table);
  } catch (const AppError& e) {
    if (e.Number() != kErrSubscript) std::abort();  // the loader's only error of its own
  }
  if (table.DoubleCodes.size() != kMultiRows || table.TripleCodes.size() != kMultiRows ||
      table.DoubleTexts.size() != kMultiRows || table.TripleTexts.size() != kMultiRows)
    std::abort();  // the lists keep their fixed length
  const TableLookup lookup(table);
  const FirstRows doubles = FirstMatches(table.DoubleCodes);
  const FirstRows triples = FirstMatches(table.TripleCodes);
  // Every stored code that is a key (upper-case hex; the run makes no other),
  // and keys made of the input's own bytes.
  const auto checkStoredCodes = [&](const std::vector<std::string>& codes, EntryList list,
                                    std::size_t digits, const FirstRows& first) {
    for (std::size_t row = 0; row < kMultiRows && !codes[row].empty(); ++row) {
      if (KeyValue(codes[row], digits) &&
          lookup.FindEntry(list, codes[row]) != Find(first, codes[row]))
        std::abort();
    }
  };
  checkStoredCodes(table.DoubleCodes, EntryList::kDouble, 4, doubles);
  checkStoredCodes(table.TripleCodes, EntryList::kTriple, 6, triples);
  for (std::size_t i = 0; i + 3 <= size && i < 4096; ++i) {
    const std::string key = TextToHex(std::string_view(reinterpret_cast<const char*>(data) + i, 3));
    if (lookup.FindEntry(EntryList::kTriple, key) != Find(triples, key)) std::abort();
    const std::string_view pair = std::string_view(key).substr(0, 4);
    if (lookup.FindEntry(EntryList::kDouble, pair) != Find(doubles, pair)) std::abort();
  }
  // Every slot is searched, in slot order.
  FirstRows singles;
  for (std::size_t slot = 0; slot < kSingleSlots; ++slot)
    singles.emplace(table.SingleCodes[slot], slot);
  for (std::size_t b = 0; b < kSingleSlots; ++b) {
    const std::string key = TextToHex(std::string(1, static_cast<char>(b)));
    if (lookup.FindEntry(EntryList::kSingle, key) != Find(singles, key)) std::abort();
  }
  return 0;
}
