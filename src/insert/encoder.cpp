#include "insert/encoder.h"

#include <algorithm>
#include <cstring>
#include <unordered_set>

#include "hex/hex.h"

namespace romscriber {

// How the encoder works. A byte string reads back as the text exactly when it
// is a chain of items (entries with their parameters, or raw bytes) whose
// texts make up the text, each item being what decoding takes there: no
// longer key than the item's own matches the bytes from the item onward, and
// a raw byte begins no key that matches. Whether an item is taken depends on
// the bytes after it only through the keys that extend it, so the encodings
// of the text from a position to its end are grouped by the first bytes that
// such a key could still reach into: the longest prefix of the encoding that
// occurs in some key past its first byte (never longer than the longest key
// less one). That set of byte strings is closed under prefixes and suffixes,
// so putting an item before an encoding needs only the kept prefix, both to
// test the item and to work out the new prefix. The states of each position
// are found from those of the positions after it, from the end of the text
// back to its start, keeping for each prefix the cheapest encoding.

namespace {

constexpr std::uint32_t kRawItem = 0xFFFFFFFF;
constexpr std::uint32_t kEndOfText = 0xFFFFFFFE;

constexpr std::uint8_t kRawNever = 0;    // a one-byte key is this byte
constexpr std::uint8_t kRawChecked = 1;  // longer keys begin with it
constexpr std::uint8_t kRawFree = 2;     // no key begins with it

constexpr std::uint64_t kFnvBasis = 0xcbf29ce484222325ULL;
constexpr std::uint64_t kFnvPrime = 0x100000001b3ULL;

std::uint64_t HashStep(std::uint64_t h, std::uint8_t byte) { return (h ^ byte) * kFnvPrime; }

bool IsUpperHex(char c) { return (c >= '0' && c <= '9') || (c >= 'A' && c <= 'F'); }

// Upper-cases the two digits of every raw token of `text`.
void UpperRawDigits(std::string& text, const DecodeStyle& style) {
  const std::string& left = style.RawLeft;
  const std::string& right = style.RawRight;
  if (left.empty()) return;
  for (std::size_t at = text.find(left); at != std::string::npos; at = text.find(left, at + 1)) {
    const std::size_t digits = at + left.size();
    if (digits + 2 + right.size() > text.size()) break;
    if (HexDigitValue(text[digits]) < 0 || HexDigitValue(text[digits + 1]) < 0) continue;
    if (text.compare(digits + 2, right.size(), right) != 0) continue;
    for (std::size_t d = digits; d < digits + 2; ++d)
      if (text[d] >= 'a' && text[d] <= 'f') text[d] = static_cast<char>(text[d] - 'a' + 'A');
  }
}

bool IsContinuation(char c) { return (static_cast<unsigned char>(c) & 0xC0) == 0x80; }

// Orders the encodings of one position: fewer bytes, then a first item that
// covers more text, then the entry listed first (raw bytes last), then the
// better encoding of the rest.
bool Better(std::uint32_t costA, std::uint32_t sizeA, std::uint32_t entryA, std::uint32_t nextA,
            std::uint32_t costB, std::uint32_t sizeB, std::uint32_t entryB, std::uint32_t nextB) {
  if (costA != costB) return costA < costB;
  if (sizeA != sizeB) return sizeA > sizeB;
  if (entryA != entryB) return entryA < entryB;
  return nextA < nextB;
}

}  // namespace

TextEncoder::TextEncoder(const CompiledTable& table) : m_table(table) {
  const DecodeStyle& style = table.Style();
  m_window = table.LongestKey() > 0 ? table.LongestKey() - 1 : 0;
  m_tokenSize = style.RawLeft.size() + 2 + style.RawRight.size();
  const auto& entries = table.Entries();

  // Which keys a longer key extends, and which bytes may show raw.
  std::unordered_set<std::string_view> extended;
  m_rawUse.assign(256, kRawFree);
  for (const TableEntry& e : entries) {
    const std::string_view key = table.Key(e);
    for (std::size_t size = 1; size < key.size(); ++size)
      extended.insert(key.substr(0, size));
    auto& use = m_rawUse[static_cast<std::uint8_t>(key[0])];
    if (key.size() == 1) {
      use = kRawNever;
    } else if (use == kRawFree) {
      use = kRawChecked;
    }
  }
  m_extendable.resize(entries.size());
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const TableEntry& e = entries[i];
    m_extendable[i] = extended.count(table.Key(e)) > 0;
    if (e.Kind == TokenKind::kEnd) {
      m_endTexts.emplace_back(table.Shown(e));
      UpperRawDigits(m_endTexts.back(), style);
    }
    // Classic tables may give an entry no text at all.
    if (e.ShownSize == 0 && e.Kind != TokenKind::kEnd && e.Kind != TokenKind::kControl)
      m_silentEntries.push_back(static_cast<std::uint32_t>(i));
  }
  BuildTrie();
  BuildPrefixSets();
  m_bytes.resize(2 * table.LongestKey() + table.MostParams() + m_window + 8);
}

