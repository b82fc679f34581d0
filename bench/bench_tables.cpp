#include "bench_tables.h"

#include <random>
#include <set>

#include "hex/hex.h"

namespace romscriber::bench {

namespace {
std::string Code(std::uint32_t value, int bytes) {
  std::string code;
  for (int i = bytes - 1; i >= 0; --i)
    AppendByteHex(code, static_cast<std::uint8_t>(value >> (8 * i)));
  return code;
}
}  // namespace

Table FullTable(std::uint32_t seed) {
  std::mt19937 rng(seed);
  Table table;
  for (std::uint32_t b = 0; b < kSingleSlots; ++b) {
    table.SingleCodes[b] = Code(b, 1);
    table.SingleTexts[b] = std::string(1 + b % 2, static_cast<char>('a' + b % 26));
  }
  table.SingleTexts[0x00] = std::string(kEndText);
  table.SingleTexts[0x0A] = std::string(kLineBreakText);
  table.SingleTexts[0xFE] = std::string(kPauseText);
  for (int bytes : {2, 3}) {
    auto& codes = bytes == 2 ? table.DoubleCodes : table.TripleCodes;
    auto& texts = bytes == 2 ? table.DoubleTexts : table.TripleTexts;
    std::set<std::uint32_t> used;
    const std::uint32_t mask = bytes == 2 ? 0xFFFF : 0xFFFFFF;
    for (std::size_t row = 0; row < kMultiRows; ++row) {
      std::uint32_t value;
      do
        value = rng() & mask;
      while (!used.insert(value).second);
      codes[row] = Code(value, bytes);
      texts[row] = "<" + codes[row] + ">";
    }
  }
  return table;
}

std::string RandomRom(std::size_t size, std::uint32_t seed) {
  std::mt19937 rng(seed);
  std::string rom(size, '\0');
  for (char& c : rom)
    c = static_cast<char>(rng() & 0xFF);
  return rom;
}

}  // namespace romscriber::bench
