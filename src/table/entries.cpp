#include "table/entries.h"

#include <optional>
#include <string_view>
#include <unordered_set>

#include "base/text.h"

namespace romscriber {

namespace {

// The bytes a classic code stands for when it is exactly `length` bytes of
// upper-case hex digits; a code with lower-case letters or other characters
// never matches.
std::optional<std::string> ClassicKey(std::string_view code, std::size_t length) {
  if (code.size() != 2 * length || code.find_first_of("abcdef") != std::string_view::npos)
    return std::nullopt;
  return ParseHexBytes(code);
}

}  // namespace

EntryList EntriesOfClassic(const Table& table) {
  EntryList list;
  list.Classic = true;
  std::unordered_set<std::string> seen;
  const auto add = [&](std::optional<std::string> key, std::string text, EntryKind kind) {
    if (!key || !seen.insert(*key).second) return;
    list.Entries.push_back({std::move(*key), std::move(text), kind, 0, 0});
  };
  const std::size_t triples = UsedRows(table.TripleCodes);
  for (std::size_t row = 0; row < triples; ++row)
    add(ClassicKey(table.TripleCodes[row], 3), table.TripleTexts[row], EntryKind::kText);
  const std::size_t doubles = UsedRows(table.DoubleCodes);
  for (std::size_t row = 0; row < doubles; ++row)
    add(ClassicKey(table.DoubleCodes[row], 2), table.DoubleTexts[row], EntryKind::kText);
  for (std::size_t slot = 0; slot < kSingleSlots; ++slot) {
    auto key = ClassicKey(table.SingleCodes[slot], 1);
    if (!key) continue;
    const std::string& text = table.SingleTexts[slot];
    if (text == kEndText) {
      add(std::move(key), "", EntryKind::kEnd);
    } else if (text == kPauseText) {
      add(std::move(key), "", EntryKind::kPause);
    } else if (text == kLineBreakText) {
      add(std::move(key), "", EntryKind::kLineBreak);
    } else {
      add(std::move(key), text, EntryKind::kText);
    }
  }
  return list;
}

}  // namespace romscriber
