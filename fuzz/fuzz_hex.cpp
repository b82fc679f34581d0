// hexx, HexToDec and TextToHex against plain reference arithmetic.
#include <cctype>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <string>

#include "base/app_error.h"
#include "hex/hex.h"

namespace {

constexpr long long kMax = 2147483647;

bool IsHex(char c) {
  return std::isxdigit(static_cast<unsigned char>(c)) != 0;
}

// Value of hexadecimal digits, or -1 when above kMax.
long long ValueOf(const std::string& digits) {
  const std::size_t first = digits.find_first_not_of('0');
  if (first == std::string::npos) return 0;
  if (digits.size() - first > 8) return -1;
  const long long v = std::strtoll(digits.c_str() + first, nullptr, 16);
  return v > kMax ? -1 : v;
}

// The result of a conversion: its value, or minus its error number.
template <class F>
long long Outcome(F&& f) {
  try {
    return f();
  } catch (const romscriber::AppError& e) {
    return -e.Number();
  }
}

long long ReferenceHexx(const std::string& s) {
  if (s.size() >= 32767) return -6;
  std::size_t n = 0;
  while (n < s.size() && IsHex(s[n]))
    ++n;
  if (n >= 100 && s.size() > 100) return -9;
  const long long v = ValueOf(s.substr(0, n));
  return v < 0 ? -6 : v;
}

long long ReferenceHexToDec(const std::string& s) {
  if (s.size() > 32767) return -6;
  std::string digits = s;
  for (char& c : digits) {
    if (!IsHex(c)) c = '0';  // other characters add nothing but keep their place
  }
  const long long v = ValueOf(digits);
  return v < 0 ? -6 : v;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string text(reinterpret_cast<const char*>(data), size);
  if (Outcome([&] { return romscriber::hexx(text); }) != ReferenceHexx(text)) std::abort();
  if (Outcome([&] { return romscriber::HexToDec(text); }) != ReferenceHexToDec(text)) std::abort();
  try {
    const std::string hex = romscriber::TextToHex(text);
    if (text.size() >= 32767 || hex.size() != 2 * text.size()) std::abort();
    for (std::size_t i = 0; i < text.size(); ++i) {
      char pair[3];
      std::snprintf(pair, sizeof pair, "%02X", static_cast<unsigned char>(text[i]));
      if (hex.compare(2 * i, 2, pair) != 0) std::abort();
    }
  } catch (const romscriber::AppError& e) {
    if (text.size() < 32767 || e.Number() != 6) std::abort();
  }
  return 0;
}
