// Address maps: how a CPU address of the game turns into a file offset of the
// ROM image and back.
//
//   linear   a - base + header
//   lorom    header + ((a & 0x7F0000) >> 1) + (a & 0x7FFF), only when a & 0x8000
//   hirom    header + (a & 0x3FFFFF)
//   banked   a = bank << 16 | place: header + bank * bank_size + (place - window)
//            while the place lies in the window (window <= place < window +
//            bank_size); below the window only on Game Boy-style maps
//            (window == bank_size), where it is fixed bank 0: header + place
//
// An address that the map puts into the header or outside the file is
// outside the image, and so is a negative address and, on lorom and hirom,
// one wider than the 24 bits of the bus.
//
// Back from a file offset o, with r = o - header:
//
//   linear   r + base
//   lorom    ((r << 1) & 0x7F0000) | 0x8000 | (r & 0x7FFF), | 0x800000 when fast
//   hirom    r | 0xC00000
//   banked   (r / bank_size) << 16 | (window + r % bank_size); on Game
//            Boy-style maps bank 0 is at address r, below the window
//
// LoROM and HiROM reach the first 4 MiB after the header.
#pragma once

#include <cstdint>
#include <optional>

namespace romscriber {

enum class MapKind { kLinear, kLoRom, kHiRom, kBanked };

struct MapSettings {
  MapKind Kind = MapKind::kLinear;
  std::int64_t Header = 0;         // bytes before the image proper (512 copier, 16 iNES)
  std::int64_t Base = 0;           // linear: address of the first byte after the header
  std::int64_t BankSize = 0x4000;  // banked: > 0
  std::int64_t Window = 0x4000;    // banked: CPU address where a bank is seen;
                                   // window + bank_size <= 0x10000
  bool Fast = false;               // lorom: addresses in the fast (0x800000) mirror
};

class AddressMap {
 public:
  // std::invalid_argument for settings no map can have (a negative header, a
  // banked window that does not fit 16 bits); the project loader refuses them
  // earlier with a message for the user.
  AddressMap(const MapSettings& settings, std::int64_t fileSize);

  const MapSettings& Settings() const { return m_settings; }
  std::int64_t FileSize() const { return m_fileSize; }

  // File offset of a CPU address, or nothing when it lies outside the image.
  std::optional<std::int64_t> ToOffset(std::int64_t address) const;
  // CPU address of a file offset of the image (header <= offset < file
  // size; std::out_of_range otherwise).
  std::int64_t ToAddress(std::int64_t offset) const;
  // Bits of a pointer's value that the map ignores (LoROM bit 23, HiROM bits
  // 22 and 23); a rewritten pointer keeps these from its old value.
  std::uint32_t IgnoredBits() const;

 private:
  MapSettings m_settings;
  std::int64_t m_fileSize;
};

}  // namespace romscriber
