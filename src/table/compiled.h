// The one compiled form of a table, built from a classic table or an extended
// one: keys of any length, each with the text it shows and what it does.
// Decoding asks for the longest key that matches the bytes at a position.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "table/extended_loader.h"
#include "table/table.h"

namespace romscriber {

enum class TokenKind : std::uint8_t {
  kText,       // its text is shown
  kLineBreak,  // its text, then a line break (both are in Shown)
  kEnd,        // its text, then the script or string ends
  kPause,      // classic "&": the script ends, a block goes on
  kControl,    // its text, then Params bytes shown raw
};

struct TableEntry {
  std::string Key;    // the key's bytes
  std::string Shown;  // what decoding shows for it, line breaks included
  TokenKind Kind = TokenKind::kText;
  std::uint8_t Params = 0;
};

// How a decode shows what the table does not say.
struct DecodeStyle {
  std::string RawLeft = "<$";  // a byte without an entry: RawLeft, two hex digits, RawRight
  std::string RawRight = ">";
  std::string LineBreak = "\r\n";
  // Classic tables only: end and pause entries show [END] and [WAIT] in the
  // raw brackets (range dumps), or their own bytes raw with the pause ending
  // nothing (project dumps).
  bool ClassicMarkers = true;
};

class CompiledTable {
 public:
  // Classic rules: the first row wins among repeated two- and three-byte
  // codes, only upper-case codes match, single-byte "/", "*" and "&" are the
  // end, line-break and pause entries.
  static CompiledTable FromClassic(const Table& table, const DecodeStyle& style);
  // Extended rules: an empty text shows the key's bytes raw; "\n" in a text
  // is a line break.
  static CompiledTable FromExtended(const ExtendedTable& table, const DecodeStyle& style);

  const std::vector<TableEntry>& Entries() const { return m_entries; }
  const DecodeStyle& Style() const { return m_style; }
  std::size_t LongestKey() const { return m_longest; }

  // The entry of the longest key equal to the bytes at `bytes` (of which
  // `available` may be read), or nullptr.
  const TableEntry* Match(const std::uint8_t* bytes, std::size_t available) const;

  // How a byte without an entry shows ("<$4A>").
  std::string_view Raw(std::uint8_t byte) const { return m_raw[byte]; }

 private:
  explicit CompiledTable(const DecodeStyle& style);
  void Add(TableEntry entry);  // a key already present keeps its first entry
  void Build();

  DecodeStyle m_style;
  std::vector<TableEntry> m_entries;
  std::array<std::string, 256> m_raw;
  std::size_t m_longest = 0;
  // Lookup layout, built once.
  std::array<std::int32_t, 256> m_single{};       // entry index + 1 of each one-byte key
  std::vector<std::uint32_t> m_pairFirst;         // by two leading bytes: first candidate + 1
  std::vector<std::uint32_t> m_longer;            // candidates of 2+ bytes, longest first
  std::vector<std::uint32_t> m_longerEnd;         // per pair: one past its last candidate
};

}  // namespace romscriber
