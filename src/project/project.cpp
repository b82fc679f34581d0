#include "project/project.h"

#include <toml++/toml.h>

#include <algorithm>
#include <cstdio>
#include <initializer_list>
#include <map>
#include <string_view>
#include <utility>

#include "base/app_error.h"
#include "base/file_io.h"

namespace romscriber {

namespace {

SourcePlace PlaceOf(const toml::source_region& region) {
  return {static_cast<int>(region.begin.line), static_cast<int>(region.begin.column)};
}

bool Before(const SourcePlace& a, const SourcePlace& b) {
  return std::pair(a.Line, a.Column) < std::pair(b.Line, b.Column);
}

std::string Hex(std::int64_t value) {
  char text[32];
  const auto magnitude = static_cast<unsigned long long>(value);
  std::snprintf(text, sizeof text, value < 0 ? "-0x%llX" : "0x%llX",
                value < 0 ? 0 - magnitude : magnitude);
  return text;
}

std::string Quoted(std::string_view text) {
  return "\"" + std::string(text) + "\"";
}

// "a, b, c" or, with `last` = " o ", "a, b o c".
std::string ListText(std::initializer_list<std::string_view> words, std::string_view last = ", ",
                     bool quote = false) {
  std::string text;
  std::size_t k = 0;
  for (std::string_view w : words) {
    if (k > 0) text += k + 1 == words.size() ? std::string(last) : std::string(", ");
    text += quote ? Quoted(w) : std::string(w);
    ++k;
  }
  return text;
}

std::string TypeName(toml::node_type type) {
  switch (type) {
    case toml::node_type::string:
      return "una cadena";
    case toml::node_type::integer:
      return "un número entero";
    case toml::node_type::floating_point:
      return "un número con decimales";
    case toml::node_type::boolean:
      return "un valor lógico";
    case toml::node_type::date:
    case toml::node_type::time:
    case toml::node_type::date_time:
      return "una fecha u hora";
    case toml::node_type::table:
      return "una tabla";
    case toml::node_type::array:
      return "una lista";
    default:
      return "un valor";
  }
}

// Raises every refusal of the project file with its place.
class Refuser {
 public:
  explicit Refuser(std::string file) : m_file(std::move(file)) {}

  [[noreturn]] void Fail(const SourcePlace& place, const std::string& what) const {
    throw AppError::At(kErrBadInput, {m_file, place.Line, place.Column}, what);
  }

 private:
  std::string m_file;
};

// One TOML table of the project with the name it has in messages ("[map]",
// "pointers de [[block]]"...). It refuses keys it does not know on creation
// and values of the wrong type or out of range when they are read.
class Section {
 public:
  Section(const Refuser& refuser, const toml::table& table, std::string where,
          std::initializer_list<std::string_view> keys)
      : m_refuser(refuser), m_table(table), m_where(std::move(where)) {
    // The first unknown key in file order, not in the table's (sorted) order.
    const toml::key* unknown = nullptr;
    for (auto&& [key, value] : table) {
      if (std::find(keys.begin(), keys.end(), key.str()) != keys.end()) continue;
      if (!unknown || Before(PlaceOf(key.source()), PlaceOf(unknown->source()))) unknown = &key;
    }
    if (unknown) {
      Fail(PlaceOf(unknown->source()), "clave desconocida " + Quoted(unknown->str()) + " en " +
                                           m_where + "; se esperaba una de: " + ListText(keys));
    }
  }

  SourcePlace Place() const { return PlaceOf(m_table.source()); }
  const std::string& Where() const { return m_where; }
  bool Has(std::string_view key) const { return m_table.contains(key); }
  SourcePlace PlaceOfValue(std::string_view key) const {
    return PlaceOf(m_table.get(key)->source());
  }

  [[noreturn]] void Fail(const SourcePlace& place, const std::string& what) const {
    m_refuser.Fail(place, what);
  }

