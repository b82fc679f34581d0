#include "insert/encoder.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <deque>
#include <exception>
#include <thread>
#include <unordered_map>
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

// Record flags.
constexpr std::uint8_t kIsEnd = 1;        // an end token
constexpr std::uint8_t kCheck = 2;        // longer keys begin with its key: test what follows
constexpr std::uint8_t kFixedPrefix = 4;  // its key alone gives the state's prefix (Head, Kept)
constexpr std::uint8_t kNever = 8;        // a raw byte that a one-byte key reads
constexpr std::uint8_t kLast = 16;        // the last entry of its text in m_records

// A slot of the text index without entries of its own text.
constexpr std::uint32_t kNoRecords = 0xFFFFFFFF;
// Slot::Length: the text's length, and whether longer texts begin with it.
constexpr std::uint32_t kLengthMask = 0x7FFFFFFF;
constexpr std::uint32_t kHasLonger = 0x80000000;

constexpr std::uint64_t kFnvBasis = 0xcbf29ce484222325ULL;
constexpr std::uint64_t kFnvPrime = 0x100000001b3ULL;

std::uint64_t HashStep(std::uint64_t h, std::uint8_t byte) {
  return (h ^ byte) * kFnvPrime;
}

// The key of the first `length` bytes of a text in the text index from that
// of its first length - 1: up to 8 bytes the bytes themselves, beyond that a
// hash of them.
std::uint64_t NextWord(std::uint64_t word, std::size_t length, std::uint8_t byte) {
  if (length <= 8) return word | std::uint64_t{byte} << (8 * (length - 1));
  return HashStep(word, byte);
}

// Where the text index looks first for a key of `length` bytes: the top bits
// of a multiplicative hash.
std::size_t FirstSlot(std::uint64_t word, std::size_t length, unsigned shift) {
  return static_cast<std::size_t>(((word ^ (length * 0x9E3779B97F4A7C15ULL)) * 0xFF51AFD7ED558CCDULL) >>
                                  shift);
}

bool IsContinuation(char c) {
  return (static_cast<unsigned char>(c) & 0xC0) == 0x80;
}

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

// The first `size` bytes of `bytes` (8 of which may be read) as a state's
// Head: the bytes past `size` zeroed.
std::uint64_t HeadOf(const std::uint8_t* bytes, std::size_t size) {
  std::uint64_t head;
  std::memcpy(&head, bytes, 8);
  if (size >= 8) return head;
  if constexpr (std::endian::native == std::endian::little) {
    return head & ((std::uint64_t{1} << (8 * size)) - 1);
  } else {
    return size == 0 ? 0 : head & ~((std::uint64_t{1} << (8 * (8 - size))) - 1);
  }
}

}  // namespace

TextEncoder::TextEncoder(const CompiledTable& table) : m_table(table) {
  const DecodeStyle& style = table.Style();
  m_window = table.LongestKey() > 0 ? table.LongestKey() - 1 : 0;
  m_tokenSize = style.RawLeft.size() + 2 + style.RawRight.size();
  // An item, a state's prefix after it, and room for whole 8-byte copies.
  m_bytes.resize(2 * table.LongestKey() + table.MostParams() + m_window + 16);
  BuildPrefixSets();

  // Which keys a longer key extends, and which bytes may show raw.
  const auto& entries = table.Entries();
  std::unordered_set<std::string_view> extended;
  std::vector<std::uint8_t> rawFlags(256, 0);
  for (const TableEntry& e : entries) {
    const std::string_view key = table.Key(e);
    for (std::size_t size = 1; size < key.size(); ++size)
      extended.insert(key.substr(0, size));
    rawFlags[static_cast<std::uint8_t>(key[0])] |= key.size() == 1 ? kNever : kCheck;
  }
  for (std::size_t b = 0; b < 256; ++b) {
    const char byte = static_cast<char>(b);
    m_raw.push_back(MakeRecord(kRawItem, std::string_view(&byte, 1), 0, rawFlags[b]));
  }
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const TableEntry& e = entries[i];
    const std::string_view key = table.Key(e);
    std::uint8_t flags = extended.count(key) > 0 ? kCheck : 0;
    if (e.Kind == TokenKind::kEnd) {
      flags |= kIsEnd;
      m_endTexts.emplace_back(table.Shown(e));
      UpperRawDigits(m_endTexts.back(), style);
    }
    const std::uint8_t params = e.Kind == TokenKind::kControl ? e.Params : 0;
    m_byEntry.push_back(MakeRecord(static_cast<std::uint32_t>(i), key, params, flags));
    // Classic tables may give an entry no text at all.
    if (e.ShownSize == 0 && e.Kind != TokenKind::kEnd && params == 0)
      m_silent.push_back(m_byEntry.back());
  }
  BuildTextIndex();
  // The index holds entry numbers until now; its own copies of the records
  // keep those of one text together, the last one marked.
  for (std::size_t i = 0; i < m_records.size(); ++i) {
    const bool last = m_records[i].Flags & kLast;
    m_records[i] = m_byEntry[m_records[i].Entry];
    if (last) m_records[i].Flags |= kLast;
  }
}

