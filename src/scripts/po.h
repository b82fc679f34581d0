// PO (gettext) script files, for Poedit, Weblate, OmegaT and the gettext
// tools.
//
//   msgid ""  msgstr "..."               a header entry: UTF-8, 8bit, and the
//                                        fields msgfmt --check-header asks for
//   #. offset 1F400, pointers 1F000 1F002
//   msgctxt "dialogue/0"                 the block and the string's id
//   msgid "Hola\n"                       the original, C escapes; a text with
//   "mundo"                              line breaks is split after each \n
//   msgstr ""                            the translation, empty after a dump
//
// A range block's comment has the offset only ("#. offset 2A010"). A string
// marked fuzzy is written and read with "#, fuzzy".
//
// An empty original cannot be a msgid (msgid "" is the header entry). A dump
// never gives one (every string holds at least one byte, and every byte shows
// as some text), so writing one is refused rather than dropped.
#pragma once

#include <string>
#include <string_view>

#include "scripts/script.h"

namespace romscriber {

// The whole PO file of a block. AppError kErrBadInput naming the block and
// the id for a string whose original is empty or holds a NUL character,
// which PO cannot carry.
std::string WritePo(const ScriptView& script);

// Reads the bytes of a PO file through libgettextpo, which reads only files:
// they are handed to it as an anonymous file in memory (memfd), never written
// to disk. `fileName` names the file in messages; the result's Block is
// `blockName` and each string's Line is the line of its msgid. Refuses, with
// AppError kErrBadInput and "FILE:LINE: ...": whatever gettext cannot read
// (with its own words), a file that is not UTF-8, an entry without msgctxt
// "<blockName>/<id>" or with another block, a bad or repeated id, plural
// forms, a missing or bad "#. offset ..." comment. Obsolete (#~) entries are
// passed over. AppError 75 when the file in memory cannot be made.
BlockScript ReadPo(std::string_view bytes, const std::string& fileName,
                   const std::string& blockName);

}  // namespace romscriber
