// The compiled lookup against a brute-force longest match, and DecodeString
// against a small reference decoder, over random extended tables whose keys of
// 1 to 32 bytes are made of four byte values, so that many share their first
// two or three bytes (long candidate lists, texts longer than an item holds).
#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <random>
#include <string>

#include "extract/engine.h"
#include "table/compiled.h"
#include "table/longest_key.h"

namespace romscriber::testing {
namespace {

struct RandomCase {
  EntryList Table;
  std::string Rom;
};

RandomCase MakeCase(std::uint32_t seed) {
  std::mt19937 rng(seed);
  const auto byte = [&] {
    static constexpr char kBytes[] = {'\x00', '\x01', '\x41', '\xFF'};
    return kBytes[rng() % 4];
  };
  RandomCase c;
  const std::size_t entries = 1 + rng() % 120;
  for (std::size_t i = 0; i < entries; ++i) {
    Entry e;
    const std::size_t size = rng() % 10 < 7 ? 1 + rng() % 4 : 1 + rng() % 32;
    for (std::size_t k = 0; k < size; ++k)
      e.Key.push_back(byte());
    const std::size_t textSize = rng() % 41;  // 0: the key shows raw
    for (std::size_t k = 0; k < textSize; ++k)
      e.Text.push_back(rng() % 12 == 0 ? '\n' : static_cast<char>('a' + rng() % 26));
    const unsigned kind = rng() % 100;
    if (kind < 7) {
      e.Kind = EntryKind::kEnd;
    } else if (kind < 14) {
      e.Kind = EntryKind::kLineBreak;
    } else if (kind < 22) {
      e.Kind = EntryKind::kControl;
      e.Params = static_cast<int>(rng() % 4);
    }
    e.Line = static_cast<int>(i + 1);
    c.Table.Entries.push_back(e);  // a repeated key: the first definition wins
  }
  const std::size_t romSize = 1 + rng() % 400;
  for (std::size_t i = 0; i < romSize; ++i)
    c.Rom.push_back(byte());
  return c;
}

const std::uint8_t* Bytes(std::string_view s, std::size_t at) {
  return reinterpret_cast<const std::uint8_t*>(s.data()) + at;
}

TEST(CompiledLookup, LongestKeyWinsAtEveryPositionAndEveryReach) {
  for (std::uint32_t seed = 0; seed < 300; ++seed) {
    const RandomCase c = MakeCase(seed);
    const CompiledTable table = CompiledTable::Compile(c.Table, DecodeStyle{});
    const auto keys = ByKey(table);
    std::mt19937 rng(seed);
    for (std::size_t at = 0; at < c.Rom.size(); ++at) {
      const std::size_t left = c.Rom.size() - at;
      for (const std::size_t available : {left, 1 + rng() % left}) {
        const TableEntry* expected = LongestKey(keys, c.Rom, at, available);
        ASSERT_EQ(table.Match(Bytes(c.Rom, at), available), expected)
            << "seed " << seed << " at " << at << " available " << available;
      }
    }
  }
}

// Decodes as DecodeString must: the longest key shows its text, a byte
// without one shows raw, a control code's parameters show raw up to the
// bound, an end token shows and ends the string.
DecodedString Reference(const CompiledTable& table, std::string_view rom, std::size_t offset,
                        const StringLimits& limits) {
  const auto keys = ByKey(table);
  const auto last = static_cast<std::size_t>(std::min(limits.Last, limits.Bound - 1));
  const auto bound = static_cast<std::size_t>(limits.Bound);
  DecodedString out;
  std::size_t pos = offset;
  while (pos <= last) {
    const TableEntry* e = LongestKey(keys, rom, pos, bound - pos);
    if (!e) {
      out.Text += RawText(table.Style(), std::string(1, static_cast<char>(rom[pos++])));
      continue;
    }
    out.Text += table.Shown(*e);
    pos += e->KeySize;
    if (e->Kind == TokenKind::kControl) {
      const std::size_t taken = std::min<std::size_t>(e->Params, bound - pos);
      for (std::size_t i = 0; i < taken; ++i)
        out.Text += RawText(table.Style(), std::string(1, static_cast<char>(rom[pos + i])));
      pos += taken;
    }
    if (e->Kind == TokenKind::kEnd) {
      out.Ended = true;
      out.OnlyEnd = pos - e->KeySize == offset;
      break;
    }
  }
  out.Length = static_cast<std::int64_t>(pos - offset);
  return out;
}

TEST(CompiledLookup, DecodeStringShowsWhatTheReferenceShows) {
  for (std::uint32_t seed = 0; seed < 300; ++seed) {
    const RandomCase c = MakeCase(seed);
    const CompiledTable table = CompiledTable::Compile(c.Table, DecodeStyle{});
    const std::span<const std::uint8_t> rom(Bytes(c.Rom, 0), c.Rom.size());
    std::mt19937 rng(seed);
    for (int i = 0; i < 20; ++i) {
      const std::size_t offset = rng() % c.Rom.size();
      StringLimits limits;
      limits.Bound = static_cast<std::int64_t>(offset + 1 + rng() % (c.Rom.size() - offset));
      limits.Last = static_cast<std::int64_t>(offset + rng() % (c.Rom.size() - offset));
      const DecodedString expected = Reference(table, c.Rom, offset, limits);
      const DecodedString got = DecodeString(table, rom, static_cast<std::int64_t>(offset), limits);
      ASSERT_EQ(got.Text, expected.Text) << "seed " << seed << " offset " << offset;
      EXPECT_EQ(got.Length, expected.Length);
      EXPECT_EQ(got.Ended, expected.Ended);
      EXPECT_EQ(got.OnlyEnd, expected.OnlyEnd);
    }
  }
}

}  // namespace
}  // namespace romscriber::testing
