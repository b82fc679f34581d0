// TSV script files: one row per string, for spreadsheets and for scripts of
// the translator's own.
//
//   id<TAB>pointers<TAB>offset<TAB>original<TAB>translation     the header line
//   0<TAB>1F000,1F002<TAB>1F400<TAB>Hola\nmundo<TAB>           one row per string
//
// `pointers` are upper-case hex without prefix or padding, comma-separated
// (empty in a range block); `offset` is written alike. In the two texts a
// backslash is written \\, a tab \t and a line break \n; there is no other
// escape. UTF-8 without byte-order mark, LF line ends, a line end after the
// last line.
//
// The reader also takes CR LF line ends, a last line without its line end
// and a UTF-8 byte-order mark, which spreadsheets add, and passes over blank
// lines. It refuses, naming file and line: another header, a row of another
// number of columns, an id that is not a decimal number or comes twice, hex
// that is not hex, an unknown escape, bytes that are not UTF-8.
#pragma once

#include <string>
#include <string_view>

#include "scripts/script.h"

namespace romscriber {

// Appends `text` as a TSV field holds it: \\ for a backslash, \t for a
// tab, \n for a line break.
void AppendTsvEscaped(std::string& out, std::string_view text);

// The whole TSV file of a block.
std::string WriteTsv(const ScriptView& script);

// Reads a TSV file. `fileName` names the file in messages; the result's
// Block is `blockName` and each string's Line is its row's line.
BlockScript ReadTsv(std::string_view bytes, const std::string& fileName,
                    const std::string& blockName);

}  // namespace romscriber