TextEncoder::Record TextEncoder::MakeRecord(std::uint32_t entry, std::string_view key,
                                            std::uint8_t params, std::uint8_t flags) const {
  Record r{};
  r.Entry = entry;
  r.KeySize = static_cast<std::uint8_t>(key.size());
  r.Params = params;
  r.Flags = flags;
  std::uint8_t bytes[16] = {};
  std::memcpy(bytes, key.data(), std::min<std::size_t>(key.size(), 8));
  std::memcpy(&r.Key, bytes, 8);
  // A key at least as long as the window, without parameters, decides the
  // prefix of any state it begins.
  if (params == 0 && key.size() >= m_window) {
    const std::size_t kept =
        KeptPrefix(reinterpret_cast<const std::uint8_t*>(key.data()), m_window);
    if (kept <= 8) {
      r.Flags |= kFixedPrefix;
      r.Kept = static_cast<std::uint8_t>(kept);
      r.Head = HeadOf(bytes, kept);
    }
  }
  return r;
}

void TextEncoder::BuildTextIndex() {
  // The entries' texts (raw token digits upper-cased) one after the other.
  const auto& entries = m_table.Entries();
  std::vector<std::uint32_t> textAt(entries.size() + 1, 0);
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const TableEntry& e = entries[i];
    if (e.ShownSize > 0) {
      const std::size_t from = m_textPool.size();
      m_textPool.append(m_table.Shown(e));
      std::string text = m_textPool.substr(from);
      UpperRawDigits(text, m_table.Style());
      m_textPool.replace(from, text.size(), text);
      m_longestText = std::max(m_longestText, text.size());
    }
    textAt[i + 1] = static_cast<std::uint32_t>(m_textPool.size());
  }
  // Every prefix of every text once, in the order first met, with the
  // entries whose text it is in table order.
  struct Prefix {
    std::uint32_t TextAt;  // in m_textPool
    std::uint32_t Length;
    bool Longer = false;
    std::vector<std::uint32_t> Entries;
  };
  std::vector<Prefix> prefixes;
  std::unordered_map<std::string_view, std::uint32_t> known;
  const std::string_view pool = m_textPool;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const std::size_t size = textAt[i + 1] - textAt[i];
    for (std::size_t length = 1; length <= size; ++length) {
      const auto [it, added] = known.emplace(pool.substr(textAt[i], length),
                                             static_cast<std::uint32_t>(prefixes.size()));
      if (added)
        prefixes.push_back({textAt[i], static_cast<std::uint32_t>(length), false, {}});
      Prefix& p = prefixes[it->second];
      if (length < size) p.Longer = true;
      if (length == size) p.Entries.push_back(static_cast<std::uint32_t>(i));
    }
  }
  // Laid out in a table at most half full.
  std::size_t capacity = 16;
  unsigned bits = 4;
  while (capacity < 2 * prefixes.size()) {
    capacity *= 2;
    ++bits;
  }
  m_slotShift = 64 - bits;
  m_slots.assign(capacity, Slot{0, kNoRecords, 0});
  m_slotText.assign(capacity, 0);
  for (const Prefix& p : prefixes) {
    std::uint64_t word = 0;
    for (std::size_t length = 1; length <= p.Length; ++length)
      word = NextWord(word, length, static_cast<std::uint8_t>(pool[p.TextAt + length - 1]));
    std::size_t at = FirstSlot(word, p.Length, m_slotShift);
    while (m_slots[at].Length != 0)
      at = (at + 1) & (capacity - 1);
    Slot& slot = m_slots[at];
    slot.Word = word;
    slot.Length = p.Length | (p.Longer ? kHasLonger : 0);
    m_slotText[at] = p.TextAt;
    if (p.Entries.empty()) continue;
    slot.Records = static_cast<std::uint32_t>(m_records.size());
    for (std::uint32_t entry : p.Entries) {
      Record r{};
      r.Entry = entry;
      m_records.push_back(r);
    }
    m_records.back().Flags = kLast;
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
      const std::uint32_t pair =
          (std::uint32_t{b0} << 8) | static_cast<std::uint8_t>(key[from + 1]);
      m_inKeys2[pair >> 6] |= std::uint64_t{1} << (pair & 63);
      std::uint64_t h = HashStep(HashStep(kFnvBasis, b0), static_cast<std::uint8_t>(key[from + 1]));
      for (std::size_t to = from + 2; to < key.size(); ++to) {
        h = HashStep(h, static_cast<std::uint8_t>(key[to]));
        hashes.push_back(h | 1);  // 0 marks an empty slot
      }
    }
  }
  std::size_t capacity = 16;
  while (capacity < 2 * hashes.size())
    capacity *= 2;
  m_inKeysLonger.assign(hashes.empty() ? 0 : capacity, 0);
  for (std::uint64_t h : hashes) {
    std::size_t slot = h & (capacity - 1);
    while (m_inKeysLonger[slot] != 0 && m_inKeysLonger[slot] != h)
      slot = (slot + 1) & (capacity - 1);
    m_inKeysLonger[slot] = h;
  }
}

