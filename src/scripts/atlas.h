// Atlas script files: scripts that Atlas 1.11 (Klarth's script inserter)
// inserts, and that romscriber reads back.
//
// The table copy (<block>.atlas.tbl) is UTF-8 with LF line ends, one
// "HEX=text" line per entry and "/HEX=text" per end token, no comments.
// Atlas drops the line ends of a script's text, so an entry's text there is
// its dump text without line breaks: a line-break entry "*FE=<br>" becomes
// "FE=<br>", and the script breaks its line after "<br>". An entry whose text
// is nothing but line breaks cannot be written for Atlas. Where several keys
// show the same text Atlas takes the first line, so shorter keys come first.
//
// The script, per string:
//   #JMP($1F400)  // texto 0          where the string goes; its id
//   #W16($1F000)                      a write of each of its pointers: #W16,
//   #WRITE(P1, $1F002)                #W24, #W32, or a pointer of #CREATEPTR
//   // Hola<br>                       the original, one "// " line per line
//   // mundo
//   Hello<br>                         the text to insert: the translation, or
//   world                             the original while there is none
// At the top: comments on how to use it and on what Atlas cannot do with it,
// the table (#VAR, #ADDTBL, #ACTIVETBL), #HDR, #SMA, #ENDIANSWAP and the
// #CREATEPTR pointers, one per pointer type, size and offsetting needed.
//
// Text lines that Atlas would not read as text (one starting with '#' or
// "//", or only of spaces and tabs), and lines starting with '\', are written
// after a '\' that the reader removes; Atlas would insert it, so the top
// comment names those strings and says that the script is for
// romscriber-insert only, as it does for what the table cannot give.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "address/address_map.h"
#include "address/pointers.h"
#include "scripts/script.h"
#include "table/compiled.h"

namespace romscriber {

// The block's table in the form Atlas reads.
std::string WriteAtlasTable(const CompiledTable& table);

// What of the table Atlas cannot insert, one Spanish sentence each (entries
// that show only line breaks, entries that only line breaks tell apart).
std::vector<std::string> AtlasTableLimits(const CompiledTable& table);

struct AtlasBlock {
  std::string TableFile;  // the table copy, as #ADDTBL names it: "<block>.atlas.tbl"
  AddressMap Map;         // the project's, for the strings' addresses
  std::optional<PointerFormat> Pointers;  // nothing in a range block
  std::vector<std::string> TableLimits;   // AtlasTableLimits of the block's table
};

// The whole Atlas script of a block. AppError kErrBadSetting when a string
// has pointers and the block no pointer format.
std::string WriteAtlas(const ScriptView& script, const AtlasBlock& block);

// Reads a script written by WriteAtlas and edited by hand. Each string's
// Offset comes from its #JMP, Pointers from its pointer writes, Original from
// the comment lines under them, Translation from the text lines after those
// (empty when it equals the original); its id from the "// texto N" after the
// #JMP, else its place in the file. The translator's own "//" comments among
// the text lines are passed over, as Atlas does. AppError kErrBadInput with
// "FILE:LINE: ..." for text before the first #JMP, a command that is not a
// pointer write after one, a bad number, a pointer not made by #CREATEPTR, a
// repeated id, bytes that are not UTF-8.
BlockScript ReadAtlas(std::string_view bytes, const std::string& fileName,
                      const std::string& blockName);

}  // namespace romscriber
