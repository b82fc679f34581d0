#include "insert/patch.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cstdio>
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


// --- BPS copies ----------------------------------------------------------------

std::size_t Pick(std::mt19937_64& random, std::size_t n) { return n ? static_cast<std::size_t>(random() % n) : 0; }

// Sizes from nothing up: a few bytes, below the length copies are looked up
// by, up to 64 KiB.
std::size_t RandomSize(std::mt19937_64& random, int i) {
  if (i % 25 == 0) return static_cast<std::size_t>(i / 25 % 9);
  return Pick(random, i % 10 == 0 ? 65536 : 6000);
}

// The patch gives the new ROM; applied to any other source (one byte
// changed, one byte more) or damaged anywhere, the checksums refuse it.
void ExpectBpsRoundTrip(const Bytes& original, const Bytes& modified, std::mt19937_64& random,
                        const std::string& what) {
  const std::string bps = MakeBps(original, modified);
  Bytes rebuilt;
  try {
    rebuilt = ApplyBps(original, bps);
  } catch (const std::runtime_error& e) {
    ADD_FAILURE() << what << ": " << e.what();
    return;
  }
  ASSERT_TRUE(rebuilt == modified) << what << ": the patch gives another ROM";
  const auto refusal = [&](const Bytes& source, const std::string& patch) -> std::string {
    try {
      ApplyBps(source, patch);
    } catch (const std::runtime_error& e) {
      return e.what();
    }
    return "accepted";
  };
  if (!original.empty()) {
    Bytes other = original;
    other[Pick(random, other.size())] ^= static_cast<std::uint8_t>(1 + random() % 255);
    EXPECT_EQ(refusal(other, bps), "wrong source") << what;
  }
  Bytes longer = original;
  longer.push_back(static_cast<std::uint8_t>(random()));
  EXPECT_EQ(refusal(longer, bps), "wrong source") << what;
  std::string damaged = bps;
  damaged[Pick(random, damaged.size())] ^= static_cast<char>(1 << random() % 8);
  EXPECT_EQ(refusal(original, damaged), "patch checksum") << what;
}

TEST(BpsCopies, RearrangedRomsRoundTrip) {
  std::mt19937_64 random(2024);
  for (int i = 0; i < 500; ++i) {
    const Bytes original = RandomRom(random, RandomSize(random, i));
    const Bytes modified = Rearranged(original, random);
    ExpectBpsRoundTrip(original, modified, random, "pair " + std::to_string(i));
    // The same pair the other way: what was added is now what was removed.
    ExpectBpsRoundTrip(modified, original, random, "pair " + std::to_string(i) + " reversed");
    if (::testing::Test::HasFailure()) return;
  }
}

TEST(BpsCopies, UnrelatedAndEmptyRomsRoundTrip) {
  std::mt19937_64 random(77);
  for (int i = 0; i < 60; ++i) {
    const Bytes a = RandomRom(random, RandomSize(random, i));
    const Bytes b = RandomRom(random, RandomSize(random, i + 1));
    ExpectBpsRoundTrip(a, b, random, "unrelated " + std::to_string(i));
    ExpectBpsRoundTrip({}, b, random, "from nothing " + std::to_string(i));
    ExpectBpsRoundTrip(a, {}, random, "to nothing " + std::to_string(i));
  }
}

// Blocks of random bytes (which match nothing by chance) put back in another
// order, some twice, some dropped, with a few new bytes between: each piece
// of the new ROM is one copy, a handful of bytes of patch.
TEST(BpsCopies, MovedAndRepeatedBlocksCostAFewBytesEach) {
  std::mt19937_64 random(31);
  for (int round = 0; round < 40; ++round) {
    const Bytes original = RandomRom(random, 0);  // to vary the generator's draws only
    Bytes source;
    for (std::size_t n = 1000 + Pick(random, 300000); source.size() < n;)
      source.push_back(static_cast<std::uint8_t>(random()));
    Bytes target;
    std::size_t pieces = 0;
    std::size_t newBytes = 0;
    for (int k = 0; k < 60; ++k) {
      const std::size_t length = 40 + Pick(random, 2000);
      if (random() % 4 == 0 && target.size() > length) {  // a repeat of the new ROM's own bytes
        const std::size_t from = Pick(random, target.size() - length);
        target.insert(target.end(), target.begin() + from, target.begin() + from + length);
      } else {
        const std::size_t from = Pick(random, source.size() - std::min(source.size(), length));
        target.insert(target.end(), source.begin() + from,
                      source.begin() + std::min(source.size(), from + length));
      }
      ++pieces;
      if (random() % 3 == 0) {
        target.push_back(static_cast<std::uint8_t>(random()));
        ++newBytes;
      }
    }
    const std::string bps = MakeBps(source, target);
    ASSERT_TRUE(ApplyBps(source, bps) == target) << "round " << round;
    // A copy: its action number (two bytes for these lengths) and its offset
    // (at most three bytes below 2 MiB); a new byte, a TargetRead of one.
    const std::size_t bound = 4 + 3 * 4 + 12 + pieces * 5 + newBytes * 2;
    EXPECT_LE(bps.size(), bound) << "round " << round << ": " << target.size() << " bytes in "
                                 << pieces << " pieces";
  }
}

// A run of one value is a TargetCopy from one byte back, whatever its length.
TEST(BpsCopies, RunsOfOneValueCopyTheirFirstByte) {
  for (const std::size_t length : {std::size_t{5}, std::size_t{1000}, std::size_t{1} << 20}) {
    const Bytes target(length, 0xAB);
    const std::string bps = MakeBps({}, target);
    EXPECT_TRUE(ApplyBps({}, bps) == target);
    EXPECT_LE(bps.size(), 4u + 1 + 3 + 1 + 2 + 5 + 12) << length;
  }
}

