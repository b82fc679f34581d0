// Address maps: how a CPU address of the game turns into a file offset of the
// ROM image and back.
//
//   linear   a - base + header
//   lorom    header + ((a & 0x7F0000) >> 1) + (a & 0x7FFF), only when a & 0x8000
//   hirom    header + (a & 0x3FFFFF)
//   banked   header + bank * bank_size + (a - window), bank = a >> 16; below the
//            window only on Game Boy-style maps (window == bank_size): header + a
//
// An address that the map puts into the header or outside the file is
// outside the image.
#pragma once

#include <cstdint>
#include <optional>

namespace romscriber {

enum class MapKind { kLinear, kLoRom, kHiRom, kBanked };

struct MapSettings {
  MapKind Kind = MapKind::kLinear;
  std::int64_t Header = 0;        // bytes before the image proper (512 copier, 16 iNES)
  std::int64_t Base = 0;          // linear: address of the first byte after the header
  std::int64_t BankSize = 0x4000;  // banked
  std::int64_t Window = 0x4000;    // banked: CPU address where a bank is seen
  bool Fast = false;              // lorom: addresses in the fast (0x800000) mirror
};

class AddressMap {
 public:
  AddressMap(const MapSettings& settings, std::int64_t fileSize);

  const MapSettings& Settings() const { return m_settings; }
  std::int64_t FileSize() const { return m_fileSize; }

  // File offset of a CPU address, or nothing when it lies outside the image.
  std::optional<std::int64_t> ToOffset(std::int64_t address) const;
  // CPU address of a file offset of the image (header <= offset < file size).
  std::int64_t ToAddress(std::int64_t offset) const;
  // Bits of a pointer's value that the map ignores (LoROM bit 23, HiROM bits
  // 22 and 23); a rewritten pointer keeps these from its old value.
  std::uint32_t IgnoredBits() const;

 private:
  MapSettings m_settings;
  std::int64_t m_fileSize;
};

}  // namespace romscriber
