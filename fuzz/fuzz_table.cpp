// LoadTable on arbitrary bytes: it must never crash, and the compiled table
// built from whatever it loads must agree with a first-match search of its
// lists, three bytes before two before one, at each of the input's first
// 4,096 positions and for every single byte.
//
// The search, done once per input rather than per position: a code can only
// equal the upper-case hex text of some bytes when it is that many pairs of
// the digits 0-9 and A-F, so the first row (slot) of each such code is kept
// by the value of the bytes it stands for; each position then costs a few
// lookups and no allocation; a position whose bytes were checked already is
// passed over. One Table serves every input (reused_table.h). These used to
// take nearly all of an execution's time.
#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "base/app_error.h"
#include "reused_table.h"
#include "table/compiled.h"
#include "table/loader.h"

namespace {

using namespace romscriber;

// Value of a code of exactly 2 * `bytes` upper-case hex digits; nothing for
// any other code, which no bytes' hex text equals.
std::optional<std::uint32_t> CodeValue(std::string_view code, std::size_t bytes) {
  if (code.size() != 2 * bytes) return std::nullopt;
  std::uint32_t value = 0;
  for (const char c : code) {
    int digit;
    if (c >= '0' && c <= '9') {
      digit = c - '0';
    } else if (c >= 'A' && c <= 'F') {
      digit = c - 'A' + 10;
    } else {
      return std::nullopt;
    }
    value = value * 16 + static_cast<std::uint32_t>(digit);
  }
  return value;
}

// A set of three-byte values, emptied in the time it took to fill.
class ValueSet {
 public:
  ValueSet() : m_bits(std::size_t{1} << 18) {}

  // Adds `v`; false when it was there already.
  bool Insert(std::uint32_t v) {
    std::uint64_t& word = m_bits[v >> 6];
    const std::uint64_t bit = std::uint64_t{1} << (v & 63);
    if (word & bit) return false;
    word |= bit;
    m_added.push_back(v);
    return true;
  }
  bool Contains(std::uint32_t v) const { return (m_bits[v >> 6] >> (v & 63)) & 1; }
  void Clear() {
    for (const std::uint32_t v : m_added)
      m_bits[v >> 6] = 0;
    m_added.clear();
  }

 private:
  std::vector<std::uint64_t> m_bits;
  std::vector<std::uint32_t> m_added;
};

// The first row of each code of the three lists, by the value of its bytes.
class FirstRows {
 public:
  FirstRows() : m_double(1 << 16, -1) {}

  void Fill(const Table& table) {
    for (const std::uint32_t v : m_touched)
      m_double[v] = -1;
    m_touched.clear();
    m_single.fill(-1);
    m_triple.clear();
    m_tripleValues.Clear();
    // Every single-byte slot is searched; the multi-byte lists end at their
    // first empty code.
    for (std::size_t slot = 0; slot < kSingleSlots; ++slot) {
      const auto v = CodeValue(table.SingleCodes[slot], 1);
      if (v && m_single[*v] < 0) m_single[*v] = static_cast<int>(slot);
    }
    for (std::size_t b = 0; b < 256; ++b) {
      m_singleShown[b].reset();
      if (m_single[b] < 0) continue;
      const std::string& text = table.SingleTexts[static_cast<std::size_t>(m_single[b])];
      if (text == kEndText) {
        m_singleShown[b] = "<$END>";
      } else if (text == kPauseText) {
        m_singleShown[b] = "<$WAIT>";
      } else if (text == kLineBreakText) {
        m_singleShown[b] = "\r\n";
      } else {
        m_singleShown[b] = text;
      }
    }
    const std::size_t doubles = UsedRows(table.DoubleCodes);
    for (std::size_t row = 0; row < doubles; ++row) {
      const auto v = CodeValue(table.DoubleCodes[row], 2);
      if (v && m_double[*v] < 0) {
        m_double[*v] = static_cast<int>(row);
        m_touched.push_back(*v);
      }
    }
    const std::size_t triples = UsedRows(table.TripleCodes);
    for (std::size_t row = 0; row < triples; ++row) {
      if (const auto v = CodeValue(table.TripleCodes[row], 3)) {
        m_triple.emplace_back(*v, static_cast<std::uint32_t>(row));
        m_tripleValues.Insert(*v);
      }
    }
    // By value, the first row of each value first.
    std::sort(m_triple.begin(), m_triple.end());
  }

