// Pointer-table discovery: from the offsets where strings begin (the
// targets), the runs of pointers at one stride that reach them, under each
// address map, pointer size and byte order, with or without a constant add.
//
//   StandardMaps        the maps tried when none is named
//   MapLabel            a map in one word: "lorom", "lorom+512", "banked(4000,4000)"
//   FindPointerTables   the candidates, best first
//   BlockStanza         a candidate as a [[block]] of a project file
//   ParseTargets        the text of a targets file: hex offsets, one a line
//   ParseHexOffset      one offset as a person types it: hex, 0x or not
//
// A pointer reaches a target when its address (its value plus the add; for
// 2-byte pointers with the bank of the table's first pointer above it, as
// project files read them) is the target's under the map. A run is a
// sequence of entries `stride` bytes apart whose first and last entries
// reach targets, with no more than a few entries in a row that reach none
// (null or unused slots), as long as it goes on. Candidates rank by the
// distinct targets they reach, then by
// how few of their entries reach none; then a candidate without an add comes
// first; then one whose entries keep to fewer forms of address (a table
// reaches its strings through their own addresses or one mirror, such as
// LoROM's fast banks, while bytes that happen to fit a map's mirrors, as a
// Game Boy's fixed bank seen from any bank, change form from entry to
// entry); then the larger size (the low bytes of wider pointers read as a
// table of narrower ones too, under some map), the maps in the order
// StandardMaps gives them, the shorter stride, little endian, the lower
// offset.
//
// The add is searched for two ways. Every table of pointers without an add
// (or, for 2-byte pointers, with the bank of the table) is found wherever it
// lies and in whatever order it lists the targets. A constant add is found
// from two neighbouring entries whose values lie as far apart as two targets
// that follow each other (the next target, or the one after it) and a third
// entry beside them that reaches a target: tables that mostly list their
// strings in the order the strings lie, as games do, with at least three
// entries. Whichever way it was found, a run then takes every entry that
// reaches a target, in any order.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "address/address_map.h"
#include "address/pointers.h"
#include "discover/search_control.h"

namespace romscriber {

// In this order: lorom and lorom with a 512-byte header, hirom and hirom with
// one, Game Boy banks (16 KiB at 0x4000), NES banks (8 KiB at 0x8000 after a
// 16-byte header), linear (base 0). The last is the one that explains any
// table given the right add, so it yields to the others on a tie.
std::vector<MapSettings> StandardMaps();

// "linear", "linear(8000)" with a base, "lorom", "lorom+512" with a header,
// "hirom", "banked(4000,4000)" (bank size and window in hex), with "+16" for
// a header; header in decimal, as copier and iNES headers are known.
std::string MapLabel(const MapSettings& map);

struct PointerSearchOptions {
  std::vector<MapSettings> Maps;  // empty: StandardMaps()
  std::vector<int> Sizes = {2, 3, 4};
  std::size_t Top = 5;  // candidates kept
  int MaxStride = 16;   // strides tried: from the pointer size up to this
  int MaxMisses = 4;    // entries in a row inside a run that reach no target
  bool SearchAdd = true;  // also look for tables with a constant add
};

struct PointerCandidate {
  MapSettings Map;
  PointerFormat Format;     // Offset, Count, Size, Order, Stride, Add; no Bank
  std::int64_t Reached = 0;  // distinct targets that its entries reach
  std::int64_t Missed = 0;   // its entries that reach no target
};

struct PointerSearchResult {
  std::vector<PointerCandidate> Candidates;  // best first, at most Top
  std::int64_t Targets = 0;                  // distinct targets inside the ROM
  bool Stopped = false;
};

// Candidates reaching at least two targets (one when there is only one).
// Targets outside the ROM are left out.
PointerSearchResult FindPointerTables(std::span<const std::uint8_t> rom,
                                      std::span<const std::int64_t> targets,
                                      const PointerSearchOptions& options,
                                      const SearchControl& control = {});

// A [[block]] stanza that a project whose [map] is the candidate's takes as
// it is, with that map in a comment line above it:
//
//   # [map] kind = "lorom"
//   [[block]]
//   name = "punteros_18000"
//   table = "main"
//   pointers = { offset = 0x18000, count = 57, size = 2, endian = "little", stride = 2, add = 0 }
//
// A negative add is written in decimal (TOML has no signed hex). The block
// is named `name`, or when empty after its table's offset (BlockName).
std::string BlockStanza(const PointerCandidate& candidate, std::string_view table,
                        std::string_view name = {});

// The name a stanza gives a candidate's block: "punteros_" and its offset.
std::string BlockName(const PointerCandidate& candidate);

// The offsets of a targets file: one a line, hexadecimal with or without
// 0x; blank lines and lines starting with '#' are passed over; each offset
// once, ascending. AppError kErrBadInput naming `fileName` and the line for
// anything else.
std::vector<std::int64_t> ParseTargets(std::string_view text, const std::string& fileName);

// An offset as the targets file and romscriber-find's options take one: 1
// to 15 hex digits of either case, after "0x" or "0X" or not; nothing for
// anything else.
std::optional<std::int64_t> ParseHexOffset(std::string_view text);

}  // namespace romscriber
