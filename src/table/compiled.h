// The one compiled form of a table, built from a classic table or an extended
// one: keys of any length, each with the text it shows and what it does.
//
//   TokenKind / TableEntry   what a key stands for, once compiled
//   LookupItem               what the lookup answers: all a decode loop needs
//                            for one item, its short text inline
//   DecodeStyle              how raw bytes, line breaks and classic markers show
//   RawText / RawTokenAt     raw bytes written as a style's tokens, and read back
//   CompiledTable            the entries, and the longest match at a position
//
// Keys and texts live in one buffer owned by the table, each key right before
// its text, with slack after the last text so that every item may take a
// short text's bytes, which a decoder then copies with one fixed-size copy.
//
// The lookup is laid out for few dependent memory reads: a bit per pair of
// first bytes says whether the pair begins a key of two or more bytes; the
// bits with a running count (a few KiB, always in cache) give the pair's rank
// among those pairs, and the rank its longest key's item (a dense array, no
// slot for the pairs that begin nothing). That item holds the text when it is
// short, so a key usually costs one read of table memory besides the hot
// bits; other keys of the same pair follow it in a second array, longest
// first. One-byte keys and bytes without an entry have an item each by byte.
#pragma once

#include <algorithm>
#include <array>
#include <bit>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <string>
#include <string_view>
#include <vector>

#include "base/text.h"
#include "table/entries.h"
#include "table/table.h"

namespace romscriber {

// Kinds that only show their text come first, those that do more after.
enum class TokenKind : std::uint8_t {
  kText,       // its text is shown
  kLineBreak,  // its text, then a line break (both are in Shown)
  kRaw,        // a byte without an entry, shown raw (the lookup's own)
  kControl,    // its text, then Params bytes shown raw
  kEnd,        // its text, then the script or string ends
  kPause,      // classic "&": the script ends, a block goes on
};

// One entry, sixteen bytes: its key and text are in the table's buffer
// (CompiledTable::Key and Shown give them).
struct TableEntry {
  std::uint32_t KeyAt = 0;    // where its key's bytes begin in the buffer
  std::uint32_t ShownAt = 0;  // where what decoding shows for it begins
  std::uint32_t ShownSize = 0;
  std::uint8_t KeySize = 0;
  TokenKind Kind = TokenKind::kText;
  std::uint8_t Params = 0;
};

// One answer of the lookup, half a cache line: an entry of the table or a
// byte shown raw.
struct alignas(32) LookupItem {
  static constexpr std::size_t kInline = 12;
  static constexpr std::size_t kTail = 5;
  char Text[kInline];  // the shown text's first bytes; all of it when ShownSize <= kInline
  std::uint32_t ShownAt = 0;  // the whole shown text in the table's buffer
  std::uint32_t ShownSize = 0;
  std::uint32_t Next = 0;  // the lookup's own: 1 + index of the pair's next key, or 0
  std::uint8_t KeySize = 0;
  TokenKind Kind = TokenKind::kText;
  std::uint8_t Params = 0;
  std::uint8_t Tail[kTail] = {};  // the lookup's own: the key's bytes after its pair
};
static_assert(sizeof(LookupItem) == 32);
// The lookup reads the Tail as the item's last bytes.
static_assert(offsetof(LookupItem, Tail) + LookupItem::kTail == sizeof(LookupItem));

// How a decode shows what the table itself does not say.
struct DecodeStyle {
  std::string RawLeft = "<$";  // a byte without an entry: RawLeft, two hex digits, RawRight
  std::string RawRight = ">";
  std::string LineBreak = "\r\n";
  // Classic tables only: end and pause entries show END and WAIT in the raw
  // brackets (range dumps); otherwise their own bytes raw, and a pause ends
  // nothing (project dumps).
  bool ClassicMarkers = true;
};

// How project dumps (and the searches that read a ROM as they do) show what
// tables do not say: raw bytes as <$HH>, line breaks as LF, classic end and
// pause entries as their own bytes.
inline DecodeStyle ProjectStyle() {
  DecodeStyle style;
  style.RawLeft = "<$";
  style.RawRight = ">";
  style.LineBreak = "\n";
  style.ClassicMarkers = false;
  return style;
}

// Spare bytes after the last text of a table's buffer (an item takes the
// first kInline bytes of its text whatever the text's size), and the room a
// decoder keeps past its own text for fixed-size copies.
inline constexpr std::size_t kShownSlack = 32;

// Each byte of `bytes` as the style shows a byte without an entry.
std::string RawText(const DecodeStyle& style, std::string_view bytes);

// The byte of the raw token at `pos` of `text` (the style's brackets around
// two upper-case hex digits), or -1 when none begins there. The encoder asks
// at every position of a text: as a call it costs 9 % more instructions.
[[gnu::always_inline]] inline int RawTokenAt(const DecodeStyle& style, std::string_view text,
                                             std::size_t pos) {
  const std::string& left = style.RawLeft;
  const std::string& right = style.RawRight;
  const std::size_t digits = pos + left.size();
  if (digits + 2 + right.size() > text.size()) return -1;
  if (std::memcmp(text.data() + pos, left.data(), left.size()) != 0) return -1;
  if (!IsUpperHexDigit(text[digits]) || !IsUpperHexDigit(text[digits + 1])) return -1;
  if (std::memcmp(text.data() + digits + 2, right.data(), right.size()) != 0) return -1;
  return HexDigitValue(text[digits]) * 16 + HexDigitValue(text[digits + 1]);
}

// Upper-cases the two digits of every raw token of `text` (written with
// either case), as texts are read when they are encoded.
void UpperRawDigits(std::string& text, const DecodeStyle& style);

class CompiledTable {
 public:
  // The lookup of a list of entries. An extended list's '\n' is the style's
  // line break, and an entry with an empty text shows its key's bytes raw;
  // a classic list's texts show as written, its end and pause entries as the
  // style's markers when it has them (else raw, and a pause ends nothing).
  // A key met again keeps its first entry.
  static CompiledTable Compile(const EntryList& list, const DecodeStyle& style);
  // Compile(EntriesOfClassic(table), style).
  static CompiledTable FromClassic(const Table& table, const DecodeStyle& style);