  // What the first slot of a byte's code shows: its text, or how the end,
  // pause and line-break entries show; nothing when no slot has its code.
  std::optional<std::string_view> Single(std::uint8_t b) const { return m_singleShown[b]; }
  int Double(std::uint32_t v) const { return m_double[v]; }
  int Triple(std::uint32_t v) const {
    if (!m_tripleValues.Contains(v)) return -1;  // most bytes begin no three-byte code
    const auto it = std::lower_bound(m_triple.begin(), m_triple.end(),
                                     std::pair<std::uint32_t, std::uint32_t>(v, 0));
    return it != m_triple.end() && it->first == v ? static_cast<int>(it->second) : -1;
  }

 private:
  std::array<int, 256> m_single{};
  std::array<std::optional<std::string_view>, 256> m_singleShown;
  std::vector<int> m_double;
  std::vector<std::uint32_t> m_touched;  // values set in m_double
  std::vector<std::pair<std::uint32_t, std::uint32_t>> m_triple;
  ValueSet m_tripleValues;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  Table& table = fuzzing::ReusedTable();
  static FirstRows first;
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
  first.Fill(table);
  // What the first-match search shows for the bytes at `p`, and how many it takes.
  const auto expected = [&](const std::uint8_t* p,
                            std::size_t available) -> std::pair<std::string_view, std::size_t> {
    if (available >= 3) {
      if (const int row = first.Triple(std::uint32_t{p[0]} << 16 | std::uint32_t{p[1]} << 8 | p[2]);
          row >= 0)
        return {table.TripleTexts[static_cast<std::size_t>(row)], 3};
    }
    if (available >= 2) {
      if (const int row = first.Double(std::uint32_t{p[0]} << 8 | p[1]); row >= 0)
        return {table.DoubleTexts[static_cast<std::size_t>(row)], 2};
    }
    if (const auto shown = first.Single(p[0])) return {*shown, 1};
    return {"", 0};
  };
  // Positions go through the lookup decoding uses; single bytes through
  // Match as well, which finds the entry of the lookup's answer.
  const CompiledTable::Matcher lookup = compiled.Lookup();
  const auto check = [&](const std::uint8_t* p, std::size_t available) {
    const LookupItem* item = lookup(p, available);
    const auto [text, length] = expected(p, available);
    if (length == 0 ? item->Kind != TokenKind::kRaw
                    : (item->Kind == TokenKind::kRaw || item->KeySize != length ||
                       std::string_view(compiled.Data() + item->ShownAt, item->ShownSize) != text))
      std::abort();
  };
  const auto checkMatch = [&](const std::uint8_t* p, std::size_t available) {
    const TableEntry* e = compiled.Match(p, available);
    const auto [text, length] = expected(p, available);
    if (length == 0 ? e != nullptr
                    : (e == nullptr || e->KeySize != length || compiled.Shown(*e) != text))
      std::abort();
  };
  // A position whose three bytes came before, with eight or more bytes at
  // hand both times, would take the same way through the lookup again.
  static ValueSet seen;
  seen.Clear();
  for (std::size_t i = 0; i < size && i < 4096; ++i) {
    if (size - i >= 8 &&
        !seen.Insert(std::uint32_t{data[i]} << 16 | std::uint32_t{data[i + 1]} << 8 | data[i + 2]))
      continue;
    check(data + i, size - i);
  }
  for (std::size_t b = 0; b < kSingleSlots; ++b) {
    const auto byte = static_cast<std::uint8_t>(b);
    check(&byte, 1);
    checkMatch(&byte, 1);
  }
  return 0;
}
