#include "address/address_map.h"

#include <stdexcept>
#include <string>

namespace romscriber {

namespace {

constexpr std::int64_t kBusMask = 0xFFFFFF;  // the SNES forms 24-bit addresses
constexpr std::int64_t kPlaceMask = 0xFFFF;  // banked: the place of an address in its bank

bool GameBoyStyle(const MapSettings& s) {
  return s.Window == s.BankSize;
}

}  // namespace

AddressMap::AddressMap(const MapSettings& settings, std::int64_t fileSize)
    : m_settings(settings), m_fileSize(fileSize) {
  if (fileSize < 0 || settings.Header < 0)
    throw std::invalid_argument("address map: negative header or file size");
  if (settings.Kind == MapKind::kBanked && (settings.BankSize <= 0 || settings.Window < 0 ||
                                            settings.Window + settings.BankSize > kPlaceMask + 1))
    throw std::invalid_argument("address map: the bank window does not fit 16 bits");
}

std::optional<std::int64_t> AddressMap::ToOffset(std::int64_t address) const {
  const MapSettings& s = m_settings;
  if (address < 0) return std::nullopt;
  std::int64_t offset = 0;
  switch (s.Kind) {
    case MapKind::kLinear:
      offset = address - s.Base + s.Header;
      break;
    case MapKind::kLoRom:
      // Each bank shows 32 KiB of the image in its upper half.
      if (address > kBusMask || !(address & 0x8000)) return std::nullopt;
      offset = s.Header + ((address & 0x7F0000) >> 1) + (address & 0x7FFF);
      break;
    case MapKind::kHiRom:
      if (address > kBusMask) return std::nullopt;
      offset = s.Header + (address & 0x3FFFFF);
      break;
    case MapKind::kBanked: {
      const std::int64_t bank = address >> 16;
      const std::int64_t place = address & kPlaceMask;
      if (place >= s.Window && place < s.Window + s.BankSize)
        offset = s.Header + bank * s.BankSize + (place - s.Window);
      else if (place < s.Window && GameBoyStyle(s))
        offset = s.Header + place;  // fixed bank 0, whatever bank is switched in
      else
        return std::nullopt;
      break;
    }
  }
  if (offset < s.Header || offset >= m_fileSize) return std::nullopt;
  return offset;
}

std::int64_t AddressMap::ToAddress(std::int64_t offset) const {
  const MapSettings& s = m_settings;
  if (offset < s.Header || offset >= m_fileSize)
    throw std::out_of_range("address map: offset " + std::to_string(offset) +
                            " is outside the image");
  const std::int64_t r = offset - s.Header;
  switch (s.Kind) {
    case MapKind::kLinear:
      return r + s.Base;
    case MapKind::kLoRom:
      return ((r << 1) & 0x7F0000) | 0x8000 | (r & 0x7FFF) | (s.Fast ? 0x800000 : 0);
    case MapKind::kHiRom:
      return r | 0xC00000;
    case MapKind::kBanked: {
      const std::int64_t bank = r / s.BankSize;
      if (bank == 0 && GameBoyStyle(s)) return r;
      return bank << 16 | (s.Window + r % s.BankSize);
    }
  }
  return r;
}

std::uint32_t AddressMap::IgnoredBits() const {
  switch (m_settings.Kind) {
    case MapKind::kLoRom:
      return 0x800000;
    case MapKind::kHiRom:
      return 0xC00000;
    default:
      return 0;
  }
}

}  // namespace romscriber
