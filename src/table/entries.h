// The one model of a loaded table: a list of entries, whichever loader made
// it. The compiled lookup (table/compiled.h) and the encoder's index are
// built from it; nothing after that reads the classic lists of table.h,
// which stay the range window's own model.
//
//   EntryKind          what a key stands for
//   Entry              one key: its bytes, its text, its kind, its parameter
//                      count, the line that defined it
//   EntryList          the entries in the order that decides between equal
//                      keys (the first one wins), and whether they are classic
//   EntriesOfClassic   a classic table's lists, the classic rules applied
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "table/table.h"

namespace romscriber {

enum class EntryKind : std::uint8_t {
  kText,       // its text
  kEnd,        // its text, then the string ends
  kLineBreak,  // its text, then a line break
  kControl,    // its text, then Params parameter bytes shown raw
  kPause,      // classic "&": a range dump's script ends, a block goes on
};

struct Entry {
  std::string Key;   // the key's bytes
  std::string Text;  // extended tables: UTF-8, a line break is '\n'; classic: bytes as written
  EntryKind Kind = EntryKind::kText;
  int Params = 0;  // control codes: parameter bytes after the key
  int Line = 0;    // line number in the table file, from 1; 0 when not known (classic)

  friend bool operator==(const Entry&, const Entry&) = default;
};

struct EntryList {
  std::vector<Entry> Entries;  // one per key, first definitions, in table order
  // Made from a classic table: texts are shown as written (no '\n' line
  // breaks), and a range dump shows end and pause entries as its markers.
  bool Classic = false;
};

// A classic table's entries under the classic rules: only upper-case codes
// of exactly two, four or six hex digits match; the first row wins among
// repeated two- and three-byte codes and the first slot among single-byte
// ones; single-byte texts "/", "*" and "&" are the end, line-break and pause
// entries (their texts empty). Three-byte keys come first, then two-byte,
// then one-byte ones.
EntryList EntriesOfClassic(const Table& table);

}  // namespace romscriber
