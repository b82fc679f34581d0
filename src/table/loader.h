// Reading Thingy table files (*.tbl) into a Table.
//
// The file is a sequence of lines ended by CR LF, read byte for byte. The
// first byte of a line decides its kind:
//   $ ( [ { > # ! @ &    directives, passed over ("(", "[", "{" and "&" search
//                        for their closing delimiters across line ends)
//   CR                   blank line
//   *C1[C2]              line-break marker for one or two byte codes
//   /C1[C2]              end-of-script marker for one or two byte codes
//   anything else        an entry: HH=text, HHHH=text or HHHHHH=text
// A line that is none of these (e.g. one that begins with a blank or has its
// "=" elsewhere) is passed over without effect.
//
// Tables saved elsewhere load too: a file with no CR byte at all is read as if
// each LF were CR LF, one with no LF at all as if each CR were CR LF, and a
// UTF-8 byte-order mark at the start is passed over.
// A last line without a line end keeps all of its bytes.
#pragma once

#include <filesystem>
#include <string_view>

#include "table/table.h"

namespace romscriber {

// Fills `table`, expected cleared, from the bytes of a table file. Throws
// AppError 9 at a 5001st two-byte or three-byte entry; everything stored
// before that line stays in `table`.
void LoadTable(std::string_view fileBytes, Table& table);

// Reads and loads a table file into a fresh table. File errors are AppErrors
// (53, 70, 75, 76); so is error 9 of a full list.
Table LoadTableFile(const std::filesystem::path& path);

}  // namespace romscriber
