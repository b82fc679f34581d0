// The strings of a project's blocks: one record per string, the same from
// the dump through the script files to the insertion.
//
//   PointerRef     a pointer that reaches a string: where it lies, its value
//   StringRecord   a string: where it lies, how many bytes it takes, the
//                  pointers that reach it, the end token that closes it, its
//                  original text and its translation
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace romscriber {

struct PointerRef {
  PointerRef() = default;
  PointerRef(std::int64_t offset, std::uint32_t value = 0) : Offset(offset), Value(value) {}

  std::int64_t Offset = 0;  // file offset of the pointer itself
  std::uint32_t Value = 0;  // its value in the ROM (0 where a script gave only its offset)

  friend bool operator==(const PointerRef& a, const PointerRef& b) { return a.Offset == b.Offset; }
};

struct StringRecord {
  int Id = 0;                        // counts from 0 in file-offset order within its block
  std::int64_t Offset = 0;           // file offset of the string
  std::int64_t Length = 0;           // bytes from Offset through its end token
  std::vector<PointerRef> Pointers;  // the pointers reaching it, by ascending offset
  int EndEntry = -1;     // the entry of the end token that closes it in its table, or -1
  std::string Original;  // UTF-8; a line break is '\n'
  std::string Translation;  // empty: none
  bool Fuzzy = false;       // marked fuzzy (PO), or carried over onto a changed original
  int Line = 0;             // where a script reader found it, from 1

  bool Ended() const { return EndEntry >= 0; }
};

}  // namespace romscriber