void TextEncoder::BuildTrie() {
  // A trie over the entries' texts (raw token digits upper-cased), built
  // with lists of children and then laid out flat with the edges of each node
  // by byte.
  struct Building {
    std::vector<std::pair<std::uint8_t, std::uint32_t>> Children;
    std::vector<std::uint32_t> Items;
  };
  std::vector<Building> nodes(1);
  const auto& entries = m_table.Entries();
  std::string text;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const TableEntry& e = entries[i];
    if (e.ShownSize == 0) continue;
    text.assign(m_table.Shown(e));
    UpperRawDigits(text, m_table.Style());
    std::uint32_t node = 0;
    for (char c : text) {
      const auto byte = static_cast<std::uint8_t>(c);
      auto& children = nodes[node].Children;
      auto found = std::find_if(children.begin(), children.end(),
                                [&](const auto& child) { return child.first == byte; });
      if (found == children.end()) {
        const auto child = static_cast<std::uint32_t>(nodes.size());
        nodes[node].Children.emplace_back(byte, child);
        nodes.emplace_back();
        node = child;
      } else {
        node = found->second;
      }
    }
    nodes[node].Items.push_back(static_cast<std::uint32_t>(i));
  }
  m_nodes.resize(nodes.size());
  m_rootChild.assign(256, 0);
  for (std::size_t n = 0; n < nodes.size(); ++n) {
    auto& children = nodes[n].Children;
    std::sort(children.begin(), children.end());
    Node& flat = m_nodes[n];
    flat.FirstEdge = static_cast<std::uint32_t>(m_edges.size());
    flat.EdgeCount = static_cast<std::uint32_t>(children.size());
    for (const auto& [byte, child] : children) {
      m_edges.push_back({byte, child});
      if (n == 0) m_rootChild[byte] = child;
    }
    flat.FirstItem = static_cast<std::uint32_t>(m_nodeItems.size());
    flat.ItemCount = static_cast<std::uint32_t>(nodes[n].Items.size());
    m_nodeItems.insert(m_nodeItems.end(), nodes[n].Items.begin(), nodes[n].Items.end());
  }
}

void TextEncoder::BuildPrefixSets() {
  // Every byte string that occurs in a key past its first byte: single bytes
  // and pairs in bit sets, longer ones as hashes. A hash that collides only
  // makes some state keep more bytes than it needs, which is still exact.
  m_inKeys1.assign(256 / 64, 0);
  m_inKeys2.assign(65536 / 64, 0);
  std::vector<std::uint64_t> hashes;
  for (const TableEntry& e : m_table.Entries()) {
    const std::string_view key = m_table.Key(e);
    for (std::size_t from = 1; from < key.size(); ++from) {
      const auto b0 = static_cast<std::uint8_t>(key[from]);
      m_inKeys1[b0 >> 6] |= std::uint64_t{1} << (b0 & 63);
      if (from + 1 >= key.size()) continue;
      const std::uint32_t pair = (std::uint32_t{b0} << 8) | static_cast<std::uint8_t>(key[from + 1]);
      m_inKeys2[pair >> 6] |= std::uint64_t{1} << (pair & 63);
      std::uint64_t h = HashStep(HashStep(kFnvBasis, b0), static_cast<std::uint8_t>(key[from + 1]));
      for (std::size_t to = from + 2; to < key.size(); ++to) {
        h = HashStep(h, static_cast<std::uint8_t>(key[to]));
        hashes.push_back(h | 1);  // 0 marks an empty slot
      }
    }
  }
  std::size_t capacity = 16;
  while (capacity < 2 * hashes.size()) capacity *= 2;
  m_inKeysLonger.assign(hashes.empty() ? 0 : capacity, 0);
  for (std::uint64_t h : hashes) {
    std::size_t slot = h & (capacity - 1);
    while (m_inKeysLonger[slot] != 0 && m_inKeysLonger[slot] != h) slot = (slot + 1) & (capacity - 1);
    m_inKeysLonger[slot] = h;
  }
}