  CompiledTable(CompiledTable&&) = default;
  CompiledTable& operator=(CompiledTable&&) = default;
  CompiledTable(const CompiledTable&) = delete;
  CompiledTable& operator=(const CompiledTable&) = delete;

  // The table's entries (the lookup's raw-byte entries are not among them).
  const std::vector<TableEntry>& Entries() const {
    return m_entries;
  }
  // The key's bytes of an entry, and what decoding shows for it (line breaks
  // included).
  std::string_view Key(const TableEntry& e) const { return {m_text.data() + e.KeyAt, e.KeySize}; }
  std::string_view Shown(const TableEntry& e) const {
    return {m_text.data() + e.ShownAt, e.ShownSize};
  }
  const DecodeStyle& Style() const { return m_style; }
  std::size_t LongestKey() const { return m_longest; }
  std::size_t MostParams() const { return m_mostParams; }
  // Most bytes one item can show: an entry's text and its parameters raw.
  std::size_t LongestItem() const { return m_longestItem; }

  // The entry of the longest key equal to the bytes at `bytes`, of which
  // `available` may be read, or nullptr. (The lookup reads the first eight
  // of them at once when there are that many.)
  const TableEntry* Match(const std::uint8_t* bytes, std::size_t available) const;
  // The entry a lookup item stands for; nullptr for a byte shown raw.
  const TableEntry* EntryOf(const LookupItem& item) const;

  // The lookup as plain pointers, for a loop to keep in registers: the text
  // it writes could alias the table's members as far as the compiler knows.
  // It never answers nullptr: a byte without an entry gives a kRaw item.
  class Matcher;
  Matcher Lookup() const;

  // The buffer that Key, Shown and the items' ShownAt point into;
  // kShownSlack bytes follow its last text.
  const char* Data() const { return m_text.data(); }

  // The lookup's item for a byte shown raw (a control code's parameters).
  const LookupItem& RawItem(std::uint8_t byte) const { return m_rawItems[byte]; }

 private:
  // Pairs of first bytes by 64: which begin a key of two or more bytes, and
  // how many such pairs come before the word's first.
  struct PairWord {
    std::uint64_t Bits = 0;
    std::uint32_t Rank = 0;
  };
  struct Draft {
    std::string Key;
    std::string Shown;
    TokenKind Kind;
    std::uint8_t Params;
  };
  CompiledTable(const DecodeStyle& style, std::vector<Draft> drafts);
  LookupItem ItemOf(const TableEntry& e) const;

