// The one compiled form of a table, built from a classic table or an extended
// one: keys of any length, each with the text it shows and what it does.
//
//   TokenKind / TableEntry   what a key stands for, once compiled
//   DecodeStyle              how raw bytes, line breaks and classic markers show
//   CompiledTable            the entries, and the longest match at a position
//
// Keys and texts live in one buffer owned by the table, with slack after the
// last text so that a decoder may copy a short text with one fixed-size copy.
#pragma once

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "table/extended_loader.h"
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

// Bytes a decoder may copy past the end of any shown text or raw byte text.
inline constexpr std::size_t kShownSlack = 16;

// Each byte of `bytes` as the style shows a byte without an entry.
std::string RawText(const DecodeStyle& style, std::string_view bytes);

class CompiledTable {
 public:
  // Classic rules: the first row wins among repeated two- and three-byte
  // codes, the first slot among single-byte ones; only upper-case codes
  // match; single-byte "/", "*" and "&" are the end, line-break and pause
  // entries.
  static CompiledTable FromClassic(const Table& table, const DecodeStyle& style);
  // Extended rules: an empty text shows the key's bytes raw; '\n' in a text
  // is a line break. Entries come first-definition-only from the loader.
  static CompiledTable FromExtended(const ExtendedTable& table, const DecodeStyle& style);

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
  // `available` may be read, or nullptr.
  const TableEntry* Match(const std::uint8_t* bytes, std::size_t available) const;

  // The lookup as plain pointers, for a loop to keep in registers: the text
  // it writes could alias the table's members as far as the compiler knows.
  // It never answers nullptr: a byte without an entry gives a kRaw entry.
  class Matcher;
  Matcher Lookup() const;

  // The buffer that Key and Shown point into; kShownSlack bytes follow its
  // last text.
  const char* Data() const { return m_text.data(); }

  // How a byte without an entry shows ("<$4A>").
  std::string_view Raw(std::uint8_t byte) const { return m_raw[byte]; }
  // The lookup's entry for a byte shown raw.
  const TableEntry& RawEntry(std::uint8_t byte) const { return m_rawEntries[byte]; }

 private:
  // A key of two or more bytes among those that begin with the same pair:
  // its size, whether it is the pair's last, and the bytes after the pair
  // (those that fit; a longer key's rest is compared in the buffer).
  static constexpr std::uint8_t kSizeMask = 0x7F;
  static constexpr std::uint8_t kLastOfPair = 0x80;
  static constexpr std::size_t kTailInline = 10;
  static constexpr std::uint32_t kPairIsEntry = 0x80000000;
  struct Candidate {
    std::uint32_t Entry;
    std::uint8_t KeySize;
    std::uint8_t Tail[kTailInline + 1];
  };
  struct Draft {
    std::string Key;
    std::string Shown;
    TokenKind Kind;
    std::uint8_t Params;
  };
  CompiledTable(const DecodeStyle& style, std::vector<Draft> drafts);

  DecodeStyle m_style;
  std::vector<char> m_text;  // every key and text, then kShownSlack spare bytes
  std::vector<TableEntry> m_entries;
  std::array<std::string_view, 256> m_raw;
  std::size_t m_longest = 0;
  std::size_t m_mostParams = 0;
  std::size_t m_longestItem = 0;
  std::vector<TableEntry> m_rawEntries;  // 256, one per byte, for the lookup
  std::array<const TableEntry*, 256> m_single;  // entry of each one-byte key, or a raw one
  std::array<std::uint64_t, 1024> m_pairBits{};  // pairs that begin a longer key
  std::vector<std::uint32_t> m_pairFirst;  // by pair: its first candidate, or kPairIsEntry | entry
  std::vector<Candidate> m_candidates;           // grouped by pair, longest first
};

class CompiledTable::Matcher {
 public:
  const TableEntry* operator()(const std::uint8_t* bytes, std::size_t available) const {
    if (available >= 2) {
      const std::uint32_t pair = (std::uint32_t{bytes[0]} << 8) | bytes[1];
      // Most pairs begin no longer key; a small bit set answers those.
      if (m_pairBits[pair >> 6] >> (pair & 63) & 1) {
        const std::uint32_t first = m_pairFirst[pair];
        // A pair that is itself the only key it begins names its entry.
        if (first & kPairIsEntry) return m_entries + (first & ~kPairIsEntry);
        for (const Candidate* c = m_candidates + first;; ++c) {
          const std::size_t size = c->KeySize & kSizeMask;
          if (size <= available && TailMatches(*c, bytes, size)) return m_entries + c->Entry;
          if (c->KeySize & kLastOfPair) break;
        }
      }
    }
    return m_single[bytes[0]];
  }

 private:
  friend class CompiledTable;
  bool TailMatches(const Candidate& c, const std::uint8_t* bytes, std::size_t size) const {
    const std::size_t inlined = std::min(size - 2, kTailInline);
    for (std::size_t i = 0; i < inlined; ++i)
      if (c.Tail[i] != bytes[2 + i]) return false;
    if (size - 2 <= kTailInline) return true;
    const char* key = m_text + m_entries[c.Entry].KeyAt;
    return std::char_traits<char>::compare(key + 2 + kTailInline,
                                           reinterpret_cast<const char*>(bytes) + 2 + kTailInline,
                                           size - 2 - kTailInline) == 0;
  }

  const std::uint64_t* m_pairBits;
  const std::uint32_t* m_pairFirst;
  const Candidate* m_candidates;
  const TableEntry* m_entries;
  const TableEntry* const* m_single;
  const char* m_text;
};

inline const TableEntry* CompiledTable::Match(const std::uint8_t* bytes,
                                             std::size_t available) const {
  const TableEntry* e = Lookup()(bytes, available);
  return e->Kind == TokenKind::kRaw ? nullptr : e;
}

inline CompiledTable::Matcher CompiledTable::Lookup() const {
  Matcher m;
  m.m_pairBits = m_pairBits.data();
  m.m_pairFirst = m_pairFirst.data();
  m.m_candidates = m_candidates.data();
  m.m_entries = m_entries.data();
  m.m_single = m_single.data();
  m.m_text = m_text.data();
  return m;
}

}  // namespace romscriber