  // A refusal of the value of `key`: "KEY en WHERE WHAT; se esperaba EXPECTED".
  [[noreturn]] void FailValue(std::string_view key, const std::string& what,
                              const std::string& expected) const {
    Fail(PlaceOfValue(key),
         Quoted(key) + " en " + m_where + " " + what + "; se esperaba " + expected);
  }

  // The value of `key` when it has type `type`; nothing when absent and not
  // required.
  const toml::node* Value(std::string_view key, toml::node_type type, bool required,
                          const std::string& expected) const {
    const toml::node* node = m_table.get(key);
    if (!node) {
      if (!required) return nullptr;
      Fail(Place(), "falta la clave " + Quoted(key) + " en " + m_where + "; se esperaba " +
                        std::string(key) + " = " + expected);
    }
    if (node->type() != type) FailValue(key, "es " + TypeName(node->type()), expected);
    return node;
  }

  std::optional<std::int64_t> Integer(std::string_view key, std::int64_t least, bool required,
                                      const std::string& expected) const {
    const toml::node* node = Value(key, toml::node_type::integer, required, expected);
    if (!node) return std::nullopt;
    const std::int64_t value = node->as_integer()->get();
    if (value < least) FailValue(key, "vale " + std::to_string(value), expected);
    return value;
  }

  std::optional<std::string> String(std::string_view key, bool required,
                                    const std::string& expected) const {
    const toml::node* node = Value(key, toml::node_type::string, required, expected);
    if (!node) return std::nullopt;
    std::string value = node->as_string()->get();
    if (value.empty()) FailValue(key, "está vacía", expected);
    return value;
  }

  std::optional<bool> Boolean(std::string_view key) const {
    const toml::node* node = Value(key, toml::node_type::boolean, false, "true o false");
    if (!node) return std::nullopt;
    return node->as_boolean()->get();
  }

  // Index of the value of `key` among `words`.
  std::optional<std::size_t> Choice(std::string_view key,
                                    std::initializer_list<std::string_view> words) const {
    const std::string expected = ListText(words, " o ", true);
    const toml::node* node = Value(key, toml::node_type::string, false, expected);
    if (!node) return std::nullopt;
    const std::string& value = node->as_string()->get();
    const auto found = std::find(words.begin(), words.end(), value);
    if (found == words.end()) FailValue(key, "vale " + Quoted(value), expected);
    return static_cast<std::size_t>(found - words.begin());
  }

  const toml::table* Table(std::string_view key, const std::string& expected) const {
    const toml::node* node = Value(key, toml::node_type::table, false, expected);
    return node ? node->as_table() : nullptr;
  }

  const toml::array* Array(std::string_view key, const std::string& expected) const {
    const toml::node* node = Value(key, toml::node_type::array, false, expected);
    return node ? node->as_array() : nullptr;
  }

 private:
  const Refuser& m_refuser;
  const toml::table& m_table;
  std::string m_where;
};

constexpr std::string_view kNonNegative = "un número entero mayor o igual que 0";
constexpr std::string_view kPositive = "un número entero mayor que 0";

// The tables of an array of tables such as [[block]] or free = [ {...} ].
std::vector<const toml::table*> TablesOf(const Section& section, std::string_view key,
                                         const std::string& expected) {
  std::vector<const toml::table*> tables;
  const toml::array* array = section.Array(key, expected);
  if (!array) return tables;
  for (const toml::node& item : *array) {
    if (!item.is_table()) {
      section.Fail(PlaceOf(item.source()), Quoted(key) + " en " + section.Where() + " contiene " +
                                               TypeName(item.type()) + "; se esperaba " + expected);
    }
    tables.push_back(item.as_table());
  }
  return tables;
}

// A count the tools keep as an int (widths, lines): refused above a million.
int Small(const Section& section, std::string_view key, std::int64_t value) {
  constexpr std::int64_t kMost = 1000000;
  if (value > kMost)
    section.FailValue(key, "vale " + std::to_string(value), "un número entero hasta 1000000");
  return static_cast<int>(value);
}

bool IsBlockName(std::string_view name) {
  return std::all_of(name.begin(), name.end(), [](char c) {
    return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '_';
  });
}

class ProjectReader {
 public:
  ProjectReader(const std::filesystem::path& file, Project& project)
      : m_refuser(file.string()), m_project(project) {
    m_folder = file.parent_path();
  }

