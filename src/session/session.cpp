#include "session/session.h"

#include <algorithm>
#include <unordered_map>

#include "base/file_io.h"
#include "extract/engine.h"
#include "hex/hex.h"
#include "project/widths.h"
#include "scripts/script_text.h"
#include "scripts/tsv.h"
#include "table/extended_loader.h"
#include "table/loader.h"

namespace romscriber {

namespace {

CompiledTable CompileTable(const Project& project, const ProjectTable& table, const Warn& warn) {
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

// The widths file's width of each entry of the table, -1 for those it does
// not list; a key the table does not have refuses the project.
std::vector<int> EntryWidths(const Project& project, const ProjectTable& settings,
                             const CompiledTable& table) {
  std::vector<int> widths(table.Entries().size(), -1);
  if (!settings.Widths) return widths;
  const std::filesystem::path& path = *settings.Widths;
  std::vector<KeyWidth> lines;
  try {
    lines = ReadWidths(ReadWholeFile(path), path.string());
  } catch (const AppError& e) {
    RethrowNamingFile(e, path,
                      "los anchos de la tabla " + settings.Name + " de " +
                          PlaceText(project, settings.Place));
  }
  std::unordered_map<std::string_view, std::size_t> entryOf;
  for (std::size_t i = 0; i < table.Entries().size(); ++i)
    entryOf.emplace(table.Key(table.Entries()[i]), i);
  for (const KeyWidth& w : lines) {
    const auto it = entryOf.find(w.Key);
    if (it == entryOf.end()) {
      throw AppError::At(kErrBadInput, {path.string(), w.Line},
                         "la clave " + TextToHex(w.Key) + " no está en la tabla " + settings.Name +
                             "; se esperaban solo claves de la tabla");
    }
    widths[it->second] = w.Width;
  }
  return widths;
}

// The index of `entry` among the table's entries.
int EntryIndex(const CompiledTable& table, const TableEntry* entry) {
  return entry ? static_cast<int>(entry - table.Entries().data()) : -1;
}

// Decodes every string of a block. A pointer outside the image and a string
// cut by max_length or the end of the file are warnings.
void DumpBlock(const ProjectImage& image, SessionBlock& dump) {
  const ProjectBlock& block = *dump.Settings;
  const CompiledTable& table = dump.Table->Table;
  const std::span<const std::uint8_t> rom(image.Rom);
  const auto size = static_cast<std::int64_t>(rom.size());
  const std::string where = "bloque " + block.Name + ": ";

  if (block.Range) {
    if (!block.Free.empty()) dump.Warnings.push_back(RangeFreeIgnored(block));
    // Strings split at end tokens, as a free-mode dump splits scripts; an end
    // token that meets an empty string makes no string.
    std::int64_t pos = block.Range->Start;
    while (pos <= block.Range->End && pos < size) {
      DecodedString s = DecodeString(table, rom, pos, {block.Range->End, size, true});
      if (!s.OnlyEnd) {
        StringRecord r;
        r.Id = static_cast<int>(dump.Strings.size());
        r.Offset = pos;
        r.Length = s.Length;
        r.EndEntry = EntryIndex(table, s.End);
        r.Original = std::move(s.Text);
        dump.Strings.push_back(std::move(r));
      }
      pos += s.Length;
    }
    return;
  }

  dump.PointerTable = ReadPointers(rom, *block.Pointers, image.Map);
  // (target, pointer offset, value): sorted, each target's run holds its
  // pointers in ascending order.
  struct Reach {
    std::int64_t Target;
    std::int64_t Offset;
    std::uint32_t Value;
    bool operator<(const Reach& o) const {
      return Target != o.Target ? Target < o.Target : Offset < o.Offset;
    }
  };
  std::vector<Reach> reaches;
  reaches.reserve(dump.PointerTable.size());
  for (const Pointer& p : dump.PointerTable) {
    if (p.Target) {
      reaches.push_back({*p.Target, p.Offset, p.Value});
    } else {
      dump.Warnings.push_back(where + "el puntero en " + OffsetHex(p.Offset) + " (valor " +
                              OffsetHex(p.Value) +
                              ") apunta fuera de la imagen; no tiene texto y no se cambiará.");
    }
  }
  std::sort(reaches.begin(), reaches.end());
  const bool untilNext = block.StringEnd == Until::kNext;
  for (std::size_t i = 0; i < reaches.size();) {
    const std::int64_t offset = reaches[i].Target;
    StringRecord r;
    r.Id = static_cast<int>(dump.Strings.size());
    r.Offset = offset;
    for (; i < reaches.size() && reaches[i].Target == offset; ++i)
      r.Pointers.emplace_back(reaches[i].Offset, reaches[i].Value);
    // The string stops at max_length and the end of the file; with "next",
    // also at the next string, end tokens not stopping it (the last string
    // ends at an end token).
    std::int64_t bound = std::min(size, offset + block.MaxLength);
    const bool toNext = untilNext && i < reaches.size() && reaches[i].Target < bound;
    if (toNext) bound = reaches[i].Target;
    DecodedString s = DecodeString(table, rom, offset, {bound - 1, bound, !toNext});
    if (!toNext && !s.Ended) {
      dump.Warnings.push_back(where + "el texto en " + OffsetHex(offset) + " se corta en " +
                              OffsetHex(offset + s.Length) + " (max_length " +
                              std::to_string(block.MaxLength) +
                              " o fin del archivo) sin token de fin.");
    }
    r.Length = s.Length;
    r.EndEntry = EntryIndex(table, s.End);
    r.Original = std::move(s.Text);
    dump.Strings.push_back(std::move(r));
  }
}

// Free regions must not overlap any block's strings.
void CheckFreeRegions(const Project& project, const std::vector<SessionBlock>& blocks) {
  for (const ProjectBlock& block : project.Blocks) {
    for (const Region& region : block.Free) {
      for (const SessionBlock& dump : blocks) {
        for (const StringRecord& s : dump.Strings) {
          if (s.Length > 0 && s.Offset <= region.End && region.Start < s.Offset + s.Length) {
            throw AppError::At(kErrBadInput,
                               {project.File.string(), region.Place.Line, region.Place.Column},
                               "la zona libre " + OffsetHex(region.Start) + "-" +
                                   OffsetHex(region.End) + " del bloque " + block.Name +
                                   " pisa el texto en " + OffsetHex(s.Offset) + " del bloque " +
                                   dump.Settings->Name + "; se esperaba una zona sin textos.");
          }
        }
      }
    }
  }
}

std::string PointerList(const std::vector<PointerRef>& pointers) {
  std::string out;
  for (const PointerRef& p : pointers)
    out += (out.empty() ? "" : ",") + OffsetHex(p.Offset);
  return out.empty() ? "ninguno" : out;
}

}  // namespace

Session Session::Open(const std::filesystem::path& projectFile, const Warn& warn,
                      const Progress& progress, const std::atomic<bool>* stop) {
  auto image = std::make_shared<ProjectImage>(ProjectImage{LoadProject(projectFile), {},
                                                           AddressMap({}, 0), {}});
  const Project& project = image->Settings;
  image->Rom = ReadFileBytes(project.Rom, "la ROM del proyecto " + project.File.string());
  const auto romSize = static_cast<std::int64_t>(image->Rom.size());
  CheckProjectAgainstRom(project, romSize);
  image->Map = AddressMap(project.Map, romSize);
  image->Tables.reserve(project.Tables.size());
  for (const ProjectTable& t : project.Tables) {
    CompiledTable table = CompileTable(project, t, warn);
    std::vector<int> widths = EntryWidths(project, t, table);
    image->Tables.push_back({&t, std::move(table), std::move(widths)});
  }

  Session session;
  session.m_blocks.resize(project.Blocks.size());
  for (std::size_t i = 0; i < project.Blocks.size(); ++i) {
    if (stop && stop->load()) throw AppError(kErrCancelled);
    const ProjectBlock& block = project.Blocks[i];
    if (progress)
      progress("bloque " + std::to_string(i + 1) + "/" + std::to_string(project.Blocks.size()) +
               ": " + block.Name);
    SessionBlock& dump = session.m_blocks[i];
    dump.Settings = &block;
    for (const OpenedTable& t : image->Tables)
      if (t.Settings->Name == block.Table) dump.Table = &t;
    DumpBlock(*image, dump);
  }
  CheckFreeRegions(project, session.m_blocks);
  session.m_image = std::move(image);
  return session;
}

const SessionBlock* Session::FindBlock(std::string_view name) const {
  for (const SessionBlock& b : m_blocks)
    if (b.Settings->Name == name) return &b;
  return nullptr;
}

void Session::ReadScripts(const std::filesystem::path& folder, bool everyBlock) {
  // Every script is read and checked before any is merged.
  std::vector<std::optional<BlockScript>> scripts(m_blocks.size());
  for (std::size_t b = 0; b < m_blocks.size(); ++b) {
    const std::string& name = m_blocks[b].Settings->Name;
    const std::optional<std::filesystem::path> path = FindBlockScript(folder, name);
    if (!path) {
      if (!everyBlock) continue;
      throw AppError(kErrBadInput, "Falta el guion del bloque " + name + " en " + folder.string() +
                                       ": se esperaba " + name + ".tsv, " + name + ".po o " +
                                       name + ".txt.");
    }
    scripts[b] = ReadScriptFile(*path, name);
    CheckScript(m_blocks[b], *scripts[b]);
  }
  for (std::size_t b = 0; b < m_blocks.size(); ++b)
    if (scripts[b]) ApplyScript(m_blocks[b], std::move(*scripts[b]));
}

void Session::MergeScript(SessionBlock& block, const BlockScript& script) {
  CheckScript(block, script);
  ApplyScript(block, BlockScript(script));
}

void Session::CheckScript(const SessionBlock& block, const BlockScript& script) {
  const auto where = [&](const StringRecord& row) { return Where{script.File, row.Line}; };
  const std::vector<StringRecord>& strings = block.Strings;
  std::vector<bool> seen(strings.size(), false);
  for (const StringRecord& row : script.Strings) {
    if (row.Id < 0 || static_cast<std::size_t>(row.Id) >= strings.size() ||
        strings[static_cast<std::size_t>(row.Id)].Offset != row.Offset) {
      throw AppError::At(kErrBadInput, where(row),
                         "el texto " + std::to_string(row.Id) + " en " + OffsetHex(row.Offset) +
                             " no es un texto del bloque " + script.Block + " (tiene " +
                             std::to_string(strings.size()) +
                             " textos); vuelva a volcar el proyecto.");
    }
    const auto index = static_cast<std::size_t>(row.Id);
    if (seen[index]) {
      throw AppError::At(kErrBadInput, where(row),
                         "el texto " + std::to_string(row.Id) + " aparece dos veces.");
    }
    seen[index] = true;
    const StringRecord& s = strings[index];
    if (row.Original != s.Original) {
      throw AppError::At(kErrBadInput, where(row),
                         "el original del texto " + std::to_string(row.Id) +
                             " no es el que la ROM tiene en " + OffsetHex(s.Offset) +
                             "; ¿es el guion de otra ROM o de otra tabla?");
    }
    if (row.Pointers != s.Pointers) {
      throw AppError::At(kErrBadInput, where(row),
                         "los punteros del texto " + std::to_string(row.Id) + " (" +
                             PointerList(row.Pointers) + ") no son los que el proyecto lee (" +
                             PointerList(s.Pointers) + "); vuelva a volcar el proyecto.");
    }
  }
}

void Session::ApplyScript(SessionBlock& block, BlockScript&& script) {
  for (StringRecord& s : block.Strings) {
    s.Translation.clear();
    s.Fuzzy = false;
    s.Line = 0;
  }
  for (StringRecord& row : script.Strings) {
    StringRecord& s = block.Strings[static_cast<std::size_t>(row.Id)];
    s.Translation = std::move(row.Translation);
    s.Fuzzy = row.Fuzzy;
    s.Line = row.Line;
  }
  block.ScriptFile = std::move(script.File);
}

std::vector<ScriptFile> Session::ScriptFilesOf(const SessionBlock& block,
                                               ScriptFormat format) const {
  ScriptContext context;
  context.Block = block.Settings->Name;
  context.Table = &block.Table->Table;
  context.Map = &m_image->Map;
  context.Pointers = block.Settings->Pointers;
  return WriteBlockScript(format, context, block.Strings);
}

std::vector<ScriptFile> Session::ScriptFiles(ScriptFormat format) const {
  std::vector<ScriptFile> files;
  for (const SessionBlock& block : m_blocks)
    for (ScriptFile& f : ScriptFilesOf(block, format))
      files.push_back(std::move(f));
  return files;
}

CarriedOver Session::CarryOver(SessionBlock& block, const BlockScript& old, bool markFuzzy) {
  CarriedOver result;
  std::unordered_map<std::int64_t, std::size_t> byOffset;
  for (std::size_t i = 0; i < block.Strings.size(); ++i)
    byOffset.emplace(block.Strings[i].Offset, i);
  const std::string& name = block.Settings->Name;
  for (const StringRecord& row : old.Strings) {
    if (row.Translation.empty()) continue;
    const auto it = byOffset.find(row.Offset);
    if (it == byOffset.end()) {
      result.Warnings.push_back("bloque " + name + ": el texto " + std::to_string(row.Id) +
                                " (en " + OffsetHex(row.Offset) +
                                ") ya no está en la ROM; su traducción se guarda en " + name +
                                ".lost.tsv.");
      result.Lost.push_back(row);
      continue;
    }
    StringRecord& s = block.Strings[it->second];
    s.Translation = row.Translation;
    s.Fuzzy = row.Fuzzy;
    ++result.Kept;
    if (row.Original != s.Original) {
      result.Changed.push_back(s.Id);
      if (markFuzzy) s.Fuzzy = true;
    }
  }
  if (!result.Changed.empty()) {
    std::string ids;
    for (const int id : result.Changed)
      ids += (ids.empty() ? "" : ", ") + std::to_string(id);
    result.Warnings.push_back(
        "bloque " + name + ": el original ha cambiado en " +
        (result.Changed.size() == 1 ? "el texto " : "los textos ") + ids +
        (markFuzzy ? "; sus traducciones se conservan marcadas como dudosas (fuzzy)."
                   : "; se conservan sus traducciones: revíselas."));
  }
  return result;
}

namespace {

// A block's script in the folder, read when it is there; refused when it is
// in another format than the one being written (the folder would hold two).
std::optional<BlockScript> OldScript(const std::filesystem::path& folder, const SessionBlock& block,
                                     ScriptFormat format) {
  const std::string& name = block.Settings->Name;
  const std::optional<std::filesystem::path> found = FindBlockScript(folder, name);
  if (!found) return std::nullopt;
  if (found->filename() != name + FormatExtension(format)) {
    throw AppError(kErrBadInput, "Ya hay un guion del bloque " + name + " en otro formato: " +
                                     found->string() + ". Vuelque en ese formato (--format) o "
                                     "en otra carpeta; no se ha escrito nada.",
                   {found->string()});
  }
  return ReadScriptFile(*found, name);
}

bool HoldsTranslations(const BlockScript& script) {
  return std::any_of(script.Strings.begin(), script.Strings.end(),
                     [](const StringRecord& s) { return !s.Translation.empty(); });
}

}  // namespace

DumpPlan Session::PlanDump(const std::filesystem::path& folder, ScriptFormat format, bool update) {
  DumpPlan plan;
  plan.Warnings.resize(m_blocks.size());
  plan.Kept.assign(m_blocks.size(), 0);
  for (std::size_t b = 0; b < m_blocks.size(); ++b) {
    SessionBlock& block = m_blocks[b];
    plan.Warnings[b] = block.Warnings;
    const std::optional<BlockScript> old = OldScript(folder, block, format);
    if (!old || !HoldsTranslations(*old)) continue;
    if (!update) {
      throw AppError(kErrBadInput,
                     old->File + " tiene traducciones y volcar de nuevo las perdería; no se ha "
                                 "escrito nada. Use --update para conservarlas en el nuevo "
                                 "volcado, u otra carpeta (--out).",
                     {old->File});
    }
    CarriedOver carried = CarryOver(block, *old, format == ScriptFormat::kPo);
    plan.Kept[b] = carried.Kept;
    plan.Warnings[b].insert(plan.Warnings[b].end(), carried.Warnings.begin(),
                            carried.Warnings.end());
    if (carried.Lost.empty()) continue;
    // Added to what earlier updates lost: nothing there is dropped.
    const std::filesystem::path lost = folder / (block.Settings->Name + ".lost.tsv");
    std::string text = WriteTsv(ScriptView{block.Settings->Name, carried.Lost});
    std::error_code ec;
    if (std::filesystem::exists(lost, ec)) {
      std::string before;
      try {
        before = ReadWholeFile(lost);
      } catch (const AppError& e) {
        RethrowNamingFile(e, lost, "las traducciones perdidas del bloque " + block.Settings->Name);
      }
      if (!before.empty() && before.back() != '\n') before += '\n';
      text = before + text.substr(text.find('\n') + 1);
    }
    plan.Files.emplace_back(lost, std::move(text));
  }
  for (ScriptFile& file : ScriptFiles(format))
    plan.Files.emplace_back(folder / file.Name, std::move(file.Text));
  return plan;
}

SessionInsertion Session::Insert(EncodeCache* cache, bool strict) const {
  std::vector<InsertBlock> blocks;
  blocks.reserve(m_blocks.size());
  for (const SessionBlock& b : m_blocks)
    blocks.push_back({b.Settings, &b.Table->Table, b.Strings, b.ScriptFile});
  SessionInsertion result;
  result.Outcome = InsertStrings(m_image->Rom, m_image->Map, blocks, cache);
  InsertOutcome& outcome = result.Outcome;
  if (!outcome.Refusals.empty()) return result;

  // Line limits, on the texts as inserted.
  std::vector<Refusal> tooWide;
  for (std::size_t b = 0; b < m_blocks.size(); ++b) {
    const SessionBlock& block = m_blocks[b];
    const ProjectBlock& settings = *block.Settings;
    if (!settings.LineLimit && !settings.MaxLines) continue;
    for (std::size_t i = 0; i < block.Strings.size(); ++i) {
      const StringRecord& s = block.Strings[i];
      const std::int64_t at = outcome.Blocks[b].NewOffsets[i];
      const std::int64_t size = outcome.Blocks[b].NewSizes[i];
      const std::vector<int> widths = LineWidths(
          *block.Table, std::span(outcome.Rom).subspan(static_cast<std::size_t>(at),
                                                       static_cast<std::size_t>(size)));
      const std::string what = "bloque " + settings.Name + ", texto " + std::to_string(s.Id);
      for (std::size_t line = 0; settings.LineLimit && line < widths.size(); ++line) {
        if (widths[line] <= *settings.LineLimit) continue;
        result.LineWarnings.push_back(what + ", línea " + std::to_string(line + 1) + ": ancho " +
                                      std::to_string(widths[line]) + " de " +
                                      std::to_string(*settings.LineLimit));
      }
      if (settings.MaxLines && static_cast<int>(widths.size()) > *settings.MaxLines) {
        result.LineWarnings.push_back(what + ": " + std::to_string(widths.size()) +
                                      " líneas de " + std::to_string(*settings.MaxLines));
      }
    }
  }
  if (strict && !result.LineWarnings.empty()) {
    for (const std::string& w : result.LineWarnings)
      outcome.Refusals.push_back({"", -1, kErrBadInput, w + " (--strict)"});
    outcome.Rom.clear();
  }
  return result;
}

std::vector<int> LineWidths(const OpenedTable& opened, std::span<const std::uint8_t> bytes) {
  const CompiledTable& table = opened.Table;
  // -1: no default width, a key counts the characters of its text.
  const int fallback =
      opened.Settings && opened.Settings->DefaultWidth ? *opened.Settings->DefaultWidth : -1;
  const std::string_view lineBreak = table.Style().LineBreak;
  std::vector<int> widths(1, 0);
  std::size_t pos = 0;
  while (pos < bytes.size()) {
    const TableEntry* e = table.Match(bytes.data() + pos, bytes.size() - pos);
    if (!e) {
      ++pos;  // a raw byte
      continue;
    }
    pos += e->KeySize;
    const std::string_view shown = table.Shown(*e);
    switch (e->Kind) {
      case TokenKind::kText: {
        // Its width on the line where it starts; its line breaks start new lines.
        const int index = EntryIndex(table, e);
        const int given = opened.Widths.empty() ? -1 : opened.Widths[static_cast<std::size_t>(index)];
        const int fixed = given >= 0 ? given : fallback;
        if (fixed >= 0) widths.back() += fixed;
        std::size_t from = 0;
        for (std::size_t at = shown.find(lineBreak); at != std::string_view::npos;
             at = shown.find(lineBreak, from)) {
          if (fixed < 0) widths.back() += static_cast<int>(CodePoints(shown.substr(from, at - from)));
          widths.push_back(0);
          from = at + lineBreak.size();
        }
        if (fixed < 0) widths.back() += static_cast<int>(CodePoints(shown.substr(from)));
        break;
      }
      case TokenKind::kLineBreak:
        widths.push_back(0);
        break;
      case TokenKind::kControl:
        pos += std::min<std::size_t>(e->Params, bytes.size() - pos);
        break;
      case TokenKind::kEnd:
        return widths;
      case TokenKind::kRaw:
      case TokenKind::kPause:
        break;
    }
  }
  return widths;
}

Measurement Measurer::Measure(std::size_t block, std::size_t index, std::string_view translation) {
  const std::vector<SessionBlock>& blocks = m_session->Blocks();
  if (m_standing.size() < blocks.size()) m_standing.resize(blocks.size());
  if (m_standing[block].size() < blocks[block].Strings.size())
    m_standing[block].resize(blocks[block].Strings.size());
  Measurement m = MeasureText(block, index, translation);
  m_standing[block][index] = {m.Bytes, m.Unchanged};
  return m;
}

std::vector<int> Measurer::Widths(std::size_t block, std::string_view text) {
  const SessionBlock& b = m_session->Blocks()[block];
  std::string bytes;
  if (m_encoders.Of(b.Table->Table).EncodeAppend(text, bytes)) {
    std::vector<int> widths;
    for (std::size_t from = 0;;) {
      const std::size_t end = text.find('\n', from);
      widths.push_back(static_cast<int>(CodePoints(text.substr(from, end - from))));
      if (end == std::string_view::npos) break;
      from = end + 1;
    }
    return widths;
  }
  return LineWidths(*b.Table, std::span(reinterpret_cast<const std::uint8_t*>(bytes.data()),
                                        bytes.size()));
}

BlockFit Measurer::Fit(std::size_t block) {
  const SessionBlock& b = m_session->Blocks()[block];
  const std::size_t n = b.Strings.size();
  BlockFit fit;
  fit.Fits.assign(n, true);
  std::vector<std::int64_t> sizes(n);
  std::vector<bool> unchanged(n);
  for (std::size_t i = 0; i < n; ++i) {
    if (m_standing.size() <= block || m_standing[block].size() <= i || m_standing[block][i].Bytes < 0)
      Measure(block, i, b.Strings[i].Translation);
    sizes[i] = m_standing[block][i].Bytes;
    unchanged[i] = m_standing[block][i].Unchanged;
  }
  if (b.Settings->Range) {
    for (std::size_t i = 0; i < n; ++i) {
      fit.Used += sizes[i];
      fit.Available += b.Strings[i].Length;
      fit.Fits[i] = sizes[i] <= b.Strings[i].Length;
    }
    return fit;
  }
  if (m_space.size() <= block) m_space.resize(block + 1);
  if (!m_space[block]) m_space[block] = BlockSpace(b.Strings, b.Settings->Free);
  for (const Piece& p : *m_space[block])
    fit.Available += p.End - p.Start + 1;
  const std::vector<int> containers = Containers(b.Strings, unchanged);
  const std::vector<std::int64_t> offsets = FirstFit(*m_space[block], sizes, containers);
  for (std::size_t i = 0; i < n; ++i) {
    if (containers[i] >= 0) continue;
    fit.Used += sizes[i];
    fit.Fits[i] = offsets[i] >= 0;
  }
  return fit;
}

Measurement Measurer::MeasureText(std::size_t block, std::size_t index,
                                  std::string_view translation) {
  const SessionBlock& b = m_session->Blocks()[block];
  const StringRecord& s = b.Strings[index];
  Measurement m;
  const TextToInsert text = TextOf(s, translation, b.Table->Table);
  m.Unchanged = !text.Changed;
  if (!text.Changed) {
    m.Bytes = s.Length;
    m.LineWidths =
        LineWidths(*b.Table, m_session->Rom().subspan(static_cast<std::size_t>(s.Offset),
                                                      static_cast<std::size_t>(s.Length)));
    return m;
  }
  const EncodeCache::Encoding* found = m_cache.Find(block, index, text.Text);
  if (!found) {
    EncodeCache::Encoding encoding{text.Text, {}, {}};
    encoding.Failure = m_encoders.Of(b.Table->Table).EncodeAppend(text.Text, encoding.Bytes);
    found = &m_cache.Store(block, index, std::move(encoding));
  }
  m.Failure = found->Failure;
  if (m.Failure) {
    m.Bytes = s.Length;
    return m;
  }
  m.Bytes = static_cast<std::int64_t>(found->Bytes.size());
  m.LineWidths = LineWidths(
      *b.Table, std::span(reinterpret_cast<const std::uint8_t*>(found->Bytes.data()),
                          found->Bytes.size()));
  return m;
}

void WriteDumpPlan(const std::filesystem::path& folder, const DumpPlan& plan) {
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  if (ec) ThrowSystemError(ec, true);
  for (const auto& [path, text] : plan.Files)
    WriteFileWhole(path, {text});
}

}  // namespace romscriber
