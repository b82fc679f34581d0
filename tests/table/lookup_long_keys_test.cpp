// The compiled lookup against a brute-force longest match where long keys
// are met nearly whole. Random bytes almost never carry the first eight bytes
// of a key, so the compare of a long key's last bytes is seldom what decides
// a match there; here the bytes are the table's own keys laid end to end,
// some of them with one byte changed or the last ones cut, and the keys of a
// table often extend one another, so that every byte of a long key, up to
// its last, is at some position the only one that tells two answers apart.
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <string>
#include <vector>

#include "table/compiled.h"
#include "table/longest_key.h"

namespace romscriber::testing {
namespace {

constexpr std::size_t kLongestKey = 32;

struct LongKeyCase {
  EntryList Table;
  std::string Bytes;
};

LongKeyCase MakeCase(std::uint32_t seed) {
  std::mt19937 rng(seed);
  static constexpr char kValues[] = {'\x00', '\x01', '\x41', '\xFF'};
  const auto value = [&] { return kValues[rng() % 4]; };
  LongKeyCase c;
  std::vector<std::string> keys;
  const std::size_t entries = 2 + rng() % 60;
  for (std::size_t i = 0; i < entries; ++i) {
    std::string key;
    if (!keys.empty() && rng() % 2 == 0) {
      // Part or all of an earlier key, then more bytes: keys that share a
      // long beginning and part from one another late.
      const std::string& earlier = keys[rng() % keys.size()];
      key = earlier.substr(0, 1 + rng() % earlier.size());
    }
    const std::size_t size =
        std::max(key.size() + 1, rng() % 2 == 0 ? 1 + rng() % 4 : 5 + rng() % (kLongestKey - 4));
    while (key.size() < std::min(size, kLongestKey))
      key.push_back(value());
    keys.push_back(key);
    Entry e;
    e.Key = key;
    for (std::size_t k = rng() % 30; k > 0; --k)
      e.Text.push_back(static_cast<char>('a' + rng() % 26));
    e.Line = static_cast<int>(i + 1);
    c.Table.Entries.push_back(e);
  }
  while (c.Bytes.size() < 600) {
    std::string key = keys[rng() % keys.size()];
    const unsigned change = rng() % 4;
    if (change == 0) {
      char& b = key[rng() % key.size()];
      b = kValues[(std::find(kValues, kValues + 4, b) - kValues + 1 + rng() % 3) % 4];
    } else if (change == 1 && key.size() > 1) {
      key.resize(1 + rng() % (key.size() - 1));
    }
    c.Bytes += key;
  }
  return c;
}

TEST(CompiledLookup, LongKeysMetNearlyWholeMatchOnlyWhenWhole) {
  std::size_t longMatches = 0;
  for (std::uint32_t seed = 0; seed < 400; ++seed) {
    const LongKeyCase c = MakeCase(seed);
    const CompiledTable table = CompiledTable::Compile(c.Table, DecodeStyle{});
    const auto keys = ByKey(table);
    std::mt19937 rng(seed);
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(c.Bytes.data());
    for (std::size_t at = 0; at < c.Bytes.size(); ++at) {
      const std::size_t left = c.Bytes.size() - at;
      // All the bytes, some of them, and fewer or more than the eight the
      // lookup reads at once.
      for (const std::size_t available :
           {left, 1 + rng() % left, std::min<std::size_t>(left, 7 + rng() % 3)}) {
        const TableEntry* expected = LongestKey(keys, c.Bytes, at, available, kLongestKey);
        ASSERT_EQ(table.Match(bytes + at, available), expected)
            << "seed " << seed << " at " << at << " available " << available;
        if (expected && expected->KeySize > 8) ++longMatches;
      }
    }
  }
  // The cases do what they are for: long keys match often.
  EXPECT_GT(longMatches, 5000u) << longMatches;
}

}  // namespace
}  // namespace romscriber::testing