  void Run(const toml::table& root) {
    const Section top(m_refuser, root, "el nivel superior",
                      {"rom", "scripts", "format", "output", "map", "table", "block"});
    m_project.Rom = m_folder / *top.String("rom", true, "una cadena con la ruta de la ROM");
    if (auto scripts = top.String("scripts", false, "una cadena con la carpeta de los guiones"))
      m_project.Scripts = m_folder / *scripts;
    constexpr ScriptFormat formats[] = {ScriptFormat::kTsv, ScriptFormat::kPo, ScriptFormat::kAtlas};
    if (auto f = top.Choice("format", {"tsv", "po", "atlas"})) m_project.Format = formats[*f];
    if (const toml::table* output = top.Table("output", "una tabla [output]")) ReadOutput(*output);
    if (const toml::table* map = top.Table("map", "una tabla [map]")) ReadMap(*map);
    for (const toml::table* t : TablesOf(top, "table", "tablas [[table]]"))
      ReadTable(*t);
    for (const toml::table* b : TablesOf(top, "block", "tablas [[block]]"))
      ReadBlock(*b);
    for (const ProjectBlock& block : m_project.Blocks) {
      if (m_project.FindTable(block.Table)) continue;
      std::string known;
      for (const ProjectTable& t : m_project.Tables)
        known += (known.empty() ? "" : ", ") + t.Name;
      m_refuser.Fail(
          m_tablePlaces.at(&block - m_project.Blocks.data()),
          "el bloque " + Quoted(block.Name) + " nombra la tabla " + Quoted(block.Table) +
              ", que no está en el proyecto; se esperaba " +
              (known.empty() ? "una sección [[table]] con ese nombre" : "una de: " + known));
    }
  }

 private:
  void ReadOutput(const toml::table& table) {
    const Section output(m_refuser, table, "[output]", {"rom", "ips", "bps", "emulator"});
    OutputSettings& o = m_project.Output;
    const auto file = [&](std::string_view key, std::optional<std::filesystem::path>& into) {
      const auto path = output.String(key, false, "una cadena con la ruta del archivo");
      if (!path) return;
      into = m_folder / *path;
      // The original ROM is never written over.
      if (SameFile(*into, m_project.Rom)) {
        output.FailValue(key, "es la ROM original del proyecto, que nunca se cambia",
                         "otro nombre para la salida");
      }
    };
    file("rom", o.Rom);
    file("ips", o.Ips);
    file("bps", o.Bps);
    if (auto emulator = output.String("emulator", false, "una cadena con el programa del emulador")) {
      o.Emulator = emulator->find('/') == std::string::npos ? *emulator
                                                             : (m_folder / *emulator).string();
    }
  }

