// A project opened for work, and the strings of its blocks.
//
//   OpenedProject     the project file, its ROM in memory, its address map and
//                     its tables compiled for project dumps
//   DumpBlock         one block's strings: where each lies, how many bytes it
//                     takes, the pointers that reach it, its text
//   CheckFreeRegions  free regions must not overlap any block's strings
//   ScriptOf          the strings as a script for the translator
#pragma once

#include <cstdint>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "address/address_map.h"
#include "address/pointers.h"
#include "project/project.h"
#include "scripts/script.h"
#include "table/compiled.h"
#include "table/extended_loader.h"

namespace romscriber {

// How project dumps show what tables do not say: raw bytes as <$HH>, line
// breaks as LF, classic end and pause entries as their own bytes.
DecodeStyle ProjectStyle();

struct OpenedProject {
  Project Settings;
  std::vector<std::uint8_t> Rom;
  AddressMap Map;
  std::map<std::string, CompiledTable> Tables;  // by name

  const CompiledTable& TableOf(const ProjectBlock& block) const;
};

// Reads the project file, its ROM and its tables, and checks the project
// against the ROM's size. Table warnings go to `warn`. AppErrors as
// LoadProject, CheckProjectAgainstRom and the table loaders give them.
OpenedProject OpenProject(const std::filesystem::path& file, const Warn& warn);

struct DumpedString {
  std::int64_t Offset = 0;
  std::int64_t Length = 0;  // bytes from Offset through its end token
  bool Ended = false;       // an end token closes it
  std::vector<std::int64_t> Pointers;  // file offsets of the pointers reaching it, ascending
  std::string Text;                    // UTF-8, line breaks as LF
};

struct BlockDump {
  const ProjectBlock* Block = nullptr;
  std::vector<DumpedString> Strings;  // by file offset; a string's id is its index
  std::vector<Pointer> Pointers;      // the block's pointer table as read; empty for a range
  std::vector<std::string> Warnings;  // Spanish, one sentence each
};

// Decodes every string of a block. A pointer outside the image and a string
// cut by max_length or the end of the file are warnings.
BlockDump DumpBlock(const OpenedProject& project, const ProjectBlock& block);

// AppError kErrBadInput naming the free region's line and column when it
// overlaps the bytes of any string of `dumps`.
void CheckFreeRegions(const OpenedProject& project, const std::vector<BlockDump>& dumps);

BlockScript ScriptOf(const BlockDump& dump);

// The warning, once per range block that has free regions, that they are
// not used: nothing points into a range block, so its strings never move.
std::string RangeFreeIgnored(const ProjectBlock& block);

}  // namespace romscriber