// How many of the first `size` bytes a state keeps: the longest prefix that
// occurs in some key past its first byte.
inline std::size_t TextEncoder::KeptPrefix(const std::uint8_t* bytes, std::size_t size) const {
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
    while (m_inKeysLonger[slot] != 0 && m_inKeysLonger[slot] != want)
      slot = (slot + 1) & mask;
    if (m_inKeysLonger[slot] == 0) return m - 1;
  }
  return size;
}

inline bool TextEncoder::SamePrefix(const State& state, std::uint64_t head, std::size_t size,
                                    const std::uint8_t* bytes) const {
  return state.PrefixSize == size && state.Head == head &&
         (size <= 8 || std::memcmp(m_prefixes.data() + state.RestAt, bytes + 8, size - 8) == 0);
}

// The byte of the raw token at `pos` of the working text, or -1.
int TextEncoder::RawTokenAt(std::size_t pos) const {
  return romscriber::RawTokenAt(m_table.Style(), m_text, pos);
}

// Calls `visit` with every item whose text begins at `pos`: entries with
// their parameter tokens (a control code with fewer of them only where the
// text ends), and a raw byte. Items that show no text are not among them.
template <class Visit>
void TextEncoder::ForEachItem(std::size_t pos, Visit&& visit) const {
  const std::size_t size = m_text.size();
  const char* const text = m_text.data();
  const std::size_t mask = m_slots.size() - 1;
  const std::size_t longest = std::min(size - pos, m_longestText);
  std::uint64_t word = 0;
  // The slots of a run of lengths are all found before any item is visited,
  // so that their reads overlap.
  constexpr std::size_t kRun = 16;
  const Slot* found[kRun];
  bool more = true;
  for (std::size_t from = 1; more && from <= longest; from += kRun) {
    const std::size_t to = std::min(longest + 1, from + kRun);
    std::size_t count = 0;
    for (std::size_t length = from; length < to; ++length) {
      // The slot of the text's first `length` bytes from `pos`, if any.
      word = NextWord(word, length, static_cast<std::uint8_t>(text[pos + length - 1]));
      std::size_t at = FirstSlot(word, length, m_slotShift);
      const Slot* slot;
      for (;; at = (at + 1) & mask) {
        slot = &m_slots[at];
        const std::uint32_t slotLength = slot->Length & kLengthMask;
        if (slotLength == 0) break;
        if (slotLength == length && slot->Word == word &&
            (length <= 8 ||
             std::memcmp(m_textPool.data() + m_slotText[at], text + pos, length) == 0))
          break;
      }
      if (slot->Length == 0) {
        more = false;
        break;
      }
      found[count++] = slot;
      if (!(slot->Length & kHasLonger)) {
        more = false;
        break;
      }
    }
    for (std::size_t k = 0; k < count; ++k) {
      const Slot* slot = found[k];
      if (slot->Records == kNoRecords) continue;
      const auto textSize = static_cast<std::uint32_t>(from + k);
      const std::size_t end = pos + textSize;
      for (const Record* r = m_records.data() + slot->Records;; ++r) {
        if (r->Params == 0) {
          visit(Item{r, textSize, 0});
        } else {
          std::uint32_t tokens = 0;
          while (tokens < r->Params && RawTokenAt(end + tokens * m_tokenSize) >= 0)
            ++tokens;
          const auto withTokens = static_cast<std::uint32_t>(textSize + tokens * m_tokenSize);
          if (tokens == r->Params || pos + withTokens == size) visit(Item{r, withTokens, tokens});
        }
        if (r->Flags & kLast) break;
      }
    }
  }
  const int raw = RawTokenAt(pos);
  if (raw >= 0 && !(m_raw[static_cast<std::size_t>(raw)].Flags & kNever))
    visit(Item{&m_raw[static_cast<std::size_t>(raw)], static_cast<std::uint32_t>(m_tokenSize), 0});
}

