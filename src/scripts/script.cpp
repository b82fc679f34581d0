#include "scripts/script.h"

#include <algorithm>

#include "base/app_error.h"
#include "hex/hex.h"
#include "scripts/script_text.h"

namespace romscriber {

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

void RefuseAt(const std::string& fileName, int line, const std::string& what) {
  throw AppError::At(kErrBadInput, {fileName, line}, what);
}

}  // namespace romscriber
