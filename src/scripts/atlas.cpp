#include "scripts/atlas.h"

#include <algorithm>
#include <cstdint>
#include <map>
#include <numeric>
#include <set>
#include <tuple>

#include "base/app_error.h"
#include "hex/hex.h"
#include "scripts/script_text.h"

namespace romscriber {
namespace {

constexpr const char* kTableVariable = "Tabla";

// An entry's text as Atlas must hold it: the dump text without line breaks,
// which Atlas never sees in a script.
std::string AtlasText(std::string_view shown) {
  std::string out;
  out.reserve(shown.size());
  for (std::size_t i = 0; i < shown.size(); ++i) {
    if (shown[i] == '\n') continue;
    if (shown[i] == '\r' && i + 1 < shown.size() && shown[i + 1] == '\n') continue;
    out += shown[i];
  }
  return out;
}

// Entries in the order the table copy lists them: shorter keys first, so
// that of several keys with one text Atlas, which keeps the first, takes the
// one of fewest bytes.
std::vector<const TableEntry*> TableOrder(const CompiledTable& table) {
  std::vector<const TableEntry*> order;
  for (const TableEntry& e : table.Entries())
    order.push_back(&e);
  std::stable_sort(order.begin(), order.end(), [](const TableEntry* a, const TableEntry* b) {
    return a->KeySize < b->KeySize;
  });
  return order;
}

// --- Pointers ----------------------------------------------------------------

// Atlas's addressing type for the map (banked maps have none that every
// Atlas 1.11 computes right: its "GB" type is wrong from bank 2 on before
// 1.12, so they go through LINEAR pointers with an offsetting per bank).
const char* AtlasType(const MapSettings& map) {
  switch (map.Kind) {
    case MapKind::kLoRom:
      return map.Fast ? "LOROM80" : "LOROM00";
    case MapKind::kHiRom:
      return "HIROM";
    case MapKind::kLinear:
    case MapKind::kBanked:
      break;
  }
  return "LINEAR";
}

// The address Atlas computes for a file offset after #HDR, with its own
// 32-bit arithmetic (LoROM's bank byte is a signed char there).
std::uint32_t AtlasAddress(const MapSettings& map, std::int64_t offset) {
  const auto r = static_cast<std::uint32_t>(offset - map.Header);
  const std::string_view type = AtlasType(map);
  if (type == "HIROM") return r + 0xC00000u;
  if (type == "LINEAR") return r;
  const auto bank = static_cast<std::int8_t>((r & 0xFF0000) >> 16);
  const std::uint32_t word = r & 0xFFFF;
  std::uint32_t a = static_cast<std::uint32_t>(bank * 0x20000) +
                    (word >= 0x8000 ? 0x10000 + word : word + 0x8000);
  if (type == "LOROM80") a += 0x800000;
  return a;
}

struct CustomPointer {
  std::int64_t Offsetting = 0;  // Atlas subtracts it from its address
  int Bits = 16;
  auto operator<=>(const CustomPointer&) const = default;
};

// The Atlas offsetting that turns Atlas's address of `target` into the value
// the pointer must hold, reduced to the pointer's size and written as the
// smallest signed number (0: a plain #W16/#W24/#W32 does).
std::int64_t Offsetting(const AddressMap& map, const PointerFormat& format, std::int64_t target) {
  const int bits = format.Size * 8;
  const std::int64_t value = map.ToAddress(target) - format.Add;
  const std::int64_t modulus = std::int64_t{1} << bits;
  std::int64_t off =
      (static_cast<std::int64_t>(AtlasAddress(map.Settings(), target)) - value) % modulus;
  if (off < 0) off += modulus;
  if (off > modulus / 2) off -= modulus;
  return off;
}

std::string AtlasNumber(std::int64_t value) {
  return value < 0 ? "$-" + OffsetHex(-value) : "$" + OffsetHex(value);
}

// A text line that Atlas would not take as text, or that starts with the
// escape itself, is written after a '\'.
bool NeedsEscape(std::string_view line) {
  if (line.empty()) return false;
  if (line[0] == '\\') return true;
  const std::size_t first = line.find_first_not_of(" \t");
  if (first == std::string_view::npos) return true;
  return line[first] == '#' || line.substr(first, 2) == "//";
}

std::vector<std::string_view> SplitLines(std::string_view text) {
  std::vector<std::string_view> lines;
  std::size_t start = 0;
  for (;;) {
    const std::size_t end = text.find('\n', start);
    if (end == std::string_view::npos) {
      lines.push_back(text.substr(start));
      return lines;
    }
    lines.push_back(text.substr(start, end - start));
    start = end + 1;
  }
}

// --- Reading -------------------------------------------------------------------

struct Command {
  std::string Name;
  std::vector<std::string> Args;
};

// "#NAME(arg, arg)" with an optional "// comment" after it; `comment` gets
// the comment's text. Nothing when the line is not written so.
std::optional<Command> ParseCommand(std::string_view line, std::string_view* comment) {
  line = Trim(line);
  if (line.empty() || line[0] != '#') return std::nullopt;
  const std::size_t open = line.find('(');
  const std::size_t close = line.find(')');
  if (open == std::string_view::npos || close == std::string_view::npos || close < open)
    return std::nullopt;
  Command cmd;
  cmd.Name = Trim(line.substr(1, open - 1));
  if (cmd.Name.empty()) return std::nullopt;
  for (const char c : cmd.Name)
    if (!((c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9')))
      return std::nullopt;
  std::string_view args = line.substr(open + 1, close - open - 1);
  if (!Trim(args).empty()) {
    for (;;) {
      const std::size_t comma = args.find(',');
      cmd.Args.emplace_back(Trim(args.substr(0, comma)));
      if (comma == std::string_view::npos) break;
      args.remove_prefix(comma + 1);
    }
  }
  const std::string_view rest = Trim(line.substr(close + 1));
  if (!rest.empty() && rest.substr(0, 2) != "//") return std::nullopt;
  if (comment != nullptr) *comment = rest.empty() ? rest : Trim(rest.substr(2));
  return cmd;
}

// An Atlas number: "$" and upper-case hex digits, or decimal digits.
std::optional<std::int64_t> AtlasValue(std::string_view text) {
  if (!text.empty() && text[0] == '$') {
    text.remove_prefix(1);
    for (const char c : text)
      if (c >= 'a' && c <= 'f') return std::nullopt;  // Atlas reads upper-case hex only
    return ParseHexNumber(text);
  }
  const auto value = ParseId(text);
  if (!value) return std::nullopt;
  return *value;
}

bool IsWriteWidth(const std::string& name) {
  return name == "W16" || name == "W24" || name == "W32";
}

}  // namespace

std::string WriteAtlasTable(const CompiledTable& table) {
  std::string out;
  for (const TableEntry* e : TableOrder(table)) {
    const std::string text = AtlasText(table.Shown(*e));
    if (text.empty()) continue;  // Atlas has no form for it
    if (e->Kind == TokenKind::kEnd) out += '/';
    out += TextToHex(table.Key(*e)) + "=" + text + "\n";
  }
  return out;
}

std::vector<std::string> AtlasTableLimits(const CompiledTable& table) {
  std::vector<std::string> limits;
  std::map<std::string, const TableEntry*> byText;
  for (const TableEntry* e : TableOrder(table)) {
    const std::string text = AtlasText(table.Shown(*e));
    if (text.empty()) {
      limits.push_back("La entrada " + TextToHex(table.Key(*e)) +
                       " solo muestra saltos de línea, que Atlas no ve en un guion: no puede "
                       "escribirla.");
      continue;
    }
    const auto [it, added] = byText.emplace(text, e);
    if (!added && table.Shown(*it->second) != table.Shown(*e))
      limits.push_back("Las entradas " + TextToHex(table.Key(*it->second)) + " y " +
                       TextToHex(table.Key(*e)) +
                       " solo se distinguen por un salto de línea; Atlas las lee igual (\"" + text +
                       "\") y escribe siempre " + TextToHex(table.Key(*it->second)) + ".");
  }
  return limits;
}

std::string WriteAtlas(const ScriptView& script, const AtlasBlock& block) {
  const std::string name(script.Block);
  const AddressMap& map = block.Map;
  const MapSettings& settings = map.Settings();
  // The custom pointers the strings need, named in order of first use.
  std::map<CustomPointer, std::string> custom;
  std::vector<CustomPointer> customOrder;
  for (const StringRecord& s : script.Strings) {
    if (s.Pointers.empty()) continue;
    if (!block.Pointers)
      throw AppError(kErrBadSetting, "bloque " + name + ", texto " + std::to_string(s.Id) +
                                         ": tiene punteros y el bloque no dice cómo son");
    const CustomPointer p{Offsetting(map, *block.Pointers, s.Offset), block.Pointers->Size * 8};
    if (p.Offsetting != 0 && custom.emplace(p, "").second) customOrder.push_back(p);
  }
  // Atlas reads a name whose characters after the first are all digits as a
  // number ("P1"), and has no 'K' among its name letters: hence "Ptr1".
  for (std::size_t i = 0; i < customOrder.size(); ++i)
    custom[customOrder[i]] = "Ptr" + std::to_string(i + 1);

  // The body first: it tells which strings Atlas cannot take as written.
  std::string body;
  std::vector<int> escaped;
  for (const StringRecord& s : script.Strings) {
    body += "#JMP(" + AtlasNumber(s.Offset) + ")  // texto " + std::to_string(s.Id) + "\n";
    for (const PointerRef& pointer : s.Pointers) {
      const CustomPointer p{Offsetting(map, *block.Pointers, s.Offset), block.Pointers->Size * 8};
      if (p.Offsetting == 0)
        body += "#W" + std::to_string(p.Bits) + "(" + AtlasNumber(pointer.Offset) + ")\n";
      else
        body += "#WRITE(" + custom[p] + ", " + AtlasNumber(pointer.Offset) + ")\n";
    }
    for (const std::string_view line : SplitLines(s.Original))
      body += "// " + std::string(line) + "\n";
    const std::string& text = s.Translation.empty() ? s.Original : s.Translation;
    if (text.empty()) continue;
    bool anyEscaped = false;
    for (const std::string_view line : SplitLines(text)) {
      if (NeedsEscape(line)) {
        body += '\\';
        anyEscaped = true;
      }
      body += std::string(line) + "\n";
    }
    if (anyEscaped) escaped.push_back(s.Id);
  }

  std::string out;
  out += "// Guion de Atlas del bloque " + name + ".\n";
  out +=
      "// Cada texto: #JMP a su sitio, la escritura de cada uno de sus punteros, el original\n"
      "// en líneas \"// \" y debajo el texto que se inserta (el original mientras no se\n"
      "// traduzca). Atlas no inserta los saltos de línea del guion: los da la entrada de la\n"
      "// tabla que acaba la línea (<br>, <LINE>...). Cada texto se escribe donde estaba el\n"
      "// original, y uno más largo pisa lo que le sigue; romscriber-insert, en cambio, los\n"
      "// reubica y rehace los punteros.\n";
  if (!block.TableLimits.empty() || !escaped.empty()) {
    out += "//\n// ATENCIÓN: Atlas no inserta bien este guion; úselo solo con romscriber-insert.\n";
    for (const std::string& limit : block.TableLimits)
      out += "// - " + limit + "\n";
    if (!escaped.empty()) {
      out +=
          "// - Textos con una línea que empieza por '#', '//' o '\\', o que solo tiene espacios\n"
          "//   (se escribe tras un '\\' que Atlas insertaría):";
      for (std::size_t i = 0; i < escaped.size(); ++i)
        out += (i == 0 ? " " : ", ") + std::to_string(escaped[i]);
      out += ".\n";
    }
  }
  out += std::string("#VAR(") + kTableVariable + ", TABLE)\n";
  out += "#ADDTBL(\"" + block.TableFile + "\", " + kTableVariable + ")\n";
  out += std::string("#ACTIVETBL(") + kTableVariable + ")\n";
  out += "#HDR(" + AtlasNumber(settings.Header) + ")\n";
  out += std::string("#SMA(\"") + AtlasType(settings) + "\")\n";
  if (block.Pointers && block.Pointers->Order == Endian::kBig) out += "#ENDIANSWAP(\"TRUE\")\n";
  for (const CustomPointer& p : customOrder) {
    const std::string& name = custom[p];
    out += "#VAR(" + name + ", CUSTOMPOINTER)\n";
    out += "#CREATEPTR(" + name + ", \"" + AtlasType(settings) + "\", " + AtlasNumber(p.Offsetting) +
           ", " + std::to_string(p.Bits) + ")\n";
  }
  out += "\n";
  return out + body;
}

BlockScript ReadAtlas(std::string_view bytes, const std::string& fileName,
                      const std::string& blockName) {
  if (bytes.substr(0, 3) == "\xEF\xBB\xBF") bytes.remove_prefix(3);
  if (const auto bad = FirstInvalidUtf8(bytes))
    RefuseAt(fileName, LineAt(bytes, *bad), "el archivo debe estar en UTF-8");

  std::vector<std::string_view> lines;
  ForEachLine(bytes, [&](std::string_view line, int) { lines.push_back(line); });
  const auto isJump = [](std::string_view line) { return Trim(line).substr(0, 5) == "#JMP("; };
  const auto isComment = [](std::string_view line) { return Trim(line).substr(0, 2) == "//"; };

  BlockScript script;
  script.Block = blockName;
  std::set<std::string> pointerNames;
  std::size_t i = 0;
  // Before the first string: commands, comments and blank lines only.
  for (; i < lines.size() && !isJump(lines[i]); ++i) {
    const std::string_view line = Trim(lines[i]);
    const int number = static_cast<int>(i) + 1;
    if (line.empty() || isComment(line)) continue;
    if (line[0] != '#')
      RefuseAt(fileName, number, "hay texto antes del primer #JMP; cada texto va tras su #JMP");
    const auto cmd = ParseCommand(line, nullptr);
    if (!cmd) RefuseAt(fileName, number, "orden de Atlas mal escrita; se esperaba #ORDEN(...)");
    if (cmd->Name == "CREATEPTR" && !cmd->Args.empty()) pointerNames.insert(cmd->Args[0]);
  }

  std::set<int> ids;
  while (i < lines.size()) {
    StringRecord s;
    s.Line = static_cast<int>(i) + 1;
    std::string_view comment;
    const auto jump = ParseCommand(lines[i], &comment);
    const std::optional<std::int64_t> offset =
        jump && jump->Args.size() == 1 ? AtlasValue(jump->Args[0]) : std::nullopt;
    if (!offset)
      RefuseAt(fileName, s.Line,
               "se esperaba #JMP($HEX) con el desplazamiento del texto en hexadecimal en "
               "mayúsculas");
    s.Offset = *offset;
    s.Id = static_cast<int>(script.Strings.size());
    if (comment.substr(0, 6) == "texto ") {
      const auto id = ParseId(Trim(comment.substr(6)));
      if (!id) RefuseAt(fileName, s.Line, "tras \"// texto\" debe ir el id del texto, un número");
      s.Id = *id;
    }
    if (!ids.insert(s.Id).second)
      RefuseAt(fileName, s.Line, "el texto " + std::to_string(s.Id) + " ya estaba antes");
    ++i;
    // Its pointer writes.
    for (; i < lines.size() && !isJump(lines[i]) && Trim(lines[i]).substr(0, 1) == "#"; ++i) {
      const int number = static_cast<int>(i) + 1;
      const auto cmd = ParseCommand(lines[i], nullptr);
      std::optional<std::int64_t> at;
      if (cmd && IsWriteWidth(cmd->Name) && cmd->Args.size() == 1) {
        at = AtlasValue(cmd->Args[0]);
      } else if (cmd && cmd->Name == "WRITE" && cmd->Args.size() == 2) {
        if (!pointerNames.count(cmd->Args[0]))
          RefuseAt(fileName, number,
                   "el puntero " + cmd->Args[0] + " no se creó con #CREATEPTR al principio");
        at = AtlasValue(cmd->Args[1]);
      } else {
        RefuseAt(fileName, number,
                 "tras #JMP solo pueden ir escrituras de punteros: #W16($HEX), #W24($HEX), "
                 "#W32($HEX) o #WRITE(puntero, $HEX)");
      }
      if (!at)
        RefuseAt(fileName, number,
                 "el sitio del puntero debe ser un número hexadecimal en mayúsculas ($1F000)");
      s.Pointers.push_back(*at);
    }
    // The original, in "// " lines.
    bool first = true;
    for (; i < lines.size() && lines[i].substr(0, 2) == "//"; ++i) {
      std::string_view text = lines[i].substr(2);
      if (!text.empty() && text[0] == ' ') text.remove_prefix(1);
      if (!first) s.Original += '\n';
      s.Original += text;
      first = false;
    }
    // The text, up to the next string.
    std::string text;
    bool any = false;
    for (; i < lines.size() && !isJump(lines[i]); ++i) {
      std::string_view line = lines[i];
      if (isComment(line)) continue;  // a note of the translator's, which Atlas passes over
      if (Trim(line).substr(0, 1) == "#")
        RefuseAt(fileName, static_cast<int>(i) + 1,
                 "una línea de texto no puede empezar por '#': Atlas la tomaría por una orden "
                 "(escriba \\# si el texto empieza así)");
      if (!line.empty() && line[0] == '\\') line.remove_prefix(1);
      if (any) text += '\n';
      text += line;
      any = true;
    }
    if (text != s.Original) s.Translation = std::move(text);
    script.Strings.push_back(std::move(s));
  }
  return script;
}

}  // namespace romscriber
