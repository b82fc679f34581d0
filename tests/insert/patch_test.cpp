#include "insert/patch.h"

#include <gtest/gtest.h>

#include <array>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "base/app_error.h"
#include "insert/patch_appliers.h"

namespace romscriber::testing {
namespace {

constexpr std::int64_t kEofOffset = 0x454F46;

Bytes RandomBytes(std::mt19937_64& random, std::size_t size) {
  Bytes b(size);
  std::uint64_t word = 0;
  for (std::size_t i = 0; i < size; ++i) {
    if (i % 8 == 0) word = random();
    b[i] = static_cast<std::uint8_t>(word >> (i % 8 * 8));
  }
  return b;
}

// A modified copy of `original`: scattered bytes, runs (some of one value,
// some longer than an IPS record), changes a few bytes apart, the first and
// the last byte, and at times growth or truncation.
Bytes Modify(const Bytes& original, std::mt19937_64& random) {
  Bytes m = original;
  const auto pick = [&](std::size_t n) { return n ? static_cast<std::size_t>(random() % n) : 0; };
  if (!m.empty()) {
    const int edits = static_cast<int>(random() % 40);
    for (int e = 0; e < edits; ++e) {
      const std::size_t at = pick(m.size());
      switch (random() % 5) {
        case 0:
          m[at] ^= 1 + random() % 255;
          break;
        case 1: {  // a run of one value
          const std::size_t end = std::min(m.size(), at + 1 + pick(600));
          std::fill(m.begin() + at, m.begin() + end, static_cast<std::uint8_t>(random()));
          break;
        }
        case 2: {  // changes two to eight bytes apart
          for (std::size_t k = at; k < m.size() && k < at + 40; k += 2 + pick(7))
            m[k] ^= 0x5A;
          break;
        }
        case 3:
          m.front() ^= 0xFF;
          break;
        case 4:
          m.back() ^= 0xFF;
          break;
      }
    }
  }
  switch (random() % 4) {
    case 0: {  // growth, sometimes by bytes equal to zero
      const Bytes tail = random() % 2 ? RandomBytes(random, 1 + pick(3000)) : Bytes(1 + pick(99));
      m.insert(m.end(), tail.begin(), tail.end());
      break;
    }
    case 1:  // truncation
      m.resize(pick(m.size() + 1));
      break;
    default:
      break;
  }
  return m;
}

void ExpectPatchesRebuild(const Bytes& original, const Bytes& modified, const std::string& what) {
  const std::string ips = MakeIps(original, modified);
  EXPECT_TRUE(ApplyIps(original, ips) == modified) << what << ": IPS";
  const std::string bps = MakeBps(original, modified);
  EXPECT_TRUE(ApplyBps(original, bps) == modified) << what << ": BPS";
}

TEST(Patch, RandomPairsRebuildTheModifiedRom) {
  std::mt19937_64 random(99);
  for (int i = 0; i < 400; ++i) {
    const Bytes original = RandomBytes(random, i % 50 == 0 ? i % 3 : random() % 5000);
    const Bytes modified = Modify(original, random);
    ExpectPatchesRebuild(original, modified, "pair " + std::to_string(i));
  }
}

TEST(Patch, IdenticalRomsGiveEmptyPatches) {
  const Bytes rom = {1, 2, 3};
  EXPECT_EQ(MakeIps(rom, rom), "PATCHEOF");
  ExpectPatchesRebuild(rom, rom, "identical");
  ExpectPatchesRebuild({}, {}, "empty");
}

TEST(Patch, LongRunsSplitIntoSeveralIpsRecords) {
  // One changed run of 200000 bytes needs four records of at most 0xFFFF.
  std::mt19937_64 random(5);
  const Bytes original(300000, 0);
  Bytes modified = original;
  for (std::size_t k = 1000; k < 201000; ++k)
    modified[k] = static_cast<std::uint8_t>(1 + random() % 255);
  ExpectPatchesRebuild(original, modified, "long run");
  EXPECT_LT(MakeIps(original, modified).size(), 200000u + 5 + 4 * 5 + 3 + 1);
}

TEST(Patch, NoIpsRecordStartsWhereItsOffsetReadsEof) {
  std::mt19937_64 random(8);
  const Bytes original = RandomBytes(random, 0x480000);
  // A lone change there; a run starting there; a long run whose 0xFFFF-byte
  // split would land there; the change one byte before, and one after.
  for (const auto& [start, length] :
       std::vector<std::pair<std::int64_t, std::int64_t>>{{kEofOffset, 1},
                                                          {kEofOffset, 300},
                                                          {kEofOffset - 0xFFFF, 0x20000},
                                                          {kEofOffset - 1, 1},
                                                          {kEofOffset + 1, 2}}) {
    Bytes modified = original;
    for (std::int64_t k = start; k < start + length; ++k)
      modified[k] ^= 0x33;
    ExpectPatchesRebuild(original, modified, "run at " + std::to_string(start));
  }
}

TEST(Patch, IpsRefusesChangesFrom16MiB) {
  const std::size_t limit = 0x1000000;
  const Bytes original(limit + 16, 0);
  Bytes modified = original;
  modified[limit - 1] = 1;  // the last byte IPS can reach
  ExpectPatchesRebuild(original, modified, "last byte below 16 MiB");
  modified[limit + 3] = 1;
  try {
    MakeIps(original, modified);
    FAIL() << "a change at 16 MiB was written";
  } catch (const AppError& e) {
    EXPECT_EQ(e.Number(), kErrBadSetting);
    EXPECT_NE(e.Description().find("0x1000003"), std::string::npos) << e.Description();
  }
  EXPECT_TRUE(ApplyBps(original, MakeBps(original, modified)) == modified);
  // Growing past 16 MiB changes bytes there too.
  Bytes grown(limit, 0);
  grown.push_back(0);
  EXPECT_THROW(MakeIps(Bytes(limit, 0), grown), AppError);
}

TEST(Patch, LargeRomWithThousandsOfChanges) {
  std::mt19937_64 random(32);
  const Bytes original = RandomBytes(random, 32 << 20);
  Bytes modified = original;
  for (int i = 0; i < 5000; ++i) {
    const std::size_t at = random() % (16 << 20);
    for (std::size_t k = at; k < at + 1 + random() % 64; ++k)
      modified[k] ^= 0xA5;
  }
  ExpectPatchesRebuild(original, modified, "32 MiB");
}

TEST(Patch, BpsRejectsTheWrongSourceAndADamagedPatch) {
  std::mt19937_64 random(4);
  const Bytes original = RandomBytes(random, 4000);
  const Bytes modified = Modify(original, random);
  const std::string bps = MakeBps(original, modified);
  Bytes other = original;
  other[1234] ^= 1;
  EXPECT_THROW(ApplyBps(other, bps), std::runtime_error);
  std::string damaged = bps;
  damaged[damaged.size() / 2] ^= 0x40;
  EXPECT_THROW(ApplyBps(original, damaged), std::runtime_error);
}

}  // namespace
}  // namespace romscriber::testing
