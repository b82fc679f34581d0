#include "scripts/tsv.h"

#include <algorithm>
#include <array>
#include <set>
#include <vector>

#include "scripts/script_text.h"

namespace romscriber {
namespace {

constexpr std::string_view kHeader = "id\tpointers\toffset\toriginal\ttranslation";
constexpr std::size_t kColumns = 5;

}  // namespace

void AppendTsvEscaped(std::string& out, std::string_view text) {
  // Runs without a character to escape go in whole.
  std::size_t run = 0;
  for (std::size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    if (c != '\\' && c != '\t' && c != '\n') continue;
    out.append(text.data() + run, i - run);
    out += c == '\\' ? "\\\\" : c == '\t' ? "\\t" : "\\n";
    run = i + 1;
  }
  out.append(text.data() + run, text.size() - run);
}

namespace {

std::string Unescape(std::string_view field, const std::string& fileName, int line,
                     const char* column) {
  std::string out;
  out.reserve(field.size());
  // Runs without a backslash go in whole.
  for (std::size_t i = 0;;) {
    const std::size_t slash = field.find('\\', i);
    out.append(field.substr(i, slash - i));
    if (slash == std::string_view::npos) break;
    const char next = slash + 1 < field.size() ? field[slash + 1] : '\0';
    if (next == '\\') {
      out += '\\';
    } else if (next == 't') {
      out += '\t';
    } else if (next == 'n') {
      out += '\n';
    } else {
      RefuseAt(fileName, line,
               std::string("la columna ") + column +
                   " tiene una barra inversa que no es \\\\, \\t ni \\n; escriba \\\\ para una "
                   "barra inversa");
    }
    i = slash + 2;
  }
  return out;
}

// The first kColumns fields of a row and how many there are in all.
struct Fields {
  std::array<std::string_view, kColumns> Field;
  std::size_t Count = 0;
};

Fields SplitTabs(std::string_view row) {
  Fields fields;
  std::size_t start = 0;
  for (;;) {
    const std::size_t tab = row.find('\t', start);
    if (fields.Count < kColumns) fields.Field[fields.Count] = row.substr(start, tab - start);
    ++fields.Count;
    if (tab == std::string_view::npos) return fields;
    start = tab + 1;
  }
}

// The ids met so far. Scripts list them in ascending order, which needs no
// search: only an id not above the greatest so far is looked up.
class IdSet {
 public:
  bool Insert(int id) {
    if (m_ascending.empty() || id > m_ascending.back()) {
      m_ascending.push_back(id);
      return true;
    }
    if (std::binary_search(m_ascending.begin(), m_ascending.end(), id)) return false;
    return m_others.insert(id).second;
  }

 private:
  std::vector<int> m_ascending;
  std::set<int> m_others;
};

}  // namespace

std::string WriteTsv(const ScriptView& script) {
  // Room for the texts and the numbers of a row, so the text is built once.
  std::size_t room = kHeader.size() + 1;
  for (const StringRecord& s : script.Strings)
    room += s.Original.size() + s.Translation.size() + 24 + 8 * s.Pointers.size();
  std::string out;
  out.reserve(room);
  out += kHeader;
  out += '\n';
  for (const StringRecord& s : script.Strings) {
    out += std::to_string(s.Id);
    out += '\t';
    for (std::size_t i = 0; i < s.Pointers.size(); ++i) {
      if (i > 0) out += ',';
      out += OffsetHex(s.Pointers[i].Offset);
    }
    out += '\t';
    out += OffsetHex(s.Offset);
    out += '\t';
    AppendTsvEscaped(out, s.Original);
    out += '\t';
    AppendTsvEscaped(out, s.Translation);
    out += '\n';
  }
  return out;
}

BlockScript ReadTsv(std::string_view bytes, const std::string& fileName,
                    const std::string& blockName) {
  if (bytes.substr(0, 3) == "\xEF\xBB\xBF") bytes.remove_prefix(3);
  if (const auto bad = FirstInvalidUtf8(bytes))
    RefuseAt(fileName, LineAt(bytes, *bad), "el archivo debe estar en UTF-8");

  BlockScript script;
  script.Block = blockName;
  script.Strings.reserve(static_cast<std::size_t>(std::count(bytes.begin(), bytes.end(), '\n')));
  IdSet ids;
  int lines = 0;
  ForEachLine(bytes, [&](std::string_view row, int line) {
    lines = line;
    if (line == 1) {
      if (row != kHeader)
        RefuseAt(fileName, line,
                 "la primera línea debe ser la cabecera "
                 "\"id<TAB>pointers<TAB>offset<TAB>original<TAB>translation\"");
      return;
    }
    if (row.empty()) return;  // a blank line, as editors leave at the end
    const Fields split = SplitTabs(row);
    if (split.Count != kColumns)
      RefuseAt(fileName, line,
               "la fila tiene " + std::to_string(split.Count) +
                   " columnas separadas por tabuladores y deben ser 5 (id, pointers, offset, "
                   "original, translation)");
    const auto& fields = split.Field;
    StringRecord s;
    s.Line = line;
    const auto id = ParseId(fields[0]);
    if (!id) RefuseAt(fileName, line, "el id debe ser un número decimal (0, 1, 2...)");
    if (!ids.Insert(*id))
      RefuseAt(fileName, line, "el id " + std::to_string(*id) + " ya estaba en una fila anterior");
    s.Id = *id;
    if (!fields[1].empty()) {
      std::size_t start = 0;
      for (;;) {
        const std::size_t comma = fields[1].find(',', start);
        const std::string_view item = fields[1].substr(start, comma - start);
        const auto pointer = ParseHexNumber(item);
        if (!pointer)
          RefuseAt(fileName, line,
                   "la columna pointers debe dar desplazamientos hexadecimales separados por "
                   "comas (1F000,1F002), no \"" +
                       std::string(item) + "\"");
        s.Pointers.push_back(*pointer);
        if (comma == std::string_view::npos) break;
        start = comma + 1;
      }
    }
    const auto offset = ParseHexNumber(fields[2]);
    if (!offset)
      RefuseAt(fileName, line,
               "la columna offset debe ser un desplazamiento hexadecimal (1F400), no \"" +
                   std::string(fields[2]) + "\"");
    s.Offset = *offset;
    s.Original = Unescape(fields[3], fileName, line, "original");
    s.Translation = Unescape(fields[4], fileName, line, "translation");
    script.Strings.push_back(std::move(s));
  });
  if (lines == 0) RefuseAt(fileName, 1, "el archivo está vacío: falta la cabecera");
  return script;
}

}  // namespace romscriber
