// Conversions between hexadecimal text, numbers and byte text.
//
// Byte text is a std::string whose chars are bytes (0..255), taken without any
// character-set conversion. The two parsers are deliberately different:
//   hexx      stops at the first character that is not a hex digit
//             (table codes such as "4A=x" give 74);
//   HexToDec  reads the whole text and lets every character keep its place
//             ("1G" gives 16, "G1" gives 1), for the offsets the user types.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include "base/text.h"

namespace romscriber {

// Largest value either parser gives; above it is an overflow (error 6).
inline constexpr std::int64_t kMaxHexValue = 2147483647;

// Value of the leading hex digits of `strText` (either case); 0 without any.
// Error 9 when the first 100 characters are all digits and a 101st follows;
// error 6 above kMaxHexValue or for a text of 32767 characters or more.
std::int32_t hexx(std::string_view strText);

// Value of the whole text read as hexadecimal, place by place; characters
// that are not hex digits add nothing but keep their place. Error 6 when the
// running sum passes kMaxHexValue or the text is longer than 32767 characters.
std::int32_t HexToDec(std::string_view HexStr);

// Two upper-case hex digits per byte, in order ("abc" gives "616263").
// Error 6 for a text of 32767 characters or more.
std::string TextToHex(std::string_view text);

// Upper-case hex digits of a file offset, without prefix or padding
// ("1F400", "0"), as messages and script files write offsets.
std::string OffsetHex(std::int64_t value);

// Two upper-case hex digits of one byte, without the length checks above.
void AppendByteHex(std::string& out, std::uint8_t byte);

}  // namespace romscriber
