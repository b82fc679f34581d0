// Small pieces shared by the script readers and writers: hexadecimal offsets
// as the script files write them, string ids, UTF-8 checks, and the refusal
// that names the file and line.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "hex/hex.h"

namespace romscriber {

// Value of a whole text of 1 to 15 hex digits of either case; nothing for
// anything else (empty, a sign, a prefix, another character).
std::optional<std::int64_t> ParseOffsetHex(std::string_view text);

// Value of a whole text of decimal digits, up to 2147483647; nothing for
// anything else.
std::optional<int> ParseId(std::string_view text);

// Byte position of the first byte of `text` that does not start or continue
// a valid UTF-8 character (overlong forms, surrogates and values above
// U+10FFFF are invalid), or nothing when all of it is valid.
std::optional<std::size_t> FirstInvalidUtf8(std::string_view text);

// Line (from 1) of byte `position` of `text`: one more than the LF bytes
// before it.
int LineAt(std::string_view text, std::size_t position);

// AppError kErrBadInput with "FILE:LINE: what" (just "FILE: what" when line
// is 0).
[[noreturn]] void RefuseAt(const std::string& fileName, int line, const std::string& what);

}  // namespace romscriber