  void ReadMap(const toml::table& table) {
    const Section map(m_refuser, table, "[map]",
                      {"kind", "header", "base", "bank_size", "window", "fast"});
    MapSettings& s = m_project.Map;
    constexpr MapKind kinds[] = {MapKind::kLinear, MapKind::kLoRom, MapKind::kHiRom,
                                 MapKind::kBanked};
    if (auto k = map.Choice("kind", {"linear", "lorom", "hirom", "banked"})) s.Kind = kinds[*k];
    s.Header = map.Integer("header", 0, false, std::string(kNonNegative)).value_or(s.Header);
    // Settings of another kind of map would be silently ignored: refuse them.
    const auto onlyWith = [&](std::string_view key, MapKind kind, std::string_view kindName) {
      if (map.Has(key) && s.Kind != kind) {
        map.FailValue(key, "solo vale con kind = " + Quoted(kindName),
                      "quitarla o poner kind = " + Quoted(kindName));
      }
    };
    onlyWith("base", MapKind::kLinear, "linear");
    onlyWith("bank_size", MapKind::kBanked, "banked");
    onlyWith("window", MapKind::kBanked, "banked");
    onlyWith("fast", MapKind::kLoRom, "lorom");
    s.Base = map.Integer("base", 0, false, std::string(kNonNegative)).value_or(s.Base);
    s.BankSize = map.Integer("bank_size", 1, false, std::string(kPositive)).value_or(s.BankSize);
    s.Window = map.Integer("window", 0, false, std::string(kNonNegative)).value_or(s.Window);
    s.Fast = map.Boolean("fast").value_or(s.Fast);
  }

  void ReadTable(const toml::table& table) {
    const Section section(m_refuser, table, "[[table]]",
                          {"name", "file", "format", "encoding", "widths", "default_width"});
    ProjectTable t;
    t.Place = section.Place();
    t.Name = *section.String("name", true, "una cadena no vacía");
    for (const ProjectTable& other : m_project.Tables) {
      if (other.Name == t.Name) {
        section.FailValue("name",
                          "repite la tabla " + Quoted(t.Name) + " de la línea " +
                              std::to_string(other.Place.Line),
                          "un nombre distinto para cada tabla");
      }
    }
    t.File = m_folder / *section.String("file", true, "una cadena con la ruta de la tabla");
    if (section.Choice("format", {"extended", "classic"}).value_or(0) == 1) {
      t.Format = TableFormat::kClassic;
    }
    const std::optional<std::string> encoding =
        section.String("encoding", false, "una cadena con el nombre de una codificación");
    if (encoding && t.Format == TableFormat::kClassic) {
      section.FailValue("encoding", "no vale con format = \"classic\"",
                        "quitarla o poner format = \"extended\"");
    }
    t.Encoding = encoding.value_or("");
    if (auto widths = section.String("widths", false, "una cadena con la ruta del archivo de anchos"))
      t.Widths = m_folder / *widths;
    if (auto width = section.Integer("default_width", 0, false, std::string(kNonNegative)))
      t.DefaultWidth = Small(section, "default_width", *width);
    m_project.Tables.push_back(std::move(t));
  }

  Region ReadRegion(const toml::table& table, std::string where) const {
    const Section section(m_refuser, table, std::move(where), {"start", "end"});
    const std::string expected(kNonNegative);
    Region r;
    r.Place = section.Place();
    r.Start = *section.Integer("start", 0, true, expected);
    r.End = *section.Integer("end", 0, true, expected);
    if (r.Start > r.End) {
      section.FailValue("end", "vale " + Hex(r.End) + ", menos que start (" + Hex(r.Start) + ")",
                        "un final mayor o igual que el inicio");
    }
    return r;
  }

  PointerFormat ReadPointers(const toml::table& table) const {
    const Section section(m_refuser, table, "pointers de [[block]]",
                          {"offset", "count", "size", "endian", "stride", "add", "bank"});
    PointerFormat p;
    p.Offset = *section.Integer("offset", 0, true, std::string(kNonNegative));
    p.Count = *section.Integer("count", 1, true, std::string(kPositive));
    const std::int64_t size = *section.Integer("size", 0, true, "2, 3 o 4");
    if (size < 2 || size > 4) section.FailValue("size", "vale " + std::to_string(size), "2, 3 o 4");
    p.Size = static_cast<int>(size);
    if (section.Choice("endian", {"little", "big"}).value_or(0) == 1) p.Order = Endian::kBig;
    p.Stride =
        section
            .Integer("stride", size, false,
                     "un número entero mayor o igual que size (" + std::to_string(size) + ")")
            .value_or(size);
    // The lowest value keeps -add representable.
    p.Add = section.Integer("add", INT64_MIN + 1, false, "un número entero").value_or(0);
    if (section.Has("bank") && size != 2) {
      section.FailValue("bank", "solo vale con size = 2", "quitarla o poner size = 2");
    }
    p.Bank = section.Integer("bank", 0, false, "un número entero de 0 a 0xFF");
    if (p.Bank && *p.Bank > 0xFF) {
      section.FailValue("bank", "vale " + Hex(*p.Bank), "un número entero de 0 a 0xFF");
    }
    return p;
  }

