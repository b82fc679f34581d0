// Turning a text back into the bytes that a dump reads as that text.
//
//   EncodeFailure   where a text cannot be given: its column and character
//   TextEncoder     indexes a compiled table once, then encodes any number of
//                   texts with the fewest bytes, as a string or appended to one
//   EncodeAll       many texts, the bytes one after the other, on every core
//   Encoders        one encoder per table, made when a text of it first needs one
//
// What the bytes must do. DecodeString over exactly the bytes (last position
// = size - 1, bound = size, end tokens stop) gives back the text. Decoding
// takes the longest key at each position, so with 41=A, 42=B and 4142=X the
// text "AB" may not become 41 42: that reads "X". Among all byte strings that
// read back as the text, the encoder gives one with the fewest bytes (not the
// one a greedy longest-text choice gives).
//
// What the text may hold:
//   - the text of any entry, line breaks included (a line break is the
//     style's LineBreak, a character like any other);
//   - RawLeft HH RawRight ("<$4A>", either case of the digits): byte HH read
//     raw, which only holds where no key matches the bytes from there on;
//     raw tokens are compared with their digits upper-cased, in the text and
//     in the entries' texts alike;
//   - a control code's text followed by exactly its parameter count of raw
//     tokens: its key and those bytes (fewer tokens only at the very end);
//   - an end token's text only at the very end. When the text ends with the
//     text of an end token, the bytes end with an end token (the string must
//     end there); otherwise they hold none.
//
// Ties. Among encodings of equal length the one chosen is, read item by item
// from the start, the one whose first differing item covers the longer
// stretch of text; between items that cover the same stretch, the entry
// listed first in the table, and raw bytes after every entry.
#pragma once

#include <cstddef>
#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "table/compiled.h"

namespace romscriber {

// A text that no byte string reads back as: where it stops being possible.
struct EncodeFailure {
  std::size_t Column = 0;  // in characters (UTF-8 sequences) from 1; a line break counts as one
  std::string Character;   // the character there, or the whole raw token when one begins there
  bool operator==(const EncodeFailure&) const = default;
};

class TextEncoder {
 public:
  // Indexes the entries' texts; `table` must outlive the encoder.
  explicit TextEncoder(const CompiledTable& table);

  // The bytes for `text` (see above), or where it fails. The failure names
  // the furthest character that a chain of items from the start reaches and
  // from which no valid encoding of the rest exists. Not for use from two
  // threads at once: the working memory is kept between calls.
  std::variant<std::string, EncodeFailure> Encode(std::string_view text);
  // The same, the bytes appended to `out` (left as it was on a failure).
  std::optional<EncodeFailure> EncodeAppend(std::string_view text, std::string& out);

 private:
  // One encoding of the text from a position to its end, as the first item
  // and the encoding of what follows it (Next). Prefix: the first bytes of
  // the encoding that a key before it could still combine with.
  struct State {
    std::uint64_t Head;      // the prefix's first bytes (up to 8), the others zero
    std::uint32_t Cost;      // bytes in all
    std::uint32_t Entry;     // the first item's entry, kRawItem or kEndOfText
    std::uint32_t TextSize;  // bytes of text the first item covers
    std::uint32_t Next;      // the state after the first item, in m_states
    std::uint32_t PrefixSize;
    std::uint32_t RestAt;  // the prefix's bytes past the eighth, in m_prefixes
  };
  // What the search needs of an entry, or of a raw byte, in one place.
  struct Record {
    std::uint64_t Key;    // the key's first 8 bytes
    std::uint64_t Head;   // kFixedPrefix: the prefix a state begun by the key alone keeps
    std::uint32_t Entry;  // kRawItem for a raw byte
    std::uint8_t KeySize;
    std::uint8_t Params;  // control codes: parameter bytes
    std::uint8_t Flags;
    std::uint8_t Kept;  // kFixedPrefix: that prefix's size
  };
  // The entries' texts and every prefix of them, in a hash table with open
  // addressing: finding the entries whose texts begin at a position probes
  // one slot per length, and as the slot of each length depends only on the
  // text, the probes of successive lengths overlap in memory rather than
  // waiting on one another as the steps down a tree would.
  struct Slot {
    std::uint64_t Word;     // up to 8 bytes: the bytes themselves; longer: their hash
    std::uint32_t Records;  // first entry whose text is exactly this, in m_records
    std::uint32_t Length;  // bytes (0: an empty slot), kHasLonger when longer texts begin so
  };
  // An item found at a position: an entry with its parameters, or a raw byte.
  struct Item {
    const Record* Of;
    std::uint32_t TextSize;
    std::uint32_t Params;  // parameter bytes given (control codes)
  };