// How many of the first `size` bytes a state keeps: the longest prefix that
// occurs in some key past its first byte.
std::size_t TextEncoder::KeptPrefix(const std::uint8_t* bytes, std::size_t size) const {
  if (size == 0 || !(m_inKeys1[bytes[0] >> 6] >> (bytes[0] & 63) & 1)) return 0;
  if (size == 1) return 1;
  const std::uint32_t pair = (std::uint32_t{bytes[0]} << 8) | bytes[1];
  if (!(m_inKeys2[pair >> 6] >> (pair & 63) & 1)) return 1;
  if (size == 2 || m_inKeysLonger.empty()) return 2;
  const std::size_t mask = m_inKeysLonger.size() - 1;
  std::uint64_t h = HashStep(HashStep(kFnvBasis, bytes[0]), bytes[1]);
  for (std::size_t m = 3; m <= size; ++m) {
    h = HashStep(h, bytes[m - 1]);
    const std::uint64_t want = h | 1;
    std::size_t slot = want & mask;
    while (m_inKeysLonger[slot] != 0 && m_inKeysLonger[slot] != want) slot = (slot + 1) & mask;
    if (m_inKeysLonger[slot] == 0) return m - 1;
  }
  return size;
}

// The byte of the raw token at `pos` of the working text, or -1.
int TextEncoder::RawTokenAt(std::size_t pos) const {
  const DecodeStyle& style = m_table.Style();
  if (pos + m_tokenSize > m_text.size()) return -1;
  if (m_text.compare(pos, style.RawLeft.size(), style.RawLeft) != 0) return -1;
  const std::size_t digits = pos + style.RawLeft.size();
  if (!IsUpperHex(m_text[digits]) || !IsUpperHex(m_text[digits + 1])) return -1;
  if (m_text.compare(digits + 2, style.RawRight.size(), style.RawRight) != 0) return -1;
  return HexDigitValue(m_text[digits]) * 16 + HexDigitValue(m_text[digits + 1]);
}

// Every item whose text begins at `pos`: entries with their parameter tokens
// (a control code with fewer of them only where the text ends), and a raw
// byte. Items that show no text are not among them.
void TextEncoder::ItemsAt(std::size_t pos, std::vector<Item>& items) const {
  items.clear();
  const std::size_t size = m_text.size();
  const auto& entries = m_table.Entries();
  std::uint32_t node = m_rootChild[static_cast<std::uint8_t>(m_text[pos])];
  for (std::size_t at = pos + 1; node != 0; ++at) {
    const Node& n = m_nodes[node];
    for (std::uint32_t k = 0; k < n.ItemCount; ++k) {
      const std::uint32_t entry = m_nodeItems[n.FirstItem + k];
      const TableEntry& e = entries[entry];
      const auto textSize = static_cast<std::uint32_t>(at - pos);
      if (e.Kind != TokenKind::kControl || e.Params == 0) {
        items.push_back({entry, textSize, 0});
        continue;
      }
      std::uint32_t tokens = 0;
      while (tokens < e.Params && RawTokenAt(at + tokens * m_tokenSize) >= 0) ++tokens;
      const auto withTokens = static_cast<std::uint32_t>(textSize + tokens * m_tokenSize);
      if (tokens == e.Params || pos + withTokens == size) items.push_back({entry, withTokens, tokens});
    }
    if (at >= size) break;
    const auto byte = static_cast<std::uint8_t>(m_text[at]);
    const Edge* first = m_edges.data() + n.FirstEdge;
    const Edge* last = first + n.EdgeCount;
    const Edge* found;
    if (n.EdgeCount <= 8) {
      found = first;
      while (found != last && found->Byte != byte) ++found;
    } else {
      found = std::lower_bound(first, last, byte,
                               [](const Edge& edge, std::uint8_t b) { return edge.Byte < b; });
      if (found != last && found->Byte != byte) found = last;
    }
    node = found == last ? 0 : found->Child;
  }
  const int raw = RawTokenAt(pos);
  if (raw >= 0 && m_rawUse[static_cast<std::size_t>(raw)] != kRawNever)
    items.push_back({kRawItem, static_cast<std::uint32_t>(m_tokenSize), 0});
}

// Writes the bytes of an item found at `pos`; gives their count.
std::size_t TextEncoder::ItemBytes(const Item& item, std::size_t pos, std::uint8_t* out) const {
  const std::size_t digits = m_table.Style().RawLeft.size();
  const auto byteAt = [&](std::size_t at) {
    return static_cast<std::uint8_t>(HexDigitValue(m_text[at + digits]) * 16 +
                                     HexDigitValue(m_text[at + digits + 1]));
  };
  if (item.Entry == kRawItem) {
    out[0] = byteAt(pos);
    return 1;
  }
  const TableEntry& e = m_table.Entries()[item.Entry];
  std::memcpy(out, m_table.Key(e).data(), e.KeySize);
  const std::size_t tokensAt = pos + item.TextSize - item.Params * m_tokenSize;
  for (std::uint32_t k = 0; k < item.Params; ++k) out[e.KeySize + k] = byteAt(tokensAt + k * m_tokenSize);
  return e.KeySize + item.Params;
}