  DecodeStyle m_style;
  std::vector<char> m_text;  // every key and text, then kShownSlack spare bytes
  std::vector<TableEntry> m_entries;
  std::size_t m_longest = 0;
  std::size_t m_mostParams = 0;
  std::size_t m_longestItem = 0;
  std::vector<PairWord> m_pairs;     // 1024 words of 64 pairs
  std::vector<LookupItem> m_heads;   // by pair rank: the pair's longest key
  std::vector<LookupItem> m_rest;    // the pairs' other keys, grouped, longest first
  std::vector<LookupItem> m_single;  // by byte: its one-byte key, or the byte raw
  std::vector<LookupItem> m_rawItems;  // by byte: the byte raw
};

class CompiledTable::Matcher {
 public:
  const LookupItem* operator()(const std::uint8_t* bytes, std::size_t available) const {
    if (available >= 2) {
      const std::uint32_t pair = (std::uint32_t{bytes[0]} << 8) | bytes[1];
      const PairWord& word = m_pairs[pair >> 6];
      const std::uint64_t bit = std::uint64_t{1} << (pair & 63);
      // Most pairs begin no longer key; the bit answers those.
      if (word.Bits & bit) {
        const LookupItem* c = m_heads + word.Rank + CountBits(word.Bits & (bit - 1));
        if constexpr (std::endian::native == std::endian::little) {
          if (available >= 8) [[likely]]
            return Wide(c, bytes, available);
        }
        for (;;) {
          if (c->KeySize <= available && RestMatches(*c, bytes, 2)) return c;
          if (c->Next == 0) break;
          c = m_rest + (c->Next - 1);
        }
      }
    }
    return m_single + bytes[0];
  }

 private:
  friend class CompiledTable;
  // Bits set in `x`. The build targets no particular processor, where
  // std::popcount is a library call (the loop around it spills) or a long
  // chain of shifts on the way to every item; x86-64 processors have had the
  // one-cycle instruction since 2008, and the lookup asks once whether this
  // one has it (a branch that always goes the same way).
  std::uint32_t CountBits(std::uint64_t x) const {
#if defined(__POPCNT__)
    return static_cast<std::uint32_t>(std::popcount(x));
#else
#if defined(__x86_64__) && defined(__GNUC__)
    if (m_popcnt) {
      std::uint64_t n;
      asm("popcnt %1, %0" : "=r"(n) : "r"(x));
      return static_cast<std::uint32_t>(n);
    }
#endif
    x -= (x >> 1) & 0x5555555555555555;
    x = (x & 0x3333333333333333) + ((x >> 2) & 0x3333333333333333);
    x = (x + (x >> 4)) & 0x0F0F0F0F0F0F0F0F;
    return static_cast<std::uint32_t>((x * 0x0101010101010101) >> 56);
#endif
  }
  // The pair's keys from `c` on, with eight bytes at hand read at once: the
  // key's bytes after its pair are compared with those the item holds under
  // a mask, without a loop whose length changes from one key to the next
  // (whether a two- or a three-byte key comes next is not foreseeable in
  // text). Longer keys compare the rest.
  const LookupItem* Wide(const LookupItem* c, const std::uint8_t* bytes,
                         std::size_t available) const {
    std::uint64_t eight;
    std::memcpy(&eight, bytes, 8);
    const std::uint64_t after = eight >> 16;  // the bytes after the pair
    for (;;) {
      // The item's last eight bytes end with its Tail.
      std::uint64_t last;
      std::memcpy(&last, reinterpret_cast<const char*>(c) + sizeof(LookupItem) - 8, 8);
      const std::uint64_t tail = last >> (8 * (8 - LookupItem::kTail));
      const std::size_t size = c->KeySize;
      const std::size_t compared = std::min<std::size_t>(size - 2, LookupItem::kTail);
      const std::uint64_t mask = (std::uint64_t{1} << (8 * compared)) - 1;
      if (((after ^ tail) & mask) == 0 &&
          (size <= LookupItem::kTail + 2 ||
           (size <= available && RestMatches(*c, bytes, LookupItem::kTail + 2))))
        return c;
      if (c->Next == 0) return m_single + bytes[0];
      c = m_rest + (c->Next - 1);
    }
  }

  // Whether the key's bytes from `from` on are those at `bytes`; the key's
  // bytes stand right before its text in the buffer.
  bool RestMatches(const LookupItem& c, const std::uint8_t* bytes, std::size_t from) const {
    const std::size_t size = c.KeySize;
    const char* const key = m_text + c.ShownAt - size;
    return std::memcmp(key + from, bytes + from, size - from) == 0;
  }

  const PairWord* m_pairs;
  const LookupItem* m_heads;
  const LookupItem* m_rest;
  const LookupItem* m_single;
  const char* m_text;
  bool m_popcnt;
};

inline CompiledTable::Matcher CompiledTable::Lookup() const {
  Matcher m;
  m.m_pairs = m_pairs.data();
  m.m_heads = m_heads.data();
  m.m_rest = m_rest.data();
  m.m_single = m_single.data();
  m.m_text = m_text.data();
#if defined(__x86_64__) && defined(__GNUC__)
  m.m_popcnt = __builtin_cpu_supports("popcnt");
#else
  m.m_popcnt = false;
#endif
  return m;
}

}  // namespace romscriber