  void ReadBlock(const toml::table& table) {
    const Section section(m_refuser, table, "[[block]]",
                          {"name", "table", "pointers", "range", "until", "max_length", "free",
                           "line_limit", "max_lines"});
    const std::string nameExpected = "una cadena de letras, dígitos, '-' y '_'";
    ProjectBlock b;
    b.Place = section.Place();
    b.Name = *section.String("name", true, nameExpected);
    if (!IsBlockName(b.Name)) section.FailValue("name", "vale " + Quoted(b.Name), nameExpected);
    for (const ProjectBlock& other : m_project.Blocks) {
      if (other.Name == b.Name) {
        section.FailValue("name",
                          "repite el bloque " + Quoted(b.Name) + " de la línea " +
                              std::to_string(other.Place.Line),
                          "un nombre distinto para cada bloque");
      }
    }
    b.Table = *section.String("table", true, "una cadena con el nombre de una [[table]]");
    const std::string pointersExpected = "una tabla { offset = ..., count = ..., size = ... }";
    const std::string rangeExpected = "una tabla { start = ..., end = ... }";
    const toml::table* pointers = section.Table("pointers", pointersExpected);
    const toml::table* range = section.Table("range", rangeExpected);
    if (pointers && range) {
      section.FailValue("range", "acompaña a pointers", "solo una de las dos claves");
    }
    if (!pointers && !range) {
      section.Fail(b.Place, "al bloque " + Quoted(b.Name) +
                                " le falta pointers o range; se esperaba pointers = " +
                                pointersExpected + " o range = " + rangeExpected);
    }
    if (pointers) {
      b.Pointers = ReadPointers(*pointers);
      b.PointersPlace = section.PlaceOfValue("pointers");
    } else {
      b.Range = ReadRegion(*range, "range de [[block]]");
      b.PointersPlace = section.PlaceOfValue("range");
    }
    if (section.Choice("until", {"end", "next"}).value_or(0) == 1) b.StringEnd = Until::kNext;
    b.MaxLength =
        section.Integer("max_length", 1, false, std::string(kPositive)).value_or(b.MaxLength);
    for (const toml::table* r :
         TablesOf(section, "free", "una lista de tablas { start = ..., end = ... }")) {
      b.Free.push_back(ReadRegion(*r, "free de [[block]]"));
    }
    if (auto limit = section.Integer("line_limit", 1, false, std::string(kPositive)))
      b.LineLimit = Small(section, "line_limit", *limit);
    if (auto lines = section.Integer("max_lines", 1, false, std::string(kPositive)))
      b.MaxLines = Small(section, "max_lines", *lines);
    m_tablePlaces.push_back(section.PlaceOfValue("table"));
    m_project.Blocks.push_back(std::move(b));
  }

