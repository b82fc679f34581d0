// LoadTable on arbitrary bytes: it must never crash, and the compiled table
// built from whatever it loads must agree with a first-match search of its
// lists, three bytes before two before one.
//
// The search is done once per list and kept in a map of each code to its
// first row, rather than repeated for every key asked; and one Table is
// emptied with ClearTable and reused, rather than building its 20,000 strings
// for every input. Both used to take most of the time of an execution.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "base/app_error.h"
#include "hex/hex.h"
#include "table/compiled.h"
#include "table/loader.h"

namespace {

using FirstRows = std::unordered_map<std::string_view, std::size_t>;

// Row of the first occurrence of each code among the first `rows` of
// `codes`, searched in order; the multi-byte lists end at their first empty
// code, while every single-byte slot is searched.
template <class Codes>
FirstRows FirstMatches(const Codes& codes, std::size_t rows, bool stopAtEmpty) {
  FirstRows first;
  for (std::size_t i = 0; i < rows && !(stopAtEmpty && codes[i].empty()); ++i)
    first.emplace(codes[i], i);  // a later duplicate leaves the first row
  return first;
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
  const DecodeStyle style;  // "<$", ">"
  const CompiledTable compiled = CompiledTable::FromClassic(table, style);
  const FirstRows triples = FirstMatches(table.TripleCodes, kMultiRows, true);
  const FirstRows doubles = FirstMatches(table.DoubleCodes, kMultiRows, true);
  const FirstRows singles = FirstMatches(table.SingleCodes, kSingleSlots, false);
  // What the first-match search shows for the bytes at `p`, and how many it takes.
  const auto expected = [&](const std::uint8_t* p, std::size_t available) -> std::pair<std::string, std::size_t> {
    const std::string key = TextToHex(std::string_view(reinterpret_cast<const char*>(p), std::min<std::size_t>(available, 3)));
    if (key.size() >= 6) {
      if (const auto it = triples.find(std::string_view(key).substr(0, 6)); it != triples.end())
        return {table.TripleTexts[it->second], 3};
    }
    if (key.size() >= 4) {
      if (const auto it = doubles.find(std::string_view(key).substr(0, 4)); it != doubles.end())
        return {table.DoubleTexts[it->second], 2};
    }
    if (const auto it = singles.find(std::string_view(key).substr(0, 2)); it != singles.end()) {
      const std::string& text = table.SingleTexts[it->second];
      if (text == kEndText) return {"<$END>", 1};
      if (text == kPauseText) return {"<$WAIT>", 1};
      if (text == kLineBreakText) return {"\r\n", 1};
      return {text, 1};
    }
    return {"", 0};
  };
  const auto check = [&](const std::uint8_t* p, std::size_t available) {
    const TableEntry* e = compiled.Match(p, available);
    const auto [text, length] = expected(p, available);
    if (length == 0 ? e != nullptr : (e == nullptr || e->KeySize != length || compiled.Shown(*e) != text))
      std::abort();
  };
  for (std::size_t i = 0; i < size && i < 4096; ++i)
    check(data + i, size - i);
  for (std::size_t b = 0; b < kSingleSlots; ++b) {
    const auto byte = static_cast<std::uint8_t>(b);
    check(&byte, 1);
  }
  return 0;
}
