#include "table/lookup.h"

#include "hex/hex.h"

namespace romscriber {

namespace {
constexpr std::uint32_t kNoKey = 0xFFFFFFFF;
constexpr std::size_t kTripleCapacity = 16384;  // a power of two, over 3 × 5000

std::size_t TripleHash(std::uint32_t key) {
  return static_cast<std::size_t>((key * 2654435761u) >> 18) & (kTripleCapacity - 1);
}
}  // namespace

EntryKind SingleEntryKind(const std::string& text) {
  if (text == kEndText) return EntryKind::kEnd;
  if (text == kLineBreakText) return EntryKind::kLineBreak;
  if (text == kPauseText) return EntryKind::kPause;
  return EntryKind::kOrdinary;
}

std::optional<std::uint32_t> KeyValue(std::string_view code, std::size_t length) {
  if (code.size() != length) return std::nullopt;
  std::uint32_t value = 0;
  for (char c : code) {
    // Key text is upper case: a lower-case code never equals it.
    if (!((c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'))) return std::nullopt;
    value = (value << 4) | static_cast<std::uint32_t>(HexDigitValue(c));
  }
  return value;
}

TableLookup::TableLookup(const Table& table)
    : m_pairs(65536, 0), m_tripleKeys(kTripleCapacity, kNoKey), m_tripleRows(kTripleCapacity, -1) {
  m_singleSlots.fill(-1);
  for (std::size_t slot = 0; slot < kSingleSlots; ++slot) {
    const auto key = KeyValue(table.SingleCodes[slot], 2);
    if (key && m_singleSlots[*key] < 0) m_singleSlots[*key] = static_cast<std::int16_t>(slot);
  }
  for (std::size_t b = 0; b < kSingleSlots; ++b) {
    const int slot = m_singleSlots[b];
    m_singleKinds[b] = slot < 0
                           ? EntryKind::kNone
                           : SingleEntryKind(table.SingleTexts[static_cast<std::size_t>(slot)]);
  }
  const std::size_t doubles = UsedRows(table.DoubleCodes);
  for (std::size_t row = 0; row < doubles; ++row) {
    const auto key = KeyValue(table.DoubleCodes[row], 4);
    if (key && (m_pairs[*key] & kRowMask) == 0)
      m_pairs[*key] |= static_cast<std::uint32_t>(row + 1);
  }
  const std::size_t triples = UsedRows(table.TripleCodes);
  for (std::size_t row = 0; row < triples; ++row) {
    const auto key = KeyValue(table.TripleCodes[row], 6);
    if (!key) continue;
    std::size_t i = TripleHash(*key);
    while (m_tripleKeys[i] != kNoKey && m_tripleKeys[i] != *key)
      i = (i + 1) & (kTripleCapacity - 1);
    if (m_tripleKeys[i] == kNoKey) {  // the first row with this code wins
      m_tripleKeys[i] = *key;
      m_tripleRows[i] = static_cast<std::int16_t>(row);
      std::uint32_t& pair = m_pairs[*key >> 8];
      pair |= (pair & kTriplePrefix) ? kTripleMany : kTriplePrefix | ((*key & 0xFF) << 16);
    }
  }
  for (std::size_t i = 0; i < m_pairs.size(); ++i) {
    if (m_pairs[i]) m_pairStarts[i >> 6] |= std::uint64_t{1} << (i & 63);
  }
}

int TableLookup::TripleRow(std::uint8_t b0, std::uint8_t b1, std::uint8_t b2) const {
  if (!MayBeTriple(Pair(b0, b1), b2)) return -1;
  const std::uint32_t key = (std::uint32_t{b0} << 16) | (std::uint32_t{b1} << 8) | b2;
  std::size_t i = TripleHash(key);
  while (m_tripleKeys[i] != kNoKey) {
    if (m_tripleKeys[i] == key) return m_tripleRows[i];
    i = (i + 1) & (kTripleCapacity - 1);
  }
  return -1;
}

std::optional<std::size_t> TableLookup::FindEntry(EntryList list, std::string_view key) const {
  int found = -1;
  switch (list) {
    case EntryList::kTriple:
      if (const auto value = KeyValue(key, 6)) {
        found =
            TripleRow(static_cast<std::uint8_t>(*value >> 16),
                      static_cast<std::uint8_t>(*value >> 8), static_cast<std::uint8_t>(*value));
      }
      break;
    case EntryList::kDouble:
      if (const auto value = KeyValue(key, 4)) {
        found =
            DoubleRow(static_cast<std::uint8_t>(*value >> 8), static_cast<std::uint8_t>(*value));
      }
      break;
    case EntryList::kSingle:
      if (const auto value = KeyValue(key, 2))
        found = SingleSlot(static_cast<std::uint8_t>(*value));
      break;
  }
  return found < 0 ? std::nullopt : std::optional<std::size_t>(static_cast<std::size_t>(found));
}

}  // namespace romscriber
