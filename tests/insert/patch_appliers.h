// Small IPS and BPS appliers written from the formats alone, to check the
// patches the program makes without trusting its own code.
#pragma once

#include <array>
#include <cstdint>
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

// Applies a BPS patch, checking sizes and all three checksums.
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

}  // namespace romscriber::testing
