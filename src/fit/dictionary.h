// A dictionary for a table (DTE, MTE): one-byte codes that stand for pieces
// of text the table's one-byte entries spell, chosen so that a list of texts
// takes the fewest bytes under the encoder's fewest-bytes encoding.
//
//   DictionaryOptions   the codes offered and the longest piece
//   DictionaryEntry     a code, the text it stands for, and that text's bytes
//                       in the table (what the game's routine reads)
//   ChooseDictionary    the entries for a list of texts through a table, the
//                       bytes of each text before and after, checked
//   EnlargedTable       the table with the entries added
//   TableLines          the entries as lines of an extended table
//   DictionaryData      the entries' bytes, a fixed-length slot per code
//   MarkRawBytes        the bytes that stand raw in one text's bytes
//
// What an entry may be. Its text is that of 2 to MaxLength one-byte entries
// of the table, one after another, each an ordinary entry (not a line-break
// token, control code or end token) whose text holds no line break; so no
// entry spans a line break, control code, raw byte or end token. Its length
// is counted in those one-byte entries: its bytes fill one slot of the data.
// A code is not used when a key of the table begins with it, or when it
// stands raw in the texts (or in `alsoRaw`): decoding would read those bytes
// as the entry.
//
// How they are chosen. Every piece of 2 to MaxLength one-byte entries that
// occurs in the texts is a candidate, scored by the bytes it saves: the
// fewest bytes of every text it occurs in, as a shortest path through the
// items of the table and of the entries chosen so far (fit/item_graph.h),
// without it and with it. The candidate that saves most is taken, and so on
// until the codes run out or nothing saves a byte. Scores are kept from one
// round to the next and a candidate is scored again when it comes to the
// top (a piece mostly saves less once others are taken); as one may also
// save more (it no longer breaks a longer entry of the table, say), those
// that could matter are all scored again every 32 rounds and before giving
// up. Then each entry in turn is taken out and the choice made again, the
// pieces around it scored anew: a piece that saves more takes its place.
// Scoring a candidate walks only the stretch of each text from its first
// occurrence to its last, from the shortest paths to and from every place
// of the text; long lists of candidates are scored on every core. The bytes
// given before and after are the encoder's own, and every text decodes back
// from them.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "discover/search_control.h"
#include "insert/encoder.h"
#include "table/compiled.h"

namespace romscriber {

// The codes of a list such as "80-BF" or "80-8F,A0" (hex, either case,
// ranges and single codes separated by commas), ascending and each once;
// nothing when it is not written so.
std::optional<std::vector<std::uint8_t>> ParseCodeList(std::string_view text);

struct DictionaryOptions {
  std::vector<std::uint8_t> Codes;  // the codes offered, ascending, each once
  int MaxLength = 2;                // one-byte entries an entry may spell, 2 to kMaxDictionaryLength
};

inline constexpr int kMaxDictionaryLength = 16;

struct DictionaryEntry {
  std::uint8_t Code = 0;
  std::string Text;   // as the table shows it
  std::string Bytes;  // the keys of the one-byte entries that spell it
  bool operator==(const DictionaryEntry&) const = default;
};

struct DictionaryResult {
  std::vector<DictionaryEntry> Entries;  // by code; the first chosen takes the lowest code
  std::vector<std::uint8_t> Taken;       // codes offered that a key begins with
  std::vector<std::uint8_t> Raw;         // codes offered that stand raw in the texts
  // By text, the encoder's bytes through the table and through the enlarged
  // table; empty when a text cannot be encoded.
  std::vector<std::int64_t> Before;
  std::vector<std::int64_t> After;
  // The bytes after in all as the shortest paths gave them while choosing:
  // the encoder's when no key begins another (see fit/item_graph.h).
  std::int64_t PathAfter = 0;
  // The first text that cannot be encoded through the table, and where;
  // nothing is chosen then.
  std::optional<std::pair<std::size_t, EncodeFailure>> Failure;
  bool Stopped = false;  // stopped on request: the entries chosen so far
};

// Chooses the entries for `texts` (as insertion encodes them) through
// `table`. `alsoRaw`: bytes that stand raw elsewhere (strings that keep
// their bytes), whose codes are not used either. AppError kErrBadSetting for
// options out of range; kErrCannotEncode when a text does not decode back
// through the enlarged table (which would be a fault of this code).
DictionaryResult ChooseDictionary(const CompiledTable& table,
                                  std::span<const std::string_view> texts,
                                  const DictionaryOptions& options,
                                  const SearchControl& control = {},
                                  std::span<const std::uint8_t> alsoRaw = {});

// Sets raw[b] for each byte b that reads raw when `bytes`, the bytes of one
// text, are read through `table` from their start (a control code's
// parameters are its own, not raw). `raw` has 256 places. One text at a
// time: a key read across the end of one text into the next would hide a
// raw byte.
void MarkRawBytes(const CompiledTable& table, std::string_view bytes, std::vector<bool>& raw);

// The table's entries with the dictionary's after them, compiled in the
// table's style (a classic table's end and pause entries shown as their
// own bytes, as project dumps show them).
CompiledTable EnlargedTable(const CompiledTable& table, std::span<const DictionaryEntry> entries);

// "80=e \n" for each entry, by code: lines of an extended table (a classic
// table reads them too), the texts as the table gives them.
std::string TableLines(std::span<const DictionaryEntry> entries);

// The dictionary as the game's routine reads it: a slot of `maxLength`
// bytes for every code from `first` to `last`, in order; an entry's bytes
// at the start of its code's slot, the rest of each slot `pad`.
std::string DictionaryData(std::span<const DictionaryEntry> entries, std::uint8_t first,
                           std::uint8_t last, int maxLength, std::uint8_t pad);

}  // namespace romscriber
