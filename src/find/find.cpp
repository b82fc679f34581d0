#include "find/find.h"

#include <algorithm>
#include <filesystem>
#include <span>
#include <vector>

#include "base/app_error.h"
#include "base/file_io.h"
#include "cli/cli.h"
#include "discover/discover.h"
#include "hex/hex.h"
#include "scripts/tsv.h"
#include "session/session.h"
#include "table/compiled.h"
#include "table/extended_loader.h"
#include "table/loader.h"

namespace romscriber {

namespace {

std::vector<std::uint8_t> ReadRom(const std::string& path) {
  return ReadFileBytes(path, "la ROM");
}

// A number as the project file writes one: decimal, or hex after 0x.
std::optional<std::int64_t> NumberOption(std::string_view text) {
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X'))
    return ParseHexOffset(text);
  if (text.empty() || text.size() > 15) return std::nullopt;
  std::int64_t value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
  }
  return value;
}

// A value of a relative hit: as many hex digits as the width's bytes give,
// with a sign when it lies below zero.
std::string ValueHex(std::int32_t value, int width) {
  std::string digits = OffsetHex(value < 0 ? -std::int64_t{value} : value);
  const auto wanted = static_cast<std::size_t>(2 * width);
  if (digits.size() < wanted) digits.insert(0, wanted - digits.size(), '0');
  return (value < 0 ? "-" : "") + digits;
}

// A found text on one line: backslash, tab and line break escaped as the
// TSV scripts write them.
std::string OneLine(std::string_view text) {
  std::string out;
  AppendTsvEscaped(out, text);
  return out;
}

// The strings of one block of a project, the project's map and the block's
// table's name. The one place that opens a project.
struct ProjectTargets {
  MapSettings Map;
  std::vector<std::int64_t> Offsets;
  std::string Table;
};

ProjectTargets TargetsOfBlock(const std::filesystem::path& file, const std::string& block,
                              const Warn& warn) {
  const Session session = Session::Open(file, warn);
  const SessionBlock* chosen = session.FindBlock(block);
  std::string names;
  for (const ProjectBlock& b : session.Settings().Blocks)
    names += (names.empty() ? "" : ", ") + b.Name;
  if (!chosen) {
    throw AppError(kErrBadSetting, "El proyecto " + file.string() + " no tiene el bloque «" +
                                       block + "»; sus bloques son: " + names + ".");
  }
  ProjectTargets out;
  out.Map = session.Settings().Map;
  out.Table = chosen->Settings->Table;
  for (const StringRecord& s : chosen->Strings) out.Offsets.push_back(s.Offset);
  return out;
}

}  // namespace

int RunRelative(const RelativeOptions& options, const std::atomic<bool>& stop, std::ostream& out,
                std::ostream& err, bool progress) {
  if (options.Endian != "little" && options.Endian != "big")
    return PrintRefusal(err, "El orden de bytes debe ser little o big: " + options.Endian);
  if (options.Hit < 0) return PrintRefusal(err, "--hit debe ser 0 o más.");
  if (options.Table && SameFile(*options.Table, options.Rom)) {
    return PrintRefusal(err, "Error: " + *options.Table +
                                 " es la ROM, que no se cambia; elija otro nombre para la tabla.");
  }
  try {
    const RelativeQuery query =
        ParseRelativeQuery(options.Text, options.Kana, options.Width,
                           options.Endian == "big" ? Endian::kBig : Endian::kLittle);
    const std::vector<std::uint8_t> rom = ReadRom(options.Rom);
    ProgressLine line(err, progress);
    const std::string label = "búsqueda relativa";
    const RelativeResult result = FindRelative(rom, query, ControlOf(stop, line, label));
    line.Erase();
    for (const RelativeHit& hit : result.Hits) {
      out << OffsetHex(hit.Offset);
      for (std::size_t c = 0; c < kLetterClasses; ++c) {
        const auto letterClass = static_cast<LetterClass>(c);
        if (query.Present(letterClass))
          out << ' ' << ClassLabel(letterClass) << '=' << ValueHex(hit.First[c], query.Width);
      }
      out << '\n';
    }
    out << std::flush;
    if (result.Truncated) {
      err << "Aviso: hay más de " << Thousands(static_cast<std::int64_t>(result.Hits.size()))
          << " resultados; se muestran los primeros. Escriba una palabra más larga.\n";
    }
    if (result.Stopped) {
      err << "Búsqueda detenida.\n";
      return kExitCancelled;
    }
    if (result.Hits.empty()) {
      err << "No se ha encontrado «" << options.Text << "» en " << options.Rom << ".\n";
      return kExitFailed;
    }
    if (options.Table) {
      if (options.Hit >= static_cast<std::int64_t>(result.Hits.size())) {
        return PrintRefusal(err, "--hit " + std::to_string(options.Hit) + ": solo hay " +
                                     std::to_string(result.Hits.size()) +
                                     " resultados, numerados desde 0.");
      }
      const RelativeHit& hit = result.Hits[static_cast<std::size_t>(options.Hit)];
      const std::string table = RelativeTableText(query, hit);
      WriteFileWhole(*options.Table, {table});
      const auto lines = std::count(table.begin(), table.end(), '\n') - 1;
      err << "Tabla escrita en " << *options.Table << ": " << lines << " entradas, del resultado "
          << options.Hit << " (" << OffsetHex(hit.Offset) << ").\n";
    }
  } catch (const AppError& e) {
    return ExitForError(err, e);
  }
  return kExitOk;
}

