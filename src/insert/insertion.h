// Insertion: the translated scripts of a project's blocks go back into a copy
// of its ROM, every pointer fixed.
//
//   ReadBlockScript  the one script of a block in a folder: TSV, PO or Atlas
//   InsertScripts    new texts encoded, laid out in each block's space, pointers
//                    rewritten; the new ROM and a report per block
//
// A pointer block's space is the bytes its original strings occupied, then
// its free regions in the order listed; pieces that touch in the file are one
// piece. Strings go in order of their original offset, each whole into the
// first piece with room left; an unchanged string keeps its original bytes,
// and an unchanged string that lies inside another unchanged one keeps
// sharing its bytes. So unchanged scripts give back the original ROM, byte
// for byte.
//
// A range block's strings never move (nothing points to them): each is
// written at its own offset and must fit in the bytes its original took;
// the rest of those bytes keep their values, and its free regions are not
// used.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "project/dump.h"
#include "scripts/script.h"

namespace romscriber {

// Reads the script of `block` from `folder`: exactly one of <block>.tsv,
// <block>.po, <block>.txt must be there. AppError kErrBadInput otherwise, or
// as the readers refuse.
BlockScript ReadBlockScript(const std::filesystem::path& folder, const std::string& block);

struct BlockReport {
  std::string Name;
  std::int64_t Changed = 0;          // strings whose text changed
  std::int64_t Fuzzy = 0;            // PO entries marked fuzzy, kept as they were
  std::int64_t Used = 0;             // bytes the strings take
  std::int64_t Available = 0;        // bytes of the block's space
  std::int64_t PointersRewritten = 0;
  std::vector<std::string> Warnings;  // Spanish, one sentence each
};

struct Insertion {
  std::vector<std::uint8_t> Rom;  // the new ROM
  std::vector<BlockReport> Blocks;
};

// Inserts `scripts` (one per block of `dumps`, in the same order) into a copy
// of the project's ROM. AppError kErrBadInput for a row that names no string
// of its block or whose original is not the dump's, kErrCannotEncode for a
// text the table cannot give (block, string id, column, character),
// kErrNoRoom when the strings do not fit (every pointer block's bytes needed
// and available, every range-block string longer than its original's bytes), kErrBadInput for a 2-byte pointer whose string would leave its
// bank.
Insertion InsertScripts(const OpenedProject& project, const std::vector<BlockDump>& dumps,
                        const std::vector<BlockScript>& scripts);

}  // namespace romscriber