// Writes the bytes of an item found at `pos`; gives their count.
inline std::size_t TextEncoder::ItemBytes(const Item& item, std::size_t pos,
                                          std::uint8_t* out) const {
  const Record& r = *item.Of;
  std::memcpy(out, &r.Key, 8);
  if (r.KeySize > 8) std::memcpy(out, m_table.Key(m_table.Entries()[r.Entry]).data(), r.KeySize);
  if (r.Entry == kRawItem || item.Params == 0) return r.KeySize;
  const std::size_t digits = m_table.Style().RawLeft.size();
  const std::size_t tokensAt = pos + item.TextSize - item.Params * m_tokenSize + digits;
  for (std::uint32_t k = 0; k < item.Params; ++k) {
    out[r.KeySize + k] = static_cast<std::uint8_t>(HexByteAt(m_text, tokensAt + k * m_tokenSize));
  }
  return r.KeySize + item.Params;
}

// Finds the states of `pos` from those of the positions after it and
// appends them to m_states in their order of preference.
void TextEncoder::SolvePosition(std::size_t pos, bool mustEnd) {
  const std::size_t size = m_text.size();
  const auto& entries = m_table.Entries();
  const CompiledTable::Matcher match = m_table.Lookup();
  std::uint8_t* const buffer = m_bytes.data();
  m_pending.clear();

  // Adds an encoding as a candidate for the state of its kept prefix (whose
  // bytes past the eighth are in the buffer): nothing when a state settled
  // from `settled` on has that prefix, else the better of it and the pending
  // one.
  const auto offer = [&](std::uint32_t cost, std::uint32_t entry, std::uint32_t textSize,
                         std::uint32_t next, std::uint64_t head, std::size_t kept,
                         std::size_t settled) {
    for (std::size_t s = settled; s < m_states.size(); ++s)
      if (SamePrefix(m_states[s], head, kept, buffer)) return;
    for (State& p : m_pending) {
      if (!SamePrefix(p, head, kept, buffer)) continue;
      if (Better(cost, textSize, entry, next, p.Cost, p.TextSize, p.Entry, p.Next)) {
        p.Cost = cost;
        p.Entry = entry;
        p.TextSize = textSize;
        p.Next = next;
      }
      return;
    }
    const auto restAt = static_cast<std::uint32_t>(m_prefixes.size());
    if (kept > 8) m_prefixes.insert(m_prefixes.end(), buffer + 8, buffer + kept);
    m_pending.push_back(
        {head, cost, entry, textSize, next, static_cast<std::uint32_t>(kept), restAt});
  };
  // Puts the prefix of state `next` after the item in buffer[0, length),
  // tells whether decoding takes that item there, and if so offers it.
  const auto extend = [&](const Record& r, std::uint32_t textSize, std::size_t length,
                          std::uint32_t next, std::size_t settled) {
    const State& state = m_states[next];
    std::memcpy(buffer + length, &state.Head, 8);
    if (state.PrefixSize > 8)
      std::memcpy(buffer + length + 8, m_prefixes.data() + state.RestAt, state.PrefixSize - 8);
    if (r.Flags & kCheck) {
      // The lookup's item is the entry's when it shows the entry's own text.
      const LookupItem* m = match(buffer, length + state.PrefixSize);
      if (r.Entry == kRawItem ? m->Kind != TokenKind::kRaw
                              : m->Kind == TokenKind::kRaw || m->ShownAt != entries[r.Entry].ShownAt)
        return false;
    }
    const std::size_t kept = KeptPrefix(buffer, std::min(length + state.PrefixSize, m_window));
    offer(static_cast<std::uint32_t>(length) + state.Cost, r.Entry, textSize, next,
          HeadOf(buffer, kept), kept, settled);
    return true;
  };

  ForEachItem(pos, [&](const Item& item) {
    const Record& r = *item.Of;
    const std::size_t after = pos + item.TextSize;
    const std::uint32_t count = m_count[after];
    if (count == 0) return;
    const bool isEnd = (r.Flags & kIsEnd) != 0;
    // End tokens, and control codes short of parameters, only as the last
    // item; when the text ends with an end token's text, only end tokens.
    if ((isEnd || item.Params < r.Params) && after != size) return;
    if (after == size && isEnd != mustEnd) return;
    const std::uint32_t first = m_first[after];
    if ((r.Flags & (kFixedPrefix | kCheck)) == kFixedPrefix) {
      // Taken whatever follows, with the same prefix: the best state after.
      offer(r.KeySize + m_states[first].Cost, r.Entry, item.TextSize, first, r.Head, r.Kept,
            m_states.size());
      return;
    }
    const std::size_t length = ItemBytes(item, pos, buffer);
    for (std::uint32_t s = first; s < first + count; ++s) {
      // An item as long as the window gives the same prefix whatever
      // follows: the first state that lets it be taken is the best.
      if (extend(r, item.TextSize, length, s, m_states.size()) && length >= m_window) break;
    }
  });

  const auto better = [](const State& a, const State& b) {
    return Better(a.Cost, a.TextSize, a.Entry, a.Next, b.Cost, b.TextSize, b.Entry, b.Next);
  };
  const auto begin = static_cast<std::uint32_t>(m_states.size());
  m_first[pos] = begin;
  if (m_silent.empty()) {
    if (m_pending.size() > 1) std::sort(m_pending.begin(), m_pending.end(), better);
    m_states.insert(m_states.end(), m_pending.begin(), m_pending.end());
  } else {
    // Entries without text stay at this position: settle the states in order
    // of cost, each group before the entries without text extend it, as
    // they only add bytes.
    while (!m_pending.empty()) {
      std::uint32_t cheapest = m_pending[0].Cost;
      for (const State& p : m_pending)
        cheapest = std::min(cheapest, p.Cost);
      const auto group = std::partition(m_pending.begin(), m_pending.end(),
                                        [&](const State& p) { return p.Cost == cheapest; });
      std::sort(m_pending.begin(), group, better);
      const auto settledFrom = static_cast<std::uint32_t>(m_states.size());
      m_states.insert(m_states.end(), m_pending.begin(), group);
      m_pending.erase(m_pending.begin(), group);
      const auto settledTo = static_cast<std::uint32_t>(m_states.size());
      for (std::uint32_t s = settledFrom; s < settledTo; ++s) {
        for (const Record& r : m_silent) {
          const std::size_t length = ItemBytes(Item{&r, 0, 0}, pos, buffer);
          extend(r, 0, length, s, begin);
        }
      }
    }
  }
  m_count[pos] = static_cast<std::uint32_t>(m_states.size() - begin);
}