int RunTextSearch(const TextOptions& options, const std::atomic<bool>& stop, std::ostream& out,
                  std::ostream& err, bool progress) {
  if (const auto refusal = TableOptionsRefusal(options.TableFormat, options.TableEncoding))
    return PrintRefusal(err, *refusal);
  const bool extended = options.TableFormat == "extended";
  if (options.MinLength < 1) return PrintRefusal(err, "--min-length debe ser 1 o más.");
  std::optional<std::int64_t> start, end;
  if (options.Start && !(start = ParseHexOffset(*options.Start)))
    return PrintRefusal(err, "El offset inicial debe ser hexadecimal: " + *options.Start);
  if (options.End && !(end = ParseHexOffset(*options.End)))
    return PrintRefusal(err, "El offset final debe ser hexadecimal: " + *options.End);
  try {
    const std::vector<std::uint8_t> rom = ReadRom(options.Rom);
    const auto size = static_cast<std::int64_t>(rom.size());
    const std::int64_t first = start.value_or(0);
    const std::int64_t last = end.value_or(size - 1);
    if (first >= size || last >= size) {
      return PrintRefusal(err, "El rango " + OffsetHex(first) + "-" + OffsetHex(last) +
                                   " se sale de la ROM, que tiene " + OffsetHex(size) +
                                   " bytes (hasta " + OffsetHex(size - 1) + ").");
    }
    if (first > last) {
      return PrintRefusal(err, "El offset final (" + OffsetHex(last) +
                                   ") es menor que el inicial (" + OffsetHex(first) + ").");
    }
    const Warn warn = WarnTo(err);
    CompiledTable table = [&] {
      try {
        if (extended) {
          return CompiledTable::Compile(
              LoadExtendedTableFile(options.Table, options.TableEncoding.value_or(""), warn),
              ProjectStyle());
        }
        return CompiledTable::FromClassic(LoadTableFile(options.Table), ProjectStyle());
      } catch (const AppError& e) {
        RethrowNamingFile(e, options.Table, "la tabla");
      }
    }();
    TextSearchOptions search;
    search.MinEntries = options.MinLength;
    search.Start = first;
    search.End = last;
    search.WithText = !options.Targets;
    ProgressLine line(err, progress);
    const std::string label = "textos";
    const TextSearchResult result = FindTexts(table, rom, search, ControlOf(stop, line, label));
    line.Erase();
    for (const FoundText& text : result.Texts) {
      out << OffsetHex(text.Offset);
      if (!options.Targets) out << ' ' << text.Length << ' ' << OneLine(text.Text);
      out << '\n';
    }
    out << std::flush;
    if (result.Stopped) {
      err << "Búsqueda detenida.\n";
      return kExitCancelled;
    }
    if (result.Texts.empty()) {
      err << "No se ha encontrado ningún texto de " << options.MinLength
          << " entradas o más cerrado por un token de fin entre " << OffsetHex(first) << " y "
          << OffsetHex(last) << ".\n";
      return kExitFailed;
    }
  } catch (const AppError& e) {
    return ExitForError(err, e);
  }
  return kExitOk;
}