  Refuser m_refuser;
  Project& m_project;
  std::filesystem::path m_folder;
  std::vector<SourcePlace> m_tablePlaces;  // of each block's `table` value
};

}  // namespace

const ProjectTable* Project::FindTable(const std::string& name) const {
  for (const ProjectTable& t : Tables) {
    if (t.Name == name) return &t;
  }
  return nullptr;
}

Project LoadProject(const std::filesystem::path& file) {
  return ParseProject(ReadWholeFile(file), file);
}

Project ParseProject(std::string_view text, const std::filesystem::path& file) {
  Project project;
  project.File = file;
  toml::table root;
  try {
    root = toml::parse(text, std::string_view(file.string()));
  } catch (const toml::parse_error& e) {
    // The parser's own detail is in English; the place is what the user needs.
    const SourcePlace place = PlaceOf(e.source());
    throw AppError::At(kErrBadInput, {file.string(), place.Line, place.Column},
                       "sintaxis TOML no válida (" + std::string(e.description()) +
                           "); se esperaba un archivo TOML 1.0");
  }
  ProjectReader(file, project).Run(root);
  return project;
}

void CheckProjectAgainstRom(const Project& project, std::int64_t romSize) {
  const Refuser refuser(project.File.string());
  const auto outside = [&](const SourcePlace& place, const std::string& what, std::int64_t first,
                           std::int64_t last) {
    refuser.Fail(place, what + " (" + Hex(first) + " a " + Hex(last) +
                            ") se sale de la ROM, que tiene " + Hex(romSize) +
                            " bytes; se esperaba que acabase como mucho en " + Hex(romSize - 1));
  };
  struct FreeRegion {
    const Region* Where;
    const std::string* Block;
  };
  std::vector<FreeRegion> free;
  for (const ProjectBlock& b : project.Blocks) {
    if (b.Pointers) {
      const PointerFormat& p = *b.Pointers;
      const std::int64_t stride = p.Stride > 0 ? p.Stride : p.Size;
      // Inside when the last pointer's last byte is: offset + (count-1)*stride + size - 1 <
      // romSize, checked without overflowing.
      const bool inside =
          p.Offset + p.Size <= romSize && p.Count - 1 <= (romSize - p.Size - p.Offset) / stride;
      if (!inside) {
        const bool small = p.Count - 1 <= (INT64_MAX - p.Offset - p.Size) / stride;
        outside(b.PointersPlace, "la tabla de punteros del bloque " + Quoted(b.Name), p.Offset,
                small ? p.Offset + (p.Count - 1) * stride + p.Size - 1 : INT64_MAX);
      }
    }
    if (b.Range && b.Range->End >= romSize) {
      outside(b.PointersPlace, "el rango del bloque " + Quoted(b.Name), b.Range->Start,
              b.Range->End);
    }
    for (const Region& r : b.Free) {
      if (r.End >= romSize) {
        outside(r.Place, "la zona libre del bloque " + Quoted(b.Name), r.Start, r.End);
      }
      free.push_back({&r, &b.Name});
    }
  }
  // Sorted by start, a region overlaps an earlier one exactly when it starts
  // at or before the furthest end so far.
  std::stable_sort(free.begin(), free.end(), [](const FreeRegion& a, const FreeRegion& b) {
    return a.Where->Start < b.Where->Start;
  });
  const FreeRegion* furthest = nullptr;
  for (const FreeRegion& f : free) {
    if (furthest && f.Where->Start <= furthest->Where->End) {
      // Reported where the later of the two is written.
      const bool fLater = Before(furthest->Where->Place, f.Where->Place);
      const FreeRegion& later = fLater ? f : *furthest;
      const FreeRegion& earlier = fLater ? *furthest : f;
      refuser.Fail(later.Where->Place,
                   "la zona libre del bloque " + Quoted(*later.Block) + " (" +
                       Hex(later.Where->Start) + " a " + Hex(later.Where->End) +
                       ") se solapa con la del bloque " + Quoted(*earlier.Block) + " (" +
                       Hex(earlier.Where->Start) + " a " + Hex(earlier.Where->End) + ", línea " +
                       std::to_string(earlier.Where->Place.Line) +
                       "); se esperaban zonas libres sin bytes en común");
    }
    if (!furthest || f.Where->End > furthest->Where->End) furthest = &f;
  }
}

std::string PlaceText(const Project& project, const SourcePlace& place) {
  return project.File.string() + ":" + std::to_string(place.Line) + ":" +
         std::to_string(place.Column);
}

}  // namespace romscriber