std::optional<EncodeFailure> TextEncoder::EncodeAppend(std::string_view text, std::string& out) {
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
  m_states.push_back({0, 0, kEndOfText, 0, 0, 0, 0});
  m_first[size] = 0;
  m_count[size] = 1;
  for (std::size_t pos = size; pos-- > 0;)
    SolvePosition(pos, mustEnd);
  if (m_count[0] == 0) return Failure(text);

  if (out.empty()) out.reserve(m_states[m_first[0]].Cost);
  std::uint8_t* const buffer = m_bytes.data();
  std::size_t pos = 0;
  for (std::uint32_t s = m_first[0]; m_states[s].Entry != kEndOfText; s = m_states[s].Next) {
    const State& state = m_states[s];
    Item item{nullptr, state.TextSize, 0};
    if (state.Entry == kRawItem) {
      item.Of = &m_raw[static_cast<std::size_t>(RawTokenAt(pos))];
    } else {
      item.Of = &m_byEntry[state.Entry];
      // Parameters given are the raw tokens after the control code's text.
      const std::uint32_t shown = m_table.Entries()[state.Entry].ShownSize;
      if (item.Of->Params > 0)
        item.Params = static_cast<std::uint32_t>((state.TextSize - shown) / m_tokenSize);
    }
    const std::size_t length = ItemBytes(item, pos, buffer);
    out.append(reinterpret_cast<const char*>(buffer), length);
    pos += state.TextSize;
  }
  return std::nullopt;
}

