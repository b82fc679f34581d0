// Small IPS and BPS appliers written from the formats alone, to check the
// patches the program makes without trusting its own code; and random ROM
// pairs made by the edits a translation makes.
#pragma once

#include <algorithm>
#include <array>
#include <cstdint>
#include <random>
#include <stdexcept>
#include <string>
#include <vector>

namespace romscriber::testing {

using Bytes = std::vector<std::uint8_t>;

// --- Independent appliers ------------------------------------------------------

inline std::uint32_t Crc32(const std::uint8_t* data, std::size_t size) {
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
inline Bytes ApplyIps(Bytes rom, const std::string& patch) {
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

// Applies a BPS patch, checking sizes and all three checksums. An action that
// reads outside the source, copies from a place of the target not yet
// written, runs past the target's size or into the checksums is refused.
inline Bytes ApplyBps(const Bytes& source, const std::string& patch) {
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

  const std::string body = patch.substr(0, patch.size() - 12);  // the actions end at the checksums
  Reader in(body);
  if (!in.StartsWith("BPS1")) throw std::runtime_error("no BPS1");
  for (int k = 0; k < 4; ++k)
    in.Byte();
  if (in.Number() != source.size()) throw std::runtime_error("source size");
  const std::uint64_t targetSize = in.Number();
  const std::uint64_t metadata = in.Number();
  for (std::uint64_t k = 0; k < metadata; ++k)
    in.Byte();
  Bytes target;
  target.reserve(static_cast<std::size_t>(std::min<std::uint64_t>(targetSize, 1u << 28)));
  std::int64_t sourceRelative = 0, targetRelative = 0;
  auto signedNumber = [&] {
    const std::uint64_t n = in.Number();
    return (n & 1 ? -1 : 1) * static_cast<std::int64_t>(n >> 1);
  };
  auto at = [](const Bytes& from, std::int64_t place) {
    if (place < 0 || static_cast<std::uint64_t>(place) >= from.size())
      throw std::runtime_error("copy from outside");
    return from[static_cast<std::size_t>(place)];
  };
  while (in.Left() > 0) {
    const std::uint64_t action = in.Number();
    const std::uint64_t length = (action >> 2) + 1;
    if (length > targetSize - target.size()) throw std::runtime_error("action past the target's end");
    const std::int64_t start = static_cast<std::int64_t>(target.size());
    if ((action & 3) == 2) sourceRelative += signedNumber();
    if ((action & 3) == 3) targetRelative += signedNumber();
    for (std::uint64_t k = 0; k < length; ++k) {
      switch (action & 3) {
        case 0:  // SourceRead: the source's byte at the same place
          target.push_back(at(source, start + static_cast<std::int64_t>(k)));
          break;
        case 1:  // TargetRead: the patch's own bytes
          target.push_back(in.Byte());
          break;
        case 2:  // SourceCopy
          target.push_back(at(source, sourceRelative++));
          break;
        case 3:  // TargetCopy: bytes already written, even by this action
          target.push_back(at(target, targetRelative++));
          break;
      }
    }
  }
  if (target.size() != targetSize) throw std::runtime_error("target size");
  if (Crc32(target.data(), target.size()) != targetCrc) throw std::runtime_error("target checksum");
  return target;
}

// --- Random ROM pairs ----------------------------------------------------------

// `size` bytes of one of three kinds: random bytes (nothing repeats by
// chance), text (words of a few letters from a small set, so that the same
// bytes recur all over), or one fill value with islands of random bytes.
inline Bytes RandomRom(std::mt19937_64& random, std::size_t size) {
  Bytes rom;
  rom.reserve(size);
  switch (random() % 3) {
    case 0:
      while (rom.size() < size)
        rom.push_back(static_cast<std::uint8_t>(random()));
      break;
    case 1: {
      std::vector<Bytes> words(20 + random() % 200);
      for (Bytes& w : words)
        for (std::size_t n = 1 + random() % 8; n > 0; --n)
          w.push_back(static_cast<std::uint8_t>(0x41 + random() % 26));
      while (rom.size() < size) {
        const Bytes& w = words[random() % words.size()];
        rom.insert(rom.end(), w.begin(), w.end());
        rom.push_back(random() % 9 == 0 ? 0xFF : 0x20);
      }
      rom.resize(size);
      break;
    }
    default: {
      rom.assign(size, static_cast<std::uint8_t>(random() % 2 ? 0xFF : 0x00));
      for (int islands = static_cast<int>(random() % 12); islands > 0 && size > 0; --islands) {
        const std::size_t at = random() % size;
        for (std::size_t k = at; k < size && k < at + random() % 300; ++k)
          rom[k] = static_cast<std::uint8_t>(random());
      }
      break;
    }
  }
  return rom;
}

// A new ROM made from `original` with the edits a translation makes: blocks
// moved elsewhere (strings that outgrew their place), blocks repeated, bytes
// inserted and deleted (everything after shifts), runs of one value, scattered
// noise, and at times growth or truncation. Blocks are at times a few bytes,
// at times a large part of the ROM.
inline Bytes Rearranged(const Bytes& original, std::mt19937_64& random) {
  Bytes m = original;
  const auto pick = [&](std::size_t n) { return n ? static_cast<std::size_t>(random() % n) : 0; };
  const auto length = [&](std::size_t room) {
    const std::size_t most = random() % 4 == 0 ? room / 3 + 1 : 24;
    return std::min(room, 1 + pick(most));
  };
  const auto fresh = [&](std::size_t n) {
    Bytes b(n);
    for (std::uint8_t& x : b)
      x = static_cast<std::uint8_t>(random());
    return b;
  };
  for (int edits = static_cast<int>(random() % 14); edits > 0; --edits) {
    const std::size_t at = pick(m.size());
    const std::size_t n = length(m.size() - at);
    switch (random() % 7) {
      case 0: {  // move a block
        if (m.empty()) break;
        const Bytes block(m.begin() + at, m.begin() + at + n);
        m.erase(m.begin() + at, m.begin() + at + n);
        m.insert(m.begin() + pick(m.size() + 1), block.begin(), block.end());
        break;
      }
      case 1: {  // repeat a block somewhere else, over what was there or shifting it
        if (m.empty()) break;
        const Bytes block(m.begin() + at, m.begin() + at + n);
        const std::size_t to = pick(m.size() + 1);
        if (random() % 2) {
          m.insert(m.begin() + to, block.begin(), block.end());
        } else {
          for (std::size_t k = 0; k < n && to + k < m.size(); ++k)
            m[to + k] = block[k];
        }
        break;
      }
      case 2: {  // insert new bytes
        const Bytes block = fresh(1 + pick(random() % 3 ? 40 : 2000));
        m.insert(m.begin() + pick(m.size() + 1), block.begin(), block.end());
        break;
      }
      case 3:  // delete bytes
        m.erase(m.begin() + at, m.begin() + at + n);
        break;
      case 4:  // a run of one value
        std::fill(m.begin() + at, m.begin() + at + n, static_cast<std::uint8_t>(random() % 2 ? 0 : random()));
        break;
      case 5:  // noise
        for (int k = static_cast<int>(random() % 30); k > 0 && !m.empty(); --k)
          m[pick(m.size())] ^= static_cast<std::uint8_t>(1 + random() % 255);
        break;
      case 6:  // the first or the last byte
        if (!m.empty()) (random() % 2 ? m.front() : m.back()) ^= 0x80;
        break;
    }
  }
  switch (random() % 5) {
    case 0: {  // growth: new bytes, a fill value, or a copy of a part
      Bytes tail = random() % 2 ? fresh(1 + pick(3000)) : Bytes(1 + pick(500), 0xFF);
      if (random() % 3 == 0 && !m.empty()) {
        const std::size_t from = pick(m.size());
        tail.assign(m.begin() + from, m.begin() + from + length(m.size() - from));
      }
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

}  // namespace romscriber::testing
