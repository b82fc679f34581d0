#include "project/widths.h"

#include <unordered_map>

#include "base/app_error.h"
#include "base/text.h"

namespace romscriber {

std::vector<KeyWidth> ReadWidths(std::string_view bytes, const std::string& fileName) {
  const auto refuse = [&](int line, const std::string& what) {
    throw AppError::At(kErrBadInput, {fileName, line}, what);
  };
  if (bytes.starts_with("\xEF\xBB\xBF")) bytes.remove_prefix(3);
  if (const auto bad = FirstInvalidUtf8(bytes))
    refuse(LineAt(bytes, *bad), "el archivo de anchos debe estar en UTF-8");
  std::vector<KeyWidth> widths;
  std::unordered_map<std::string, int> lineOf;
  ForEachLine(bytes, [&](std::string_view line, int number) {
    const std::string_view text = Trim(line);
    if (text.empty() || text[0] == '#') return;
    const std::size_t eq = text.find('=');
    const auto key = eq == std::string_view::npos ? std::nullopt
                                                   : ParseHexBytes(Trim(text.substr(0, eq)));
    if (!key || key->empty())
      refuse(number, "se esperaba CLAVE=ANCHO, con la clave en hexadecimal como la escribe la "
                     "tabla (41=8, E001=16)");
    const std::string_view digits = Trim(text.substr(eq + 1));
    int width = 0;
    bool ok = !digits.empty() && digits.size() <= 7;
    for (const char c : digits) {
      if (c < '0' || c > '9') ok = false;
      width = width * 10 + (c - '0');
    }
    if (!ok || width > 1000000)
      refuse(number, "el ancho de " + std::string(Trim(text.substr(0, eq))) +
                         " debe ser un número entero de 0 a 1000000");
    if (const auto [it, added] = lineOf.emplace(*key, number); !added)
      refuse(number, "la clave " + std::string(Trim(text.substr(0, eq))) +
                         " ya tiene ancho en la línea " + std::to_string(it->second));
    widths.push_back({*key, width, number});
  });
  return widths;
}

}  // namespace romscriber
