// Small pieces shared by the script readers and writers: string ids and the
// refusal that names the file and line (hex, UTF-8 and lines: base/text.h).
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "base/text.h"
#include "hex/hex.h"

namespace romscriber {

// Value of a whole text of decimal digits, up to 2147483647; nothing for
// anything else.
std::optional<int> ParseId(std::string_view text);

// AppError kErrBadInput with "FILE:LINE: what" (just "FILE: what" when line
// is 0).
[[noreturn]] void RefuseAt(const std::string& fileName, int line, const std::string& what);

}  // namespace romscriber
