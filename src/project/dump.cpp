#include "project/dump.h"

#include <algorithm>
#include <span>

#include "base/app_error.h"
#include "base/file_io.h"
#include "extract/engine.h"
#include "hex/hex.h"
#include "table/loader.h"

namespace romscriber {

namespace {

// A file error (53, 70, 75, 76...) says only what went wrong; the same error
// again, naming the file and what the project wanted it for. Refusals of the
// file's contents already name it and pass through.
[[noreturn]] void RethrowNamingFile(const AppError& e, const std::filesystem::path& path,
                                    const std::string& what) {
  if (e.Number() >= kErrBadInput) throw e;
  throw AppError(e.Number(), e.Description() + ": " + path.string() + " (" + what + ")");
}

std::vector<std::uint8_t> ReadRom(const Project& project) {
  try {
    const std::string bytes = ReadWholeFile(project.Rom);
    return std::vector<std::uint8_t>(bytes.begin(), bytes.end());
  } catch (const AppError& e) {
    RethrowNamingFile(e, project.Rom, "la ROM del proyecto " + project.File.string());
  }
}

CompiledTable LoadProjectTable(const Project& project, const ProjectTable& table,
                               const Warn& warn) {
  try {
    if (table.Format == TableFormat::kClassic)
      return CompiledTable::FromClassic(LoadTableFile(table.File), ProjectStyle());
    return CompiledTable::Compile(LoadExtendedTableFile(table.File, table.Encoding, warn),
                                       ProjectStyle());
  } catch (const AppError& e) {
    RethrowNamingFile(e, table.File,
                      "la tabla " + table.Name + " de " + PlaceText(project, table.Place));
  }
}

}  // namespace

DecodeStyle ProjectStyle() {
  DecodeStyle style;
  style.RawLeft = "<$";
  style.RawRight = ">";
  style.LineBreak = "\n";
  style.ClassicMarkers = false;
  return style;
}

const CompiledTable& OpenedProject::TableOf(const ProjectBlock& block) const {
  return Tables.at(block.Table);
}

OpenedProject OpenProject(const std::filesystem::path& file, const Warn& warn) {
  Project project = LoadProject(file);
  std::vector<std::uint8_t> rom = ReadRom(project);
  CheckProjectAgainstRom(project, static_cast<std::int64_t>(rom.size()));
  AddressMap map(project.Map, static_cast<std::int64_t>(rom.size()));
  std::map<std::string, CompiledTable> tables;
  for (const ProjectTable& table : project.Tables)
    tables.emplace(table.Name, LoadProjectTable(project, table, warn));
  return OpenedProject{std::move(project), std::move(rom), std::move(map), std::move(tables)};
}

BlockDump DumpBlock(const OpenedProject& project, const ProjectBlock& block) {
  BlockDump dump;
  dump.Block = &block;
  const CompiledTable& table = project.TableOf(block);
  const std::span<const std::uint8_t> rom(project.Rom);
  const auto size = static_cast<std::int64_t>(rom.size());
  const std::string where = "bloque " + block.Name + ": ";

  if (block.Range) {
    if (!block.Free.empty()) dump.Warnings.push_back(RangeFreeIgnored(block));
    // Strings split at end tokens, as a free-mode dump splits scripts; an end
    // token that meets an empty string makes no string.
    std::int64_t pos = block.Range->Start;
    while (pos <= block.Range->End && pos < size) {
      const DecodedString s = DecodeString(table, rom, pos, {block.Range->End, size, true});
      if (!s.OnlyEnd) dump.Strings.push_back({pos, s.Length, s.Ended, {}, s.Text});
      pos += s.Length;
    }
    return dump;
  }

  dump.Pointers = ReadPointers(rom, *block.Pointers, project.Map);
  // (target, pointer offset) pairs: sorted, each target's run holds its
  // pointers in ascending order.
  std::vector<std::pair<std::int64_t, std::int64_t>> reaches;
  reaches.reserve(dump.Pointers.size());
  for (const Pointer& p : dump.Pointers) {
    if (p.Target) {
      reaches.emplace_back(*p.Target, p.Offset);
    } else {
      dump.Warnings.push_back(where + "el puntero en " + OffsetHex(p.Offset) + " (valor " +
                              OffsetHex(p.Value) +
                              ") apunta fuera de la imagen; no tiene texto y no se cambiará.");
    }
  }
  std::sort(reaches.begin(), reaches.end());
  const bool untilNext = block.StringEnd == Until::kNext;
  for (std::size_t i = 0; i < reaches.size();) {
    const std::int64_t offset = reaches[i].first;
    std::vector<std::int64_t> pointers;
    for (; i < reaches.size() && reaches[i].first == offset; ++i)
      pointers.push_back(reaches[i].second);
    // The string stops at max_length and the end of the file; with "next",
    // also at the next string, end tokens not stopping it (the last string
    // ends at an end token).
    std::int64_t bound = std::min(size, offset + block.MaxLength);
    const bool toNext = untilNext && i < reaches.size() && reaches[i].first < bound;
    if (toNext) bound = reaches[i].first;
    DecodedString s = DecodeString(table, rom, offset, {bound - 1, bound, !toNext});
    if (!toNext && !s.Ended) {
      dump.Warnings.push_back(where + "el texto en " + OffsetHex(offset) + " se corta en " +
                              OffsetHex(offset + s.Length) + " (max_length " +
                              std::to_string(block.MaxLength) +
                              " o fin del archivo) sin token de fin.");
    }
    dump.Strings.push_back({offset, s.Length, s.Ended, std::move(pointers), std::move(s.Text)});
  }
  return dump;
}

void CheckFreeRegions(const OpenedProject& project, const std::vector<BlockDump>& dumps) {
  for (const ProjectBlock& block : project.Settings.Blocks) {
    for (const Region& region : block.Free) {
      for (const BlockDump& dump : dumps) {
        for (const DumpedString& s : dump.Strings) {
          if (s.Length > 0 && s.Offset <= region.End && region.Start < s.Offset + s.Length) {
            throw AppError(kErrBadInput,
                           PlaceText(project.Settings, region.Place) + ": la zona libre " +
                               OffsetHex(region.Start) + "-" + OffsetHex(region.End) + " del bloque " +
                               block.Name + " pisa el texto en " + OffsetHex(s.Offset) + " del bloque " +
                               dump.Block->Name + "; se esperaba una zona sin textos.");
          }
        }
      }
    }
  }
}

std::string RangeFreeIgnored(const ProjectBlock& block) {
  return "bloque " + block.Name +
         ": sus zonas libres (free) no se usan; es un bloque de rango, nada apunta a sus textos "
         "y cada uno se queda en su sitio.";
}

BlockScript ScriptOf(const BlockDump& dump) {
  BlockScript script;
  script.Block = dump.Block->Name;
  script.Strings.reserve(dump.Strings.size());
  int id = 0;
  for (const DumpedString& s : dump.Strings) {
    ScriptString row;
    row.Id = id++;
    row.Pointers = s.Pointers;
    row.Offset = s.Offset;
    row.Original = s.Text;
    script.Strings.push_back(std::move(row));
  }
  return script;
}

}  // namespace romscriber
