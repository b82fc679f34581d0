#include "project/project_text.h"

#include <cstdio>

#include "base/text.h"

namespace romscriber {

namespace {

std::string HexNumber(std::int64_t value) {
  char text[32];
  std::snprintf(text, sizeof text, "0x%llX", static_cast<unsigned long long>(value));
  return text;
}

const char* MapKindName(MapKind kind) {
  switch (kind) {
    case MapKind::kLoRom:
      return "lorom";
    case MapKind::kHiRom:
      return "hirom";
    case MapKind::kBanked:
      return "banked";
    case MapKind::kLinear:
      break;
  }
  return "linear";
}

}  // namespace

std::string TomlString(std::string_view value) {
  std::string out = "\"";
  for (const char c : value) {
    const auto u = static_cast<unsigned char>(c);
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (u < 0x20 || u == 0x7F) {
      char escape[8];
      std::snprintf(escape, sizeof escape, "\\u%04X", u);
      out += escape;
    } else {
      out += c;
    }
  }
  return out + "\"";
}

std::string WithTopLevelKeys(std::string_view text,
                             const std::vector<std::pair<std::string, std::string>>& keys) {
  std::string lines;
  for (const auto& [key, value] : keys)
    lines += key + " = " + value + "\n";
  // Before the first table header: a line whose first non-blank character
  // is '[' (keys after one belong to that table).
  std::size_t insertAt = text.size();
  bool found = false;
  ForEachLine(text, [&](std::string_view line, int) {
    if (!found && Trim(line).starts_with("[")) {
      insertAt = static_cast<std::size_t>(line.data() - text.data());
      found = true;
    }
  });
  std::string out(text.substr(0, insertAt));
  if (!out.empty() && out.back() != '\n' && out.back() != '\r') out += '\n';
  out += lines;
  if (found) out += "\n";
  out += text.substr(insertAt);
  return out;
}

std::string WithStanza(std::string_view text, std::string_view stanza) {
  std::string out(text);
  if (!out.empty() && out.back() != '\n' && out.back() != '\r') out += '\n';
  if (!out.empty()) out += '\n';
  out += stanza;
  if (!out.empty() && out.back() != '\n') out += '\n';
  return out;
}

std::string NewProjectText(const NewProject& p) {
  std::string out = "rom = " + TomlString(p.Rom) + "\n\n[map]\nkind = \"" +
                    MapKindName(p.Map.Kind) + "\"\n";
  if (p.Map.Header != 0) out += "header = " + std::to_string(p.Map.Header) + "\n";
  if (p.Map.Kind == MapKind::kBanked) {
    out += "bank_size = " + HexNumber(p.Map.BankSize) + "\nwindow = " + HexNumber(p.Map.Window) + "\n";
  }
  out += "\n[[table]]\nname = \"main\"\nfile = " + TomlString(p.Table) + "\nformat = \"" +
         (p.Format == TableFormat::kClassic ? "classic" : "extended") + "\"\n";
  if (!p.Encoding.empty() && p.Format == TableFormat::kExtended)
    out += "encoding = " + TomlString(p.Encoding) + "\n";
  out += "\n[[block]]\nname = " + TomlString(p.Block) + "\ntable = \"main\"\n";
  if (p.Pointers) {
    const PointerFormat& f = *p.Pointers;
    out += "pointers = { offset = " + HexNumber(f.Offset) + ", count = " + std::to_string(f.Count) +
           ", size = " + std::to_string(f.Size) + ", endian = \"" +
           (f.Order == Endian::kBig ? "big" : "little") + "\"";
    if (f.Stride != 0 && f.Stride != f.Size) out += ", stride = " + std::to_string(f.Stride);
    if (f.Add != 0) out += ", add = " + std::to_string(f.Add);
    out += " }\n";
  } else if (p.Range) {
    out += "range = { start = " + HexNumber(p.Range->Start) + ", end = " +
           HexNumber(p.Range->End) + " }\n";
  }
  return out;
}

}  // namespace romscriber
