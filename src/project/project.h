// Project files (TOML): the ROM, its address map, its tables and its blocks
// of text (pointer tables or ranges), with where each thing was written so
// that a refusal can name the line and column.
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "address/address_map.h"
#include "address/pointers.h"

namespace romscriber {

enum class TableFormat { kExtended, kClassic };
enum class Until { kEnd, kNext };
// The script files of a project's blocks: <block>.txt, .tsv or .po.
enum class ScriptFormat { kAtlas, kTsv, kPo };

// Where a value stands in the project file; 0 when unknown.
struct SourcePlace {
  int Line = 0;
  int Column = 0;
};

struct Region {
  std::int64_t Start = 0;
  std::int64_t End = 0;  // inclusive
  SourcePlace Place;
};

struct ProjectTable {
  std::string Name;
  std::filesystem::path File;  // resolved against the project file's folder
  TableFormat Format = TableFormat::kExtended;
  std::string Encoding;  // extended only; empty: UTF-8
  std::optional<std::filesystem::path> Widths;  // the width of each key, for line limits
  std::optional<int> DefaultWidth;              // width of a key the widths file does not list
  SourcePlace Place;
};

struct ProjectBlock {
  std::string Name;   // letters, digits, '-' and '_'
  std::string Table;  // name of one of the project's tables
  std::optional<PointerFormat> Pointers;
  std::optional<Region> Range;  // exactly one of Pointers and Range
  Until StringEnd = Until::kEnd;  // what ends each string: its end token, or the next string
  std::int64_t MaxLength = 4096;
  std::vector<Region> Free;
  std::optional<int> LineLimit;  // the widest line a text may have
  std::optional<int> MaxLines;   // the most lines a text may have
  SourcePlace Place;          // the block's header
  SourcePlace PointersPlace;  // its pointers or range value
};

// What an insertion writes when the command does not say ([output]).
struct OutputSettings {
  std::optional<std::filesystem::path> Rom;
  std::optional<std::filesystem::path> Ips;
  std::optional<std::filesystem::path> Bps;
  // A program the studio starts with the new ROM: a name looked up in PATH,
  // or a path (with a '/') resolved against the project file's folder.
  std::optional<std::string> Emulator;
};

struct Project {
  std::filesystem::path File;  // the project file itself
  std::filesystem::path Rom;   // resolved against the project file's folder
  std::optional<std::filesystem::path> Scripts;  // the folder of the block scripts
  std::optional<ScriptFormat> Format;            // their format
  OutputSettings Output;
  MapSettings Map;
  std::vector<ProjectTable> Tables;
  std::vector<ProjectBlock> Blocks;

  const ProjectTable* FindTable(const std::string& name) const;
};

// Reads a project file. AppError kErrBadInput with "FILE:LINE:COLUMN: what is
// wrong and what is expected" for a syntax error, an unknown or missing key,
// a wrong type or value, a map setting of another kind of map (`fast` without
// lorom...), a block naming an unknown table, two tables or blocks of one
// name, an [output] file that is the project's own ROM (also through a
// link); file errors as AppErrors (53, 70, 75, 76). Defaults are filled in:
// a pointer table without `stride` gets its size.
Project LoadProject(const std::filesystem::path& file);
// The same for the text of a project file that is (or will be) `file`.
Project ParseProject(std::string_view text, const std::filesystem::path& file);

// Checks what needs the ROM's size: pointer tables, ranges and free regions
// inside the file, free regions not overlapping each other. Same errors.
void CheckProjectAgainstRom(const Project& project, std::int64_t romSize);

// "FILE:LINE:COLUMN" of a place in the project file.
std::string PlaceText(const Project& project, const SourcePlace& place);

}  // namespace romscriber