  Record MakeRecord(std::uint32_t entry, std::string_view key, std::uint8_t params,
                    std::uint8_t flags) const;
  void BuildTextIndex();
  void BuildPrefixSets();
  std::size_t KeptPrefix(const std::uint8_t* bytes, std::size_t size) const;
  bool SamePrefix(const State& state, std::uint64_t head, std::size_t size,
                  const std::uint8_t* bytes) const;
  int RawTokenAt(std::size_t pos) const;
  template <class Visit>
  void ForEachItem(std::size_t pos, Visit&& visit) const;
  std::size_t ItemBytes(const Item& item, std::size_t pos, std::uint8_t* out) const;
  void SolvePosition(std::size_t pos, bool mustEnd);
  EncodeFailure Failure(std::string_view original) const;

  const CompiledTable& m_table;
  std::size_t m_window = 0;     // bytes a state keeps at most: the longest key less one
  std::size_t m_tokenSize = 0;  // size of one raw token
  std::vector<Slot> m_slots;            // a power of two of them
  std::vector<std::uint32_t> m_slotText;  // by slot, texts past 8 bytes: where in m_textPool
  std::string m_textPool;                 // the entries' texts, raw token digits upper-cased
  unsigned m_slotShift = 64;
  std::size_t m_longestText = 0;
  std::vector<Record> m_records;        // by slot: the entries whose text it is
  std::vector<Record> m_byEntry;        // by entry
  std::vector<Record> m_raw;            // by byte: the byte read raw
  std::vector<Record> m_silent;         // entries that show no text
  std::vector<std::string> m_endTexts;  // the end tokens' texts, raw digits upper-cased
  // Byte strings that occur in some key past its first byte: a state keeps
  // the longest prefix of its encoding that is one of them.
  std::vector<std::uint64_t> m_inKeys1;       // 256 bits
  std::vector<std::uint64_t> m_inKeys2;       // 65536 bits
  std::vector<std::uint64_t> m_inKeysLonger;  // hashes of longer ones, open addressing

  // Working memory of Encode.
  std::string m_text;  // the text with raw token digits upper-cased
  std::vector<State> m_states;
  std::vector<std::uint8_t> m_prefixes;
  std::vector<std::uint32_t> m_first;  // by position: its states begin in m_states
  std::vector<std::uint32_t> m_count;
  std::vector<State> m_pending;
  std::vector<std::uint8_t> m_bytes;
};

// The bytes of many texts, one after the other in the texts' order, up to
// the first text that cannot be given.
struct EncodedTexts {
  std::string Bytes;
  std::vector<std::size_t> Ends;  // where each text's bytes end in Bytes
  std::size_t Failed = 0;         // the first text that cannot be given, when Failure is set
  std::optional<EncodeFailure> Failure;
};

// Encodes `texts` through `encoder` as Encode does each of them. Long lists
// are cut into `runs` runs (0: one per core, for lists long enough to be
// worth it) that are encoded at once on copies of the encoder; the result
// is the same as one run's.
EncodedTexts EncodeAll(TextEncoder& encoder, std::span<const std::string_view> texts,
                       std::size_t runs = 0);

// One encoder per table, made when a text of it first needs one (indexing a
// table takes longer than encoding a text).
class Encoders {
 public:
  TextEncoder& Of(const CompiledTable& table) {
    auto it = m_encoders.find(&table);
    if (it == m_encoders.end()) it = m_encoders.emplace(&table, TextEncoder(table)).first;
    return it->second;
  }

 private:
  std::map<const CompiledTable*, TextEncoder> m_encoders;
};

}  // namespace romscriber