std::variant<std::string, EncodeFailure> TextEncoder::Encode(std::string_view text) {
  std::string out;
  if (auto failure = EncodeAppend(text, out)) return *failure;
  return out;
}

EncodeFailure TextEncoder::Failure(std::string_view original) const {
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
    ForEachItem(pos, [&](const Item& item) { reached[pos + item.TextSize] = true; });
  }
  while (failed > 0 && IsContinuation(m_text[failed]))
    --failed;

  EncodeFailure failure;
  failure.Column = 1;
  for (std::size_t i = 0; i < failed; ++i)
    if (!IsContinuation(m_text[i])) ++failure.Column;
  std::size_t length = 1;
  if (RawTokenAt(failed) >= 0) {
    length = m_tokenSize;
  } else {
    while (failed + length < size && IsContinuation(m_text[failed + length]))
      ++length;
  }
  failure.Character = std::string(original.substr(failed, length));
  return failure;
}

namespace {

// Encodes `texts` in order, appending to `out`, up to the first failure.
void EncodeRun(TextEncoder& encoder, std::span<const std::string_view> texts, EncodedTexts& out) {
  out.Ends.reserve(texts.size());
  for (std::size_t k = 0; k < texts.size(); ++k) {
    out.Failure = encoder.EncodeAppend(texts[k], out.Bytes);
    if (out.Failure) {
      out.Failed = k;
      return;
    }
    out.Ends.push_back(out.Bytes.size());
  }
}

}  // namespace

EncodedTexts EncodeAll(TextEncoder& encoder, std::span<const std::string_view> texts,
                       std::size_t runs) {
  // Texts are independent of one another, so runs of them can be encoded at
  // once; a run is worth a thread from some thousands of texts on.
  constexpr std::size_t kTextsPerRun = 2048;
  if (runs == 0) {
    const std::size_t cores = std::max(1u, std::thread::hardware_concurrency());
    runs = std::clamp<std::size_t>(texts.size() / kTextsPerRun, 1, std::min<std::size_t>(cores, 8));
  }
  runs = std::clamp<std::size_t>(runs, 1, std::max<std::size_t>(texts.size(), 1));
  EncodedTexts all;
  if (runs == 1) {
    EncodeRun(encoder, texts, all);
    return all;
  }
  const auto bound = [&](std::size_t r) { return texts.size() * r / runs; };
  std::vector<EncodedTexts> parts(runs);
  std::vector<std::exception_ptr> errors(runs);
  const auto work = [&](TextEncoder& e, std::size_t r) {
    try {
      EncodeRun(e, texts.subspan(bound(r), bound(r + 1) - bound(r)), parts[r]);
    } catch (...) {
      errors[r] = std::current_exception();
    }
  };
  {
    // The copies are made before any run starts: a run changes its
    // encoder's working memory.
    std::deque<TextEncoder> copies;
    for (std::size_t r = 1; r < runs; ++r)
      copies.emplace_back(encoder);
    std::vector<std::jthread> threads;
    threads.reserve(runs - 1);
    for (std::size_t r = 1; r < runs; ++r)
      threads.emplace_back([&, r] { work(copies[r - 1], r); });
    work(encoder, 0);
  }
  // The runs in order, up to the first that failed.
  for (std::size_t r = 0; r < runs; ++r) {
    if (errors[r]) std::rethrow_exception(errors[r]);
    const std::size_t shift = all.Bytes.size();
    all.Bytes += parts[r].Bytes;
    for (const std::size_t end : parts[r].Ends)
      all.Ends.push_back(shift + end);
    if (parts[r].Failure) {
      all.Failure = parts[r].Failure;
      all.Failed = bound(r) + parts[r].Failed;
      break;
    }
  }
  return all;
}

}  // namespace romscriber
