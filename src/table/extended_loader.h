// Reading tables in the extended dialect that most tables in the wild use.
//
//   byte-order mark   EF BB BF UTF-8, FF FE UTF-16LE, FE FF UTF-16BE; without
//                     one, the encoding named by the user (UTF-8 by default)
//   line ends         LF, CR LF or a lone CR; the last line needs none
//   empty, #, ;, //   nothing, comments
//   HEX=text          an entry; HEX is 2 to 64 hex digits (even), either case
//   /HEX[=text]       an end token
//   *HEX[=text]       a line-break token
//   $HEX=label,N      a control code with N parameter bytes, or
//   $HEX=label,a,b    with one parameter byte per name
//   /text             an end text of no bytes: ignored
// Any other line is reported with its number and passed over. A key defined
// twice keeps its first definition; the later one is reported. In texts, the
// two characters \n stand for a line break.
#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include "base/app_error.h"
#include "table/entries.h"

namespace romscriber {

// Whether iconv knows `name` (any letter case; shift_jis, shift-jis and sjis
// stand for CP932, utf-16 without a mark is little-endian; empty is UTF-8).
// Only plain names: letters, digits and - _ . : + (no "//IGNORE" options).
bool IsKnownEncoding(std::string_view name);

// Loads the bytes of a table file. `encoding` is empty for UTF-8; a
// byte-order mark wins over it. `fileName` names the file in messages.
// AppError kErrBadInput, naming the line, when the bytes are not valid in the
// encoding (UTF-8 is checked strictly: no overlong forms, no surrogates,
// nothing above U+10FFFF); kErrBadSetting for an unknown encoding. `warn`
// may be empty.
EntryList LoadExtendedTable(std::string_view fileBytes, std::string_view encoding,
                                const std::string& fileName, const Warn& warn);

// Reads and loads a table file, named in messages by its file name. An
// unknown encoding is refused before the file is read; file errors are
// AppErrors (53, 70, 75, 76).
EntryList LoadExtendedTableFile(const std::filesystem::path& path, std::string_view encoding,
                                    const Warn& warn);

}  // namespace romscriber