// Finds the states of `pos` from those of the positions after it and
// appends them to m_states in their order of preference.
void TextEncoder::SolvePosition(std::size_t pos, bool mustEnd) {
  const std::size_t size = m_text.size();
  const auto& entries = m_table.Entries();
  const CompiledTable::Matcher match = m_table.Lookup();
  std::uint8_t* const buffer = m_bytes.data();
  m_pending.clear();

  // Adds the encoding "bytes (buffer[0, length)), then state `next`" as a
  // candidate for the state of its kept prefix, among `from` and m_pending.
  const auto offer = [&](std::uint32_t cost, std::uint32_t entry, std::uint32_t textSize,
                         std::uint32_t next, std::size_t length, std::size_t finalFrom) {
    const std::size_t kept = KeptPrefix(buffer, std::min(length, m_window));
    for (std::size_t s = finalFrom; s < m_states.size(); ++s) {
      const State& f = m_states[s];
      if (f.PrefixSize == kept && std::memcmp(m_prefixes.data() + f.PrefixAt, buffer, kept) == 0)
        return;  // settled with fewer bytes
    }
    for (State& p : m_pending) {
      if (p.PrefixSize != kept || std::memcmp(m_prefixes.data() + p.PrefixAt, buffer, kept) != 0)
        continue;
      if (Better(cost, textSize, entry, next, p.Cost, p.TextSize, p.Entry, p.Next)) {
        p.Cost = cost;
        p.Entry = entry;
        p.TextSize = textSize;
        p.Next = next;
      }
      return;
    }
    const auto at = static_cast<std::uint32_t>(m_prefixes.size());
    m_prefixes.insert(m_prefixes.end(), buffer, buffer + kept);
    m_pending.push_back({cost, entry, textSize, next, at, static_cast<std::uint32_t>(kept)});
  };
  // Whether the item of `length` bytes at the buffer's start, `keySize` of
  // them its key, is what decoding takes before state `next`; leaves the
  // item and the state's prefix in the buffer.
  const auto taken = [&](std::uint32_t entry, std::size_t length, const State& next,
                         bool check) {
    std::memcpy(buffer + length, m_prefixes.data() + next.PrefixAt, next.PrefixSize);
    if (!check) return true;
    const TableEntry* m = match(buffer, length + next.PrefixSize);
    return entry == kRawItem ? m->Kind == TokenKind::kRaw : m == &entries[entry];
  };

  ItemsAt(pos, m_items);
  for (const Item& item : m_items) {
    const std::size_t after = pos + item.TextSize;
    const std::uint32_t count = m_count[after];
    if (count == 0) continue;
    const bool isEnd = item.Entry != kRawItem && entries[item.Entry].Kind == TokenKind::kEnd;
    const bool cut = item.Entry != kRawItem && item.Params < entries[item.Entry].Params;
    // End tokens, and control codes short of parameters, only as the last
    // item; when the text ends with an end token's text, only end tokens.
    if ((isEnd || cut) && after != size) continue;
    if (after == size && (isEnd != mustEnd)) continue;
    const std::size_t length = ItemBytes(item, pos, buffer);
    const bool check = item.Entry == kRawItem
                           ? m_rawUse[buffer[0]] == kRawChecked
                           : static_cast<bool>(m_extendable[item.Entry]);
    const std::uint32_t first = m_first[after];
    for (std::uint32_t s = first; s < first + count; ++s) {
      const State& next = m_states[s];
      if (!taken(item.Entry, length, next, check)) continue;
      offer(static_cast<std::uint32_t>(length) + next.Cost, item.Entry, item.TextSize, s,
            length + next.PrefixSize, m_states.size());
      // An item as long as the window gives the same prefix whatever
      // follows: the first state taken is the best.
      if (length >= m_window) break;
    }
  }

  const auto better = [](const State& a, const State& b) {
    return Better(a.Cost, a.TextSize, a.Entry, a.Next, b.Cost, b.TextSize, b.Entry, b.Next);
  };
  const auto begin = static_cast<std::uint32_t>(m_states.size());
  m_first[pos] = begin;
  if (m_silentEntries.empty()) {
    std::sort(m_pending.begin(), m_pending.end(), better);
    m_states.insert(m_states.end(), m_pending.begin(), m_pending.end());
  } else {
    // Entries without text stay at this position: settle the states in order
    // of cost, each group before the entries without text extend it, as
    // they only add bytes.
    while (!m_pending.empty()) {
      std::uint32_t cheapest = m_pending[0].Cost;
      for (const State& p : m_pending) cheapest = std::min(cheapest, p.Cost);
      const auto group = std::partition(m_pending.begin(), m_pending.end(),
                                        [&](const State& p) { return p.Cost == cheapest; });
      std::sort(m_pending.begin(), group, better);
      const auto settledFrom = static_cast<std::uint32_t>(m_states.size());
      m_states.insert(m_states.end(), m_pending.begin(), group);
      m_pending.erase(m_pending.begin(), group);
      const auto settledTo = static_cast<std::uint32_t>(m_states.size());
      for (std::uint32_t s = settledFrom; s < settledTo; ++s) {
        for (std::uint32_t entry : m_silentEntries) {
          const State next = m_states[s];
          const TableEntry& e = entries[entry];
          std::memcpy(buffer, m_table.Key(e).data(), e.KeySize);
          if (!taken(entry, e.KeySize, next, m_extendable[entry])) continue;
          offer(e.KeySize + next.Cost, entry, 0, s, e.KeySize + next.PrefixSize, begin);
        }
      }
    }
  }
  m_count[pos] = static_cast<std::uint32_t>(m_states.size() - begin);
}

