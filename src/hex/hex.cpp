#include "hex/hex.h"

#include <algorithm>

#include "base/app_error.h"

namespace romscriber {

namespace {
constexpr std::size_t kLongTextLimit = 32767;
constexpr std::size_t kHexxPlaces = 100;
constexpr char kUpperDigits[] = "0123456789ABCDEF";
}  // namespace

std::int32_t hexx(std::string_view strText) {
  if (strText.size() >= kLongTextLimit) throw AppError(kErrOverflow);
  // Collect the leading digits first: the digit store has room for 100 places.
  std::size_t digits = 0;
  while (digits < strText.size() && digits < kHexxPlaces && HexDigitValue(strText[digits]) >= 0) {
    ++digits;
  }
  // A 101st character after 100 digits, whatever it is, has no place to go.
  if (digits == kHexxPlaces && strText.size() > kHexxPlaces) throw AppError(kErrSubscript);
  std::int64_t value = 0;
  for (std::size_t i = 0; i < digits; ++i) {
    value = value * 16 + HexDigitValue(strText[i]);
    if (value > kMaxHexValue) throw AppError(kErrOverflow);
  }
  return static_cast<std::int32_t>(value);
}

std::int32_t HexToDec(std::string_view HexStr) {
  if (HexStr.size() > kLongTextLimit) throw AppError(kErrOverflow);
  const std::size_t n = HexStr.size();
  std::int64_t sum = 0;
  for (std::size_t k = 0; k < n; ++k) {
    const int digit = HexDigitValue(HexStr[k]);
    if (digit <= 0) continue;  // other characters and zeros add nothing
    const std::size_t place = n - 1 - k;
    // Any non-zero digit at place 16^8 or higher is already above the limit.
    if (place >= 8) throw AppError(kErrOverflow);
    sum += static_cast<std::int64_t>(digit) << (4 * place);
    if (sum > kMaxHexValue) throw AppError(kErrOverflow);
  }
  return static_cast<std::int32_t>(sum);
}

void AppendByteHex(std::string& out, std::uint8_t byte) {
  out.push_back(kUpperDigits[byte >> 4]);
  out.push_back(kUpperDigits[byte & 0x0F]);
}

std::string TextToHex(std::string_view text) {
  if (text.size() >= kLongTextLimit) throw AppError(kErrOverflow);
  std::string out;
  out.reserve(text.size() * 2);
  for (char c : text)
    AppendByteHex(out, static_cast<std::uint8_t>(c));
  return out;
}

std::string OffsetHex(std::int64_t value) {
  static constexpr char kDigits[] = "0123456789ABCDEF";
  std::uint64_t v = static_cast<std::uint64_t>(value);
  std::string out;
  do {
    out.push_back(kDigits[v & 0xF]);
    v >>= 4;
  } while (v != 0);
  std::reverse(out.begin(), out.end());
  return out;
}

}  // namespace romscriber
