// Constant-time lookups over a Table, giving exactly what a first-match search
// of its lists in slot order gives: a code matches a run of bytes only when it
// equals their upper-case key text ("8A05" for the bytes 8A 05), so codes with
// lower-case letters or other characters never match, and of repeated codes
// the first row wins. The multi-byte lists are searched up to their first
// empty code; every single-byte slot is searched.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "table/table.h"

namespace romscriber {

// What a single-byte entry does to the script under way.
enum class EntryKind : std::uint8_t {
  kNone,       // no entry: the byte is printed in brackets
  kOrdinary,   // its text is appended
  kEnd,        // "/": ends the script (and the block)
  kLineBreak,  // "*": appends CR LF
  kPause,      // "&": ends the script, the block goes on
};

enum class EntryList { kTriple, kDouble, kSingle };

// Kind of a single-byte entry from its text.
EntryKind SingleEntryKind(const std::string& text);

// Byte value of a key text of `length` upper-case hex digits, or nothing.
std::optional<std::uint32_t> KeyValue(std::string_view code, std::size_t length);

class TableLookup {
 public:
  explicit TableLookup(const Table& table);

  // Row or slot (0-based) of the first entry whose code equals `key`, or
  // nothing; `key` is the upper-case key text of three, two or one bytes.
  std::optional<std::size_t> FindEntry(EntryList list, std::string_view key) const;

  // What two leading bytes can start, packed in one word:
  //   kRowMask      the row + 1 of their two-byte entry (0: none)
  //   kTriplePrefix some three-byte entry begins with them
  //   kTripleMany   more than one does; otherwise bits 16-23 hold the third
  //                 byte of the one that does
  static constexpr std::uint32_t kRowMask = 0x1FFF;
  static constexpr std::uint32_t kTripleMany = 0x2000;
  static constexpr std::uint32_t kTriplePrefix = 0x80000000;
  struct PairView {
    const std::uint64_t* Starts;
    const std::uint32_t* Words;
    std::uint32_t operator()(std::uint8_t b0, std::uint8_t b1) const {
      const std::uint32_t index = (std::uint32_t{b0} << 8) | b1;
      // Most pairs start nothing; a small bit set answers those from L1 cache.
      if (!(Starts[index >> 6] >> (index & 63) & 1)) return 0;
      return Words[index];
    }
  };
  // The pair words as plain pointers, for loops that keep them in registers.
  PairView Pairs() const { return {m_pairStarts.data(), m_pairs.data()}; }
  std::uint32_t Pair(std::uint8_t b0, std::uint8_t b1) const { return Pairs()(b0, b1); }
  // Whether a three-byte entry may begin with the pair and the byte `b2`.
  static bool MayBeTriple(std::uint32_t pair, std::uint8_t b2) {
    return (pair & kTriplePrefix) && ((pair & kTripleMany) || ((pair >> 16) & 0xFF) == b2);
  }

  // Row of the first three-byte entry for the bytes, or -1.
  int TripleRow(std::uint8_t b0, std::uint8_t b1, std::uint8_t b2) const;
  // Row of the first two-byte entry for the bytes, or -1.
  int DoubleRow(std::uint8_t b0, std::uint8_t b1) const { return (Pair(b0, b1) & kRowMask) - 1; }
  // Slot of the first single-byte entry for the byte, or -1.
  int SingleSlot(std::uint8_t b) const { return m_singleSlots[b]; }
  EntryKind SingleKind(std::uint8_t b) const { return m_singleKinds[b]; }

 private:
  std::array<EntryKind, kSingleSlots> m_singleKinds{};
  std::array<std::int16_t, kSingleSlots> m_singleSlots{};
  std::vector<std::uint32_t> m_pairs;              // by the value of two leading bytes
  std::array<std::uint64_t, 1024> m_pairStarts{};  // bit set: m_pairs entry is not 0
  std::vector<std::uint32_t> m_tripleKeys;         // open addressing, all ones when free
  std::vector<std::int16_t> m_tripleRows;
};

}  // namespace romscriber
