// A dictionary for a project's table, over the texts its blocks would
// insert: what romscriber-dict and the studio's dictionary dialog run. The
// studio calls it off its interface thread with a copy of its session.
//
//   DictionaryRequest        the table, the blocks, the codes and longest piece
//   BlockDictionaryBytes     a block's texts counted and their bytes before
//                            and after
//   ProjectDictionary        the entries and the bytes, per block and in all
//   BuildProjectDictionary   the choice over a session's strings
//
// The texts counted are those an insertion encodes: translations that
// differ from their originals and are not marked fuzzy, with the end token
// an insertion appends (insert/insertion.h, TextOf). A string that keeps its
// bytes counts nothing, but a byte that stands raw in it (or in any text of
// another block through the table) keeps its code out of the dictionary:
// the game would read it as the entry.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "discover/search_control.h"
#include "fit/dictionary.h"
#include "session/session.h"

namespace romscriber {

struct DictionaryRequest {
  std::string Table;                // the name of one of the project's tables
  std::vector<std::string> Blocks;  // blocks through that table; none: every one
  DictionaryOptions Options;
};

struct BlockDictionaryBytes {
  std::string Block;
  std::int64_t Texts = 0;   // texts counted
  std::int64_t Before = 0;  // their bytes through the table as it is
  std::int64_t After = 0;   // through the table with the dictionary
};

struct ProjectDictionary {
  std::vector<DictionaryEntry> Entries;      // by code
  std::vector<BlockDictionaryBytes> Blocks;  // in the request's order (the project's without one)
  std::int64_t Texts = 0;
  std::int64_t Before = 0;
  std::int64_t After = 0;
  std::vector<std::uint8_t> Taken;  // codes offered that a key of the table begins with
  std::vector<std::uint8_t> Raw;    // codes offered that stand raw in the strings
  bool Stopped = false;             // stopped on request: the entries chosen so far
};

// Chooses the dictionary for `request` over `session`'s strings as they
// stand. AppError kErrBadSetting for a table or block the project does not
// have, a block through another table, or options out of range;
// kErrCannotEncode naming block, string, column and character when a text
// counted cannot be encoded through the table.
ProjectDictionary BuildProjectDictionary(const Session& session, const DictionaryRequest& request,
                                         const SearchControl& control = {});

}  // namespace romscriber