int RunPointerSearch(const PointerOptions& options, const std::atomic<bool>& stop,
                     std::ostream& out, std::ostream& err, bool progress) {
  if (options.Targets.has_value() == options.Project.has_value()) {
    return PrintRefusal(err,
                        "Indique de dónde salen los textos: --targets ARCHIVO o --project PROYECTO "
                        "--block BLOQUE (uno de los dos).");
  }
  if (options.Project.has_value() != options.Block.has_value())
    return PrintRefusal(err,
                        "--project y --block van juntos: el bloque del proyecto da los textos.");
  const bool anySetting = options.Header || options.Base || options.BankSize || options.Window;
  if (options.Project && (options.Map || anySetting)) {
    return PrintRefusal(
        err,
        "Con --project vale el mapa del proyecto: quite --map y sus ajustes (--header, "
        "--base, --bank-size, --window).");
  }
  if (!options.Map && anySetting)
    return PrintRefusal(err, "--header, --base, --bank-size y --window van con --map.");
  if (options.Size && (*options.Size < 2 || *options.Size > 4))
    return PrintRefusal(err,
                        "El tamaño de puntero debe ser 2, 3 o 4: " + std::to_string(*options.Size));
  if (options.Top < 1) return PrintRefusal(err, "--top debe ser 1 o más.");

  PointerSearchOptions search;
  search.Top = static_cast<std::size_t>(options.Top);
  if (options.Size) search.Sizes = {*options.Size};
  if (options.Map) {
    MapSettings map;
    const std::string& kind = *options.Map;
    if (kind == "linear") {
      map.Kind = MapKind::kLinear;
    } else if (kind == "lorom") {
      map.Kind = MapKind::kLoRom;
    } else if (kind == "hirom") {
      map.Kind = MapKind::kHiRom;
    } else if (kind == "banked") {
      map.Kind = MapKind::kBanked;
    } else {
      return PrintRefusal(err, "El mapa debe ser linear, lorom, hirom o banked: " + kind);
    }
    if (options.Base && map.Kind != MapKind::kLinear)
      return PrintRefusal(err, "--base solo vale con --map linear.");
    if ((options.BankSize || options.Window) && map.Kind != MapKind::kBanked)
      return PrintRefusal(err, "--bank-size y --window solo valen con --map banked.");
    const auto number = [&](const std::optional<std::string>& text, const char* name,
                            std::int64_t& into) {
      if (!text) return true;
      const auto value = NumberOption(*text);
      if (!value) {
        err << name << " debe ser un número (decimal, o hexadecimal con 0x): " << *text << '\n';
        return false;
      }
      into = *value;
      return true;
    };
    if (!number(options.Header, "--header", map.Header) ||
        !number(options.Base, "--base", map.Base) ||
        !number(options.BankSize, "--bank-size", map.BankSize) ||
        !number(options.Window, "--window", map.Window))
      return kExitRefused;
    if (map.Kind == MapKind::kBanked &&
        (map.BankSize <= 0 || map.Window + map.BankSize > 0x10000)) {
      return PrintRefusal(err, "El banco (--bank-size " + OffsetHex(map.BankSize) + ", --window " +
                                   OffsetHex(map.Window) +
                                   ") no cabe en 16 bits: window + bank-size debe ser como mucho "
                                   "0x10000.");
    }
    search.Maps = {map};
  }

  try {
    const std::vector<std::uint8_t> rom = ReadRom(options.Rom);
    const auto size = static_cast<std::int64_t>(rom.size());
    std::vector<std::int64_t> targets;
    std::string table = "main";
    if (options.Targets) {
      std::string text;
      try {
        text = ReadWholeFile(*options.Targets);
      } catch (const AppError& e) {
        RethrowNamingFile(e, *options.Targets, "los offsets de los textos");
      }
      targets = ParseTargets(text, *options.Targets);
      for (const std::int64_t t : targets) {
        if (t >= size) {
          throw AppError(kErrBadInput, *options.Targets + ": el offset " + OffsetHex(t) +
                                           " se sale de la ROM, que tiene " + OffsetHex(size) +
                                           " bytes.");
        }
      }
    } else {
      const Warn warn = WarnTo(err);
      ProjectTargets fromProject = TargetsOfBlock(*options.Project, *options.Block, warn);
      search.Maps = {fromProject.Map};
      table = fromProject.Table;
      for (const std::int64_t t : fromProject.Offsets)
        if (t < size) targets.push_back(t);
    }
    if (targets.empty()) {
      err << "No hay textos que buscar: "
          << (options.Targets ? *options.Targets + " no tiene ningún offset."
                              : "el bloque " + *options.Block + " no tiene ningún texto.")
          << '\n';
      return kExitFailed;
    }
    if (!search.Maps.empty() && search.Maps.front().Header >= size) {
      return PrintRefusal(err, "La cabecera (" + std::to_string(search.Maps.front().Header) +
                                   " bytes) ocupa toda la ROM.");
    }
    ProgressLine line(err, progress);
    const std::string label = "punteros";
    const PointerSearchResult result =
        FindPointerTables(rom, targets, search, ControlOf(stop, line, label));
    line.Erase();
    bool firstStanza = true;
    for (const PointerCandidate& c : result.Candidates) {
      const PointerFormat& p = c.Format;
      if (options.Toml) {
        if (!firstStanza) out << '\n';
        out << BlockStanza(c, table);
        firstStanza = false;
        continue;
      }
      out << OffsetHex(p.Offset) << ' ' << p.Count << ' ' << p.Size << ' '
          << (p.Order == Endian::kBig ? "big" : "little") << ' ' << p.Stride << ' '
          << MapLabel(c.Map) << ' ' << (p.Add < 0 ? "-" + OffsetHex(-p.Add) : OffsetHex(p.Add))
          << ' ' << c.Reached << '/' << result.Targets << '\n';
    }
    out << std::flush;
    if (result.Stopped) {
      err << "Búsqueda detenida.\n";
      return kExitCancelled;
    }
    if (result.Candidates.empty()) {
      err << "Ningún grupo de punteros alcanza " << (result.Targets == 1 ? "el texto" : "dos de los ")
          << (result.Targets == 1 ? "" : std::to_string(result.Targets) + " textos") << ".\n";
      return kExitFailed;
    }
  } catch (const AppError& e) {
    return ExitForError(err, e);
  }
  return kExitOk;
}

}  // namespace romscriber