// --- Exhaustive reference -------------------------------------------------------

void PutReferenceNumber(std::string& out, std::uint64_t value) {
  for (;;) {
    const std::uint64_t low = value & 0x7F;
    value >>= 7;
    if (value == 0) {
      out.push_back(static_cast<char>(0x80 | low));
      return;
    }
    out.push_back(static_cast<char>(low));
    --value;
  }
}

std::size_t ReferenceNumberSize(std::uint64_t value) {
  std::string s;
  PutReferenceNumber(s, value);
  return s.size();
}

void PutReferenceCrc(std::string& out, std::uint32_t crc) {
  for (int k = 0; k < 4; ++k)
    out.push_back(static_cast<char>(crc >> (8 * k)));
}

// A plain greedy BPS maker: at each place every place of the source and
// every earlier place of the target is tried, and the copy (or SourceRead)
// that saves the most bytes against TargetRead is taken when it saves at
// least one byte, two inside a TargetRead run, which it cuts. Quadratic: for
// small ROMs only.
std::string ExhaustiveBps(const Bytes& source, const Bytes& target) {
  std::string out = "BPS1";
  PutReferenceNumber(out, source.size());
  PutReferenceNumber(out, target.size());
  PutReferenceNumber(out, 0);
  const auto common = [](const std::uint8_t* a, const std::uint8_t* b, std::size_t most) {
    std::size_t n = 0;
    while (n < most && a[n] == b[n])
      ++n;
    return n;
  };
  const auto relative = [](std::int64_t from, std::int64_t end) -> std::uint64_t {
    const std::int64_t d = from - end;
    return d < 0 ? static_cast<std::uint64_t>(-d) * 2 + 1 : static_cast<std::uint64_t>(d) * 2;
  };
  std::size_t at = 0;
  std::size_t literalsFrom = 0;
  std::int64_t sourceEnd = 0;
  std::int64_t targetEnd = 0;
  const auto flush = [&] {
    if (at == literalsFrom) return;
    PutReferenceNumber(out, (at - literalsFrom - 1) * 4 + 1);
    out.append(target.begin() + literalsFrom, target.begin() + at);
  };
  while (at < target.size()) {
    const std::size_t room = target.size() - at;
    int kind = -1;
    std::size_t from = 0, length = 0;
    std::int64_t saved = 0;
    const auto weigh = [&](int k, std::size_t place, std::size_t n, std::uint64_t offset) {
      if (n == 0) return;
      const auto cost = ReferenceNumberSize((n - 1) * 4 + k) + (k >= 2 ? ReferenceNumberSize(offset) : 0);
      const std::int64_t s = static_cast<std::int64_t>(n) - static_cast<std::int64_t>(cost);
      if (s > saved || (s == saved && n > length)) {
        kind = k;
        from = place;
        length = n;
        saved = s;
      }
    };
    if (at < source.size())
      weigh(0, at, common(source.data() + at, target.data() + at, std::min(room, source.size() - at)), 0);
    for (std::size_t p = 0; p < source.size(); ++p) {
      if (p != at)
        weigh(2, p, common(source.data() + p, target.data() + at, std::min(room, source.size() - p)),
              relative(static_cast<std::int64_t>(p), sourceEnd));
    }
    for (std::size_t p = 0; p < at; ++p)
      weigh(3, p, common(target.data() + p, target.data() + at, room), relative(static_cast<std::int64_t>(p), targetEnd));
    if (kind < 0 || saved < (at > literalsFrom ? 2 : 1)) {
      ++at;
      continue;
    }
    flush();
    PutReferenceNumber(out, (length - 1) * 4 + static_cast<std::uint64_t>(kind));
    if (kind == 2) {
      PutReferenceNumber(out, relative(static_cast<std::int64_t>(from), sourceEnd));
      sourceEnd = static_cast<std::int64_t>(from + length);
    } else if (kind == 3) {
      PutReferenceNumber(out, relative(static_cast<std::int64_t>(from), targetEnd));
      targetEnd = static_cast<std::int64_t>(from + length);
    }
    at += length;
    literalsFrom = at;
  }
  flush();
  PutReferenceCrc(out, Crc32(source.data(), source.size()));
  PutReferenceCrc(out, Crc32(target.data(), target.size()));
  PutReferenceCrc(out, Crc32(reinterpret_cast<const std::uint8_t*>(out.data()), out.size()));
  return out;
}

// The program's patches against the exhaustive search's, on small pairs: no
// worse than it by more than a few bytes a pair, and no worse over all.
TEST(BpsCopies, NoLargerThanAnExhaustiveSearch) {
  std::mt19937_64 random(555);
  std::size_t ours = 0;
  std::size_t reference = 0;
  std::size_t worst = 0;
  for (int i = 0; i < 150; ++i) {
    const Bytes original = RandomRom(random, RandomSize(random, i) % 1500);
    const Bytes modified = Rearranged(original, random);
    const std::string bps = MakeBps(original, modified);
    const std::string exhaustive = ExhaustiveBps(original, modified);
    ASSERT_TRUE(ApplyBps(original, exhaustive) == modified) << "pair " << i << ": the reference";
    ours += bps.size();
    reference += exhaustive.size();
    worst = std::max(worst, bps.size() - std::min(bps.size(), exhaustive.size()));
    EXPECT_LE(bps.size(), exhaustive.size() + exhaustive.size() / 10 + 8) << "pair " << i;
  }
  EXPECT_LE(ours, reference + reference / 100) << "ours " << ours << ", reference " << reference;
  std::printf("patch bytes: %zu, exhaustive search's %zu; worst pair %zu bytes more\n", ours, reference, worst);
}

}  // namespace
}  // namespace romscriber::testing
