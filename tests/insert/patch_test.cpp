#include "insert/patch.h"

#include <gtest/gtest.h>

#include <array>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

#include "base/app_error.h"

namespace romscriber::testing {
namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::int64_t kEofOffset = 0x454F46;

// --- Independent appliers ------------------------------------------------------

std::uint32_t Crc32(const std::uint8_t* data, std::size_t size) {
  static const auto table = [] {
    std::array<std::uint32_t, 256> t{};
    for (std::uint32_t n = 0; n < 256; ++n) {
      std::uint32_t c = n;
      for (int k = 0; k < 8; ++k)
        c = c & 1 ? 0xEDB88320u ^ (c >> 1) : c >> 1;
      t[n] = c;
    }
    return t;
  }();
  std::uint32_t crc = 0xFFFFFFFFu;
  for (std::size_t i = 0; i < size; ++i)
    crc = table[(crc ^ data[i]) & 0xFF] ^ (crc >> 8);
  return crc ^ 0xFFFFFFFFu;
}

class Reader {
 public:
  explicit Reader(const std::string& data) : m_data(data) {}
  std::uint8_t Byte() {
    if (m_pos >= m_data.size()) throw std::runtime_error("patch ends early");
    return static_cast<std::uint8_t>(m_data[m_pos++]);
  }
  std::uint64_t BigEndian(int bytes) {
    std::uint64_t v = 0;
    for (int k = 0; k < bytes; ++k)
      v = v << 8 | Byte();
    return v;
  }
  std::uint32_t LittleEndian32() {
    std::uint32_t v = 0;
    for (int k = 0; k < 4; ++k)
      v |= static_cast<std::uint32_t>(Byte()) << (8 * k);
    return v;
  }
  std::uint64_t Number() {  // beat's variable-length number
    std::uint64_t value = 0, shift = 1;
    while (true) {
      const std::uint8_t x = Byte();
      value += (x & 0x7F) * shift;
      if (x & 0x80) return value;
      shift <<= 7;
      value += shift;
    }
  }
  bool StartsWith(const std::string& text) const {
    return m_data.compare(m_pos, text.size(), text) == 0;
  }
  std::size_t Pos() const { return m_pos; }
  std::size_t Left() const { return m_data.size() - m_pos; }

 private:
  const std::string& m_data;
  std::size_t m_pos = 0;
};

// Applies an IPS patch; records whose offset reads "EOF" end the patch, as
// in every applier. Fails on anything after "EOF" but a 3-byte size.
Bytes ApplyIps(Bytes rom, const std::string& patch) {
  Reader in(patch);
  if (!in.StartsWith("PATCH")) throw std::runtime_error("no PATCH");
  for (int k = 0; k < 5; ++k)
    in.Byte();
  while (!in.StartsWith("EOF")) {
    const std::size_t offset = in.BigEndian(3);
    std::size_t size = in.BigEndian(2);
    Bytes data;
    if (size == 0) {
      size = in.BigEndian(2);
      data.assign(size, in.Byte());
    } else {
      for (std::size_t k = 0; k < size; ++k)
        data.push_back(in.Byte());
    }
    if (rom.size() < offset + size) rom.resize(offset + size, 0);
    std::copy(data.begin(), data.end(), rom.begin() + offset);
  }
  for (int k = 0; k < 3; ++k)
    in.Byte();
  if (in.Left() == 3) {
    rom.resize(in.BigEndian(3));
  } else if (in.Left() != 0) {
    throw std::runtime_error("bytes after EOF");
  }
  return rom;
}

// Applies a BPS patch, checking sizes and all three checksums.
Bytes ApplyBps(const Bytes& source, const std::string& patch) {
  if (patch.size() < 4 + 3 + 12) throw std::runtime_error("too short");
  const auto* bytes = reinterpret_cast<const std::uint8_t*>(patch.data());
  Reader tail(patch);
  for (std::size_t k = 0; k < patch.size() - 12; ++k)
    tail.Byte();
  const std::uint32_t sourceCrc = tail.LittleEndian32();
  const std::uint32_t targetCrc = tail.LittleEndian32();
  const std::uint32_t patchCrc = tail.LittleEndian32();
  if (Crc32(bytes, patch.size() - 4) != patchCrc) throw std::runtime_error("patch checksum");
  if (Crc32(source.data(), source.size()) != sourceCrc) throw std::runtime_error("wrong source");

  Reader in(patch);
  if (!in.StartsWith("BPS1")) throw std::runtime_error("no BPS1");
  for (int k = 0; k < 4; ++k)
    in.Byte();
  if (in.Number() != source.size()) throw std::runtime_error("source size");
  const std::uint64_t targetSize = in.Number();
  const std::uint64_t metadata = in.Number();
  for (std::uint64_t k = 0; k < metadata; ++k)
    in.Byte();
  Bytes target;
  std::int64_t sourceRelative = 0, targetRelative = 0;
  while (in.Pos() < patch.size() - 12) {
    const std::uint64_t action = in.Number();
    const std::uint64_t length = (action >> 2) + 1;
    auto signedNumber = [&] {
      const std::uint64_t n = in.Number();
      return (n & 1 ? -1 : 1) * static_cast<std::int64_t>(n >> 1);
    };
    for (std::uint64_t k = 0, start = target.size(); k < length; ++k) {
      switch (action & 3) {
        case 0:  // SourceRead
          target.push_back(source.at(start + k));
          break;
        case 1:  // TargetRead
          target.push_back(in.Byte());
          break;
        case 2:  // SourceCopy
          if (k == 0) sourceRelative += signedNumber();
          target.push_back(source.at(sourceRelative++));
          break;
        case 3:  // TargetCopy
          if (k == 0) targetRelative += signedNumber();
          target.push_back(target.at(targetRelative++));
          break;
      }
    }
  }
  if (target.size() != targetSize) throw std::runtime_error("target size");
  if (Crc32(target.data(), target.size()) != targetCrc) throw std::runtime_error("target checksum");
  return target;
}

// --- Random ROM pairs ----------------------------------------------------------

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
