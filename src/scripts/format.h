// One layer over the three kinds of script file, so that the dump, the
// insertion and the studio never choose among them by themselves.
//
//   FormatName / FormatByName   "atlas", "tsv", "po"
//   FormatExtension             ".txt", ".tsv", ".po"
//   FindBlockScript             the one script of a block in a folder
//   ReadScript                  a block's script from its bytes
//   ReadScriptFile              a block's script file, its format by its extension
//   ScriptContext               what writing a block's script needs
//   WriteBlockScript            a block's script files (Atlas: also its table)
#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "address/address_map.h"
#include "address/pointers.h"
#include "project/project.h"
#include "scripts/script.h"
#include "table/compiled.h"

namespace romscriber {

const char* FormatName(ScriptFormat format);
std::optional<ScriptFormat> FormatByName(std::string_view name);
// The extension of a format's script file, with its dot.
const char* FormatExtension(ScriptFormat format);

// The script of `block` in `folder`: <block>.tsv, <block>.po or <block>.txt.
// Nothing when there is none; AppError kErrBadInput when there is more than
// one (which one would be meant cannot be told).
std::optional<std::filesystem::path> FindBlockScript(const std::filesystem::path& folder,
                                                     const std::string& block);

// Reads the bytes of a block's script in `format`; `fileName` names it in
// messages.
BlockScript ReadScript(ScriptFormat format, std::string_view bytes, const std::string& fileName,
                       const std::string& block);

// Reads a block's script file, its format told by its extension. The
// strings carry what the file says of them (ids, offsets, pointer offsets,
// texts, the fuzzy mark) and the line each was read from. AppError
// kErrBadInput naming file and line for what a reader refuses; file errors
// as AppErrors (53, 70, 75, 76).
BlockScript ReadScriptFile(const std::filesystem::path& path, const std::string& block);

// What writing a block's script needs besides its strings.
struct ScriptContext {
  std::string Block;
  const CompiledTable* Table = nullptr;   // Atlas: its table copy and limits
  const AddressMap* Map = nullptr;        // Atlas: the strings' addresses
  std::optional<PointerFormat> Pointers;  // Atlas: the pointer writes; none in a range block
};

struct ScriptFile {
  std::string Name;  // a bare file name: "<block>.tsv"...
  std::string Text;
};

// The files of a block's script in `format`: one, or for Atlas the script
// and the table copy it names. AppError kErrBadInput for what a format
// cannot hold (PO: an empty original).
std::vector<ScriptFile> WriteBlockScript(ScriptFormat format, const ScriptContext& context,
                                         const std::vector<StringRecord>& strings);

}  // namespace romscriber
