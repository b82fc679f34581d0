// The strings of one block as the translator sees them, and the script files
// that carry them: TSV, PO (gettext) and Atlas.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace romscriber {

enum class ScriptFormat { kAtlas, kTsv, kPo };

struct ScriptString {
  int Id = 0;                          // counts from 0 in file-offset order
  std::vector<std::int64_t> Pointers;  // file offsets of the pointers reaching it, ascending
  std::int64_t Offset = 0;             // file offset of the string
  std::string Original;                // UTF-8; a line break is '\n'
  std::string Translation;             // empty: none
  bool Fuzzy = false;                  // PO entries marked fuzzy
  int Line = 0;                        // where a reader found it, from 1
};

struct BlockScript {
  std::string Block;
  std::vector<ScriptString> Strings;
  std::string File;  // the file a reader read it from, as messages name it
};


}  // namespace romscriber
