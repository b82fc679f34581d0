#include "table/compiled.h"

#include <algorithm>
#include <bit>
#include <optional>
#include <unordered_set>

#include "hex/hex.h"
#include "table/entries.h"

namespace romscriber {

namespace {

// Every '\n' of an extended text becomes the style's line break.
std::string WithLineBreaks(std::string_view text, const std::string& lineBreak) {
  std::string out;
  out.reserve(text.size());
  for (std::size_t from = 0;;) {
    const std::size_t at = text.find('\n', from);
    out.append(text.substr(from, at - from));
    if (at == std::string_view::npos) break;
    out += lineBreak;
    from = at + 1;
  }
  return out;
}

}  // namespace

std::string RawText(const DecodeStyle& style, std::string_view bytes) {
  std::string out;
  for (char c : bytes) {
    out += style.RawLeft;
    AppendByteHex(out, static_cast<std::uint8_t>(c));
    out += style.RawRight;
  }
  return out;
}

void UpperRawDigits(std::string& text, const DecodeStyle& style) {
  const std::string& left = style.RawLeft;
  const std::string& right = style.RawRight;
  if (left.empty()) return;
  for (std::size_t at = text.find(left); at != std::string::npos; at = text.find(left, at + 1)) {
    const std::size_t digits = at + left.size();
    if (digits + 2 + right.size() > text.size()) break;
    if (HexByteAt(text, digits) < 0) continue;
    if (text.compare(digits + 2, right.size(), right) != 0) continue;
    for (std::size_t d = digits; d < digits + 2; ++d)
      if (text[d] >= 'a' && text[d] <= 'f') text[d] = static_cast<char>(text[d] - 'a' + 'A');
  }
}

CompiledTable CompiledTable::FromClassic(const Table& table, const DecodeStyle& style) {
  return Compile(EntriesOfClassic(table), style);
}

CompiledTable CompiledTable::Compile(const EntryList& list, const DecodeStyle& style) {
  // A classic range dump shows end and pause entries as its own markers.
  const bool markers = list.Classic && style.ClassicMarkers;
  std::vector<Draft> drafts;
  drafts.reserve(list.Entries.size());
  std::unordered_set<std::string_view> seen;
  for (const Entry& e : list.Entries) {
    if (e.Key.empty() || !seen.insert(e.Key).second) continue;
    std::string shown = list.Classic ? e.Text : WithLineBreaks(e.Text, style.LineBreak);
    TokenKind kind = TokenKind::kText;
    switch (e.Kind) {
      case EntryKind::kText:
        break;
      case EntryKind::kEnd:
        kind = TokenKind::kEnd;
        if (markers) shown = style.RawLeft + "END" + style.RawRight;
        break;
      case EntryKind::kPause:
        if (markers) {
          kind = TokenKind::kPause;
          shown = style.RawLeft + "WAIT" + style.RawRight;
        }
        break;
      case EntryKind::kLineBreak:
        kind = TokenKind::kLineBreak;
        shown += style.LineBreak;
        break;
      case EntryKind::kControl:
        kind = TokenKind::kControl;
        break;
    }
    // An empty text shows the key's own bytes, so that every dump inserts
    // back to the same bytes (a classic text entry may show nothing).
    if (shown.empty() && !(list.Classic && e.Kind == EntryKind::kText))
      shown = RawText(style, e.Key);
    drafts.push_back({e.Key, std::move(shown), kind,
                      static_cast<std::uint8_t>(std::clamp(e.Params, 0, 255))});
  }
  return CompiledTable(style, std::move(drafts));
}

CompiledTable::CompiledTable(const DecodeStyle& style, std::vector<Draft> drafts)
    : m_style(style), m_pairs(1024), m_single(256), m_rawItems(256) {
  // Every byte's raw text is as long as the style's brackets and two digits.
  const std::size_t rawSize = style.RawLeft.size() + 2 + style.RawRight.size();
  std::size_t total = kShownSlack + 256 * rawSize;
  for (const Draft& d : drafts)
    total += d.Key.size() + d.Shown.size();

  // One buffer for every key and text, each key right before its text, with
  // slack after the last.
  m_text.resize(total);
  std::size_t at = 0;
  const auto store = [&](const std::string& s) {
    std::copy(s.begin(), s.end(), m_text.begin() + static_cast<std::ptrdiff_t>(at));
    at += s.size();
    return static_cast<std::uint32_t>(at - s.size());
  };
  std::string raw;
  for (std::size_t b = 0; b < 256; ++b) {
    raw = style.RawLeft;
    AppendByteHex(raw, static_cast<std::uint8_t>(b));
    raw += style.RawRight;
    TableEntry e;
    e.KeySize = 1;
    e.Kind = TokenKind::kRaw;
    e.ShownAt = store(raw);
    e.ShownSize = static_cast<std::uint32_t>(rawSize);
    m_rawItems[b] = m_single[b] = ItemOf(e);
  }
  const std::size_t longestRaw = rawSize;
  m_longestItem = longestRaw;
  m_entries.reserve(drafts.size());
  for (const Draft& d : drafts) {
    TableEntry e;
    e.KeyAt = store(d.Key);
    e.KeySize = static_cast<std::uint8_t>(d.Key.size());
    e.ShownAt = store(d.Shown);
    e.ShownSize = static_cast<std::uint32_t>(d.Shown.size());
    e.Kind = d.Kind;
    e.Params = d.Params;
    m_entries.push_back(e);
    m_longest = std::max(m_longest, d.Key.size());
    m_mostParams = std::max<std::size_t>(m_mostParams, d.Params);
    m_longestItem = std::max(m_longestItem, d.Shown.size() + d.Params * longestRaw);
  }

  // One-byte keys by their byte; longer keys grouped by their first two
  // bytes, longest first, so that the first that matches is the answer.
  std::vector<std::uint32_t> longer;
  for (std::size_t i = 0; i < m_entries.size(); ++i) {
    const TableEntry& e = m_entries[i];
    if (e.KeySize == 1) {
      m_single[static_cast<std::uint8_t>(m_text[e.KeyAt])] = ItemOf(e);
    } else {
      longer.push_back(static_cast<std::uint32_t>(i));
    }
  }
  // Sorted by pair, then longest first, then in table order: one number
  // each (pair, 255 - size, index) sorts fast.
  std::vector<std::uint64_t> order;
  order.reserve(longer.size());
  for (const std::uint32_t i : longer) {
    const std::string_view key = Key(m_entries[i]);
    const std::uint64_t pair = (std::uint64_t{static_cast<std::uint8_t>(key[0])} << 8) |
                               static_cast<std::uint8_t>(key[1]);
    order.push_back(pair << 40 | std::uint64_t{255u - m_entries[i].KeySize} << 32 | i);
  }
  std::sort(order.begin(), order.end());
  for (std::size_t k = 0; k < order.size(); ++k) {
    const auto pair = static_cast<std::uint32_t>(order[k] >> 40);
    LookupItem item = ItemOf(m_entries[static_cast<std::uint32_t>(order[k])]);
    const bool head = k == 0 || (order[k - 1] >> 40) != pair;
    // The pair's next key, if any, is the next one in the rest array.
    const std::size_t next = m_rest.size() + (head ? 0 : 1);
    if (k + 1 < order.size() && (order[k + 1] >> 40) == pair)
      item.Next = static_cast<std::uint32_t>(next + 1);
    if (head) {
      // A word's rank (the pairs with a key before its first) is read only
      // when one of its bits is set: heads come in pair order, so the first
      // head of a word gives it.
      PairWord& word = m_pairs[pair >> 6];
      if (word.Bits == 0) word.Rank = static_cast<std::uint32_t>(m_heads.size());
      word.Bits |= std::uint64_t{1} << (pair & 63);
      m_heads.push_back(item);
    } else {
      m_rest.push_back(item);
    }
  }
}

LookupItem CompiledTable::ItemOf(const TableEntry& e) const {
  LookupItem item;
  // The slack after the last text lets every item copy kInline bytes.
  std::copy_n(m_text.data() + e.ShownAt, LookupItem::kInline, item.Text);
  item.ShownAt = e.ShownAt;
  item.ShownSize = e.ShownSize;
  item.KeySize = e.KeySize;
  item.Kind = e.Kind;
  item.Params = e.Params;
  for (std::size_t i = 2; i < e.KeySize && i - 2 < LookupItem::kTail; ++i)
    item.Tail[i - 2] = static_cast<std::uint8_t>(m_text[e.KeyAt + i]);
  return item;
}

const TableEntry* CompiledTable::Match(const std::uint8_t* bytes, std::size_t available) const {
  return EntryOf(*Lookup()(bytes, available));
}

const TableEntry* CompiledTable::EntryOf(const LookupItem& item) const {
  if (item.Kind == TokenKind::kRaw) return nullptr;
  // Entries are stored in buffer order: the item's text tells its entry.
  const auto it = std::lower_bound(
      m_entries.begin(), m_entries.end(), item.ShownAt,
      [](const TableEntry& e, std::uint32_t shownAt) { return e.ShownAt < shownAt; });
  return &*it;
}

}  // namespace romscriber
