#include "scripts/script.h"

#include <algorithm>

#include "base/app_error.h"
#include "hex/hex.h"
#include "scripts/script_text.h"

namespace romscriber {

const char* ScriptExtension(ScriptFormat format) {
  switch (format) {
    case ScriptFormat::kTsv:
      return ".tsv";
    case ScriptFormat::kPo:
      return ".po";
    case ScriptFormat::kAtlas:
      break;
  }
  return ".txt";
}

std::optional<std::int64_t> ParseOffsetHex(std::string_view text) {
  if (text.empty() || text.size() > 15) return std::nullopt;
  std::int64_t value = 0;
  for (const char c : text) {
    const int digit = HexDigitValue(c);
    if (digit < 0) return std::nullopt;
    value = value * 16 + digit;
  }
  return value;
}

std::optional<int> ParseId(std::string_view text) {
  if (text.empty() || text.size() > 10) return std::nullopt;
  std::int64_t value = 0;
  for (const char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + (c - '0');
  }
  if (value > 2147483647) return std::nullopt;
  return static_cast<int>(value);
}

std::optional<std::size_t> FirstInvalidUtf8(std::string_view text) {
  const auto* s = reinterpret_cast<const unsigned char*>(text.data());
  const std::size_t n = text.size();
  std::size_t i = 0;
  while (i < n) {
    const unsigned char c = s[i];
    if (c < 0x80) {
      ++i;
      continue;
    }
    std::size_t length;
    std::uint32_t min;
    std::uint32_t cp;
    if (c >= 0xC2 && c <= 0xDF) {
      length = 2, min = 0x80, cp = c & 0x1F;
    } else if (c >= 0xE0 && c <= 0xEF) {
      length = 3, min = 0x800, cp = c & 0x0F;
    } else if (c >= 0xF0 && c <= 0xF4) {
      length = 4, min = 0x10000, cp = c & 0x07;
    } else {
      return i;
    }
    if (n - i < length) return i;
    for (std::size_t k = 1; k < length; ++k) {
      if ((s[i + k] & 0xC0) != 0x80) return i;
      cp = (cp << 6) | (s[i + k] & 0x3F);
    }
    if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) return i;
    i += length;
  }
  return std::nullopt;
}

int LineAt(std::string_view text, std::size_t position) {
  position = std::min(position, text.size());
  return 1 + static_cast<int>(std::count(text.begin(), text.begin() + position, '\n'));
}

void RefuseAt(const std::string& fileName, int line, const std::string& what) {
  std::string where = fileName;
  if (line > 0) where += ":" + std::to_string(line);
  throw AppError(kErrBadInput, where + ": " + what);
}

}  // namespace romscriber
