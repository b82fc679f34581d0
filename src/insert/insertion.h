// Insertion: the texts of a project's strings go back into a copy of its
// ROM, every pointer fixed.
//
//   EncodeCache     the bytes each string's text was last encoded into, so
//                   that a text not changed since is not encoded again
//   InsertBlock     one block to insert: its settings, table and strings
//   InsertStrings   texts encoded, laid out in each block's space, pointers
//                   rewritten: the new ROM and a report per block, or every
//                   refusal
//   BlockSpace      the pieces of a pointer block's space
//
// What a string inserts: its translation when it has one that differs from
// its original and is not marked fuzzy; otherwise its original, as its own
// bytes. When the original ended with an end token and the translation does
// not end with that token's text, the token is appended (a warning says so).
//
// A pointer block's space is the bytes its original strings occupied, then
// its free regions in the order listed; pieces that touch in the file are one
// piece. Strings go in order of their original offset, each whole into the
// first piece with room left; an unchanged string keeps its original bytes,
// and an unchanged string that lies inside another unchanged one keeps
// sharing its bytes. So unchanged strings give back the original ROM, byte
// for byte.
//
// A range block's strings never move (nothing points to them): each is
// written at its own offset and must fit in the bytes its original took;
// the rest of those bytes keep their values, and its free regions are not
// used.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "address/address_map.h"
#include "insert/encoder.h"
#include "project/project.h"
#include "project/strings.h"
#include "table/compiled.h"

namespace romscriber {

// What a string's text was last encoded into, by block and string.
class EncodeCache {
 public:
  struct Encoding {
    std::string Text;  // the text as encoded (with any end token appended)
    std::string Bytes;
    std::optional<EncodeFailure> Failure;
  };

  // The encoding of string `index` of block `block` when it was made from
  // `text`; nothing otherwise.
  const Encoding* Find(std::size_t block, std::size_t index, std::string_view text) const;
  // Keeps `encoding` as string `index` of block `block`'s; gives it back.
  const Encoding& Store(std::size_t block, std::size_t index, Encoding encoding);

 private:
  std::vector<std::vector<std::optional<Encoding>>> m_blocks;
};

// Whether a string whose translation is `translation` inserts it (see
// above), rather than its original bytes.
bool InsertsTranslation(const StringRecord& s, std::string_view translation);
// The text of the end token an insertion appends to `translation`, or
// nothing: the original ended with it and the translation does not.
std::string_view MissingEnd(const StringRecord& s, std::string_view translation,
                            const CompiledTable& table);

// The text a string inserts (see above), and whether it changed.
struct TextToInsert {
  std::string Text;
  bool Changed = false;
  bool EndAppended = false;  // the end token was appended to the translation
};
TextToInsert TextOf(const StringRecord& s, std::string_view translation, const CompiledTable& table);
inline TextToInsert TextOf(const StringRecord& s, const CompiledTable& table) {
  return TextOf(s, s.Translation, table);
}

struct InsertBlock {
  const ProjectBlock* Settings = nullptr;
  const CompiledTable* Table = nullptr;
  std::span<const StringRecord> Strings;  // the block's strings, by offset
  std::string ScriptFile;                 // where their texts were read, for messages; may be empty
};

struct BlockReport {
  std::string Name;
  std::int64_t Changed = 0;          // strings whose text changed
  std::int64_t Fuzzy = 0;            // strings marked fuzzy, kept as they were
  std::int64_t Used = 0;             // bytes the strings take
  std::int64_t Available = 0;        // bytes of the block's space
  std::int64_t PointersRewritten = 0;
  std::vector<std::string> Warnings;  // Spanish, one sentence each
  // By string: where its bytes are in the new ROM, and how many.
  std::vector<std::int64_t> NewOffsets;
  std::vector<std::int64_t> NewSizes;
};

// Why an insertion cannot be made: about a block (Id -1) or one string.
struct Refusal {
  std::string Block;
  int Id = -1;
  int Number = 0;    // kErrCannotEncode, kErrNoRoom or kErrBadInput
  std::string Text;  // a Spanish sentence naming block and string
};

struct InsertOutcome {
  std::vector<std::uint8_t> Rom;  // the new ROM; empty when refused
  std::vector<BlockReport> Blocks;
  std::vector<Refusal> Refusals;  // all of them; nothing is inserted when there is any
};

// Inserts the blocks' strings into a copy of `rom`. Texts found in `cache`
// (when given) are not encoded again; those encoded are stored there. Refused, with every
// reason: texts no entry gives (block, id, column, character), range-block
// strings longer than their original's bytes, pointer blocks whose strings
// do not fit (bytes needed and available), 2-byte pointers whose string
// would leave their bank. Encoding failures stop before the layout.
InsertOutcome InsertStrings(std::span<const std::uint8_t> rom, const AddressMap& map,
                            std::span<const InsertBlock> blocks, EncodeCache* cache = nullptr);

// The refusals as one message: each on a line of its own, those of room
// under one heading with the advice at the end.
std::string DescribeRefusals(const std::vector<Refusal>& refusals);

// The warning, once per range block that has free regions, that they are
// not used: nothing points into a range block, so its strings never move.
std::string RangeFreeIgnored(const ProjectBlock& block);

// A piece of a block's space, filled from its start.
struct Piece {
  std::int64_t Start;
  std::int64_t End;  // inclusive
  std::int64_t Cursor;
};

// A pointer block's space: its strings' bytes, merged where they touch, then
// its free regions in the order listed.
std::vector<Piece> BlockSpace(std::span<const StringRecord> strings,
                              const std::vector<Region>& free);

// For each string, the earlier string it lies inside when both stand
// unchanged (it keeps sharing its bytes), or -1.
std::vector<int> Containers(std::span<const StringRecord> strings,
                            const std::vector<bool>& unchanged);

// Places strings of the given sizes, in order, each whole into the first
// piece with room left (strings with a container are skipped: they go with
// it). The offset of each, or -1 where no piece had room.
std::vector<std::int64_t> FirstFit(std::vector<Piece> pieces, std::span<const std::int64_t> sizes,
                                   const std::vector<int>& containers);

}  // namespace romscriber