std::variant<std::string, EncodeFailure> TextEncoder::Encode(std::string_view text) {
  m_text.assign(text);
  UpperRawDigits(m_text, m_table.Style());
  const std::size_t size = m_text.size();
  // When the text ends with an end token's text, the string must end there.
  const bool mustEnd = std::any_of(m_endTexts.begin(), m_endTexts.end(), [&](const auto& end) {
    return end.size() <= size && m_text.compare(size - end.size(), end.size(), end) == 0;
  });

  m_states.clear();
  m_prefixes.clear();
  m_first.assign(size + 1, 0);
  m_count.assign(size + 1, 0);
  m_states.push_back({0, kEndOfText, 0, 0, 0, 0});
  m_first[size] = 0;
  m_count[size] = 1;
  for (std::size_t pos = size; pos-- > 0;) SolvePosition(pos, mustEnd);
  if (m_count[0] == 0) return Failure(text);

  std::string out;
  out.reserve(m_states[m_first[0]].Cost);
  std::uint8_t* const buffer = m_bytes.data();
  std::size_t pos = 0;
  for (std::uint32_t s = m_first[0]; m_states[s].Entry != kEndOfText; s = m_states[s].Next) {
    const State& state = m_states[s];
    Item item{state.Entry, state.TextSize, 0};
    if (state.Entry != kRawItem) {
      const TableEntry& e = m_table.Entries()[state.Entry];
      if (e.Kind == TokenKind::kControl)
        item.Params = static_cast<std::uint32_t>((state.TextSize - e.ShownSize) / m_tokenSize);
    }
    const std::size_t length = ItemBytes(item, pos, buffer);
    out.append(reinterpret_cast<const char*>(buffer), length);
    pos += state.TextSize;
  }
  return out;
}

EncodeFailure TextEncoder::Failure(std::string_view original) {
  // The furthest position that a chain of items from the start reaches
  // (whether or not decoding would take them) and from which the rest has
  // no encoding.
  const std::size_t size = m_text.size();
  std::vector<bool> reached(size + 1, false);
  reached[0] = true;
  std::size_t failed = 0;
  for (std::size_t pos = 0; pos < size; ++pos) {
    if (!reached[pos]) continue;
    if (m_count[pos] == 0) failed = pos;
    ItemsAt(pos, m_items);
    for (const Item& item : m_items) reached[pos + item.TextSize] = true;
  }
  while (failed > 0 && IsContinuation(m_text[failed])) --failed;

  EncodeFailure failure;
  failure.Column = 1;
  for (std::size_t i = 0; i < failed; ++i)
    if (!IsContinuation(m_text[i])) ++failure.Column;
  std::size_t length = 1;
  if (RawTokenAt(failed) >= 0) {
    length = m_tokenSize;
  } else {
    while (failed + length < size && IsContinuation(m_text[failed + length])) ++length;
  }
  failure.Character = std::string(original.substr(failed, length));
  return failure;
}

std::variant<std::string, EncodeFailure> EncodeText(const CompiledTable& table,
                                                    std::string_view text) {
  TextEncoder encoder(table);
  return encoder.Encode(text);
}

}  // namespace romscriber
