#include "address/pointers.h"

#include <stdexcept>
#include <string>

namespace romscriber {

namespace {

void CheckSize(int size) {
  if (size < 2 || size > 4) throw std::invalid_argument("pointer size must be 2, 3 or 4");
}

void CheckInside(std::size_t romSize, std::int64_t offset, int size) {
  if (offset < 0 || offset > static_cast<std::int64_t>(romSize) - size)
    throw std::out_of_range("pointer at offset " + std::to_string(offset) +
                            " lies outside the ROM");
}

// The bank of a table's 2-byte pointers.
std::int64_t BankOf(const PointerFormat& format, const AddressMap& map) {
  if (format.Bank) return *format.Bank;
  return map.ToAddress(format.Offset) >> 16;
}

// The file offset a pointer reads as, or nothing.
std::optional<std::int64_t> TargetOf(const PointerFormat& format, const AddressMap& map,
                                     std::int64_t bank, std::uint32_t value) {
  const std::int64_t address =
      format.Size == 2 ? (bank << 16 | value) + format.Add : value + format.Add;
  return map.ToOffset(address);
}

}  // namespace

std::int64_t PointerOffset(const PointerFormat& format, std::int64_t index) {
  return format.Offset + index * (format.Stride != 0 ? format.Stride : format.Size);
}

std::vector<Pointer> ReadPointers(std::span<const std::uint8_t> rom, const PointerFormat& format,
                                  const AddressMap& map) {
  CheckSize(format.Size);
  if (format.Count < 0) throw std::invalid_argument("negative pointer count");
  std::vector<Pointer> pointers;
  if (format.Count == 0) return pointers;
  // The offsets run evenly, so the first and the last pointer bound them all.
  CheckInside(rom.size(), PointerOffset(format, 0), format.Size);
  CheckInside(rom.size(), PointerOffset(format, format.Count - 1), format.Size);
  const std::int64_t bank = format.Size == 2 ? BankOf(format, map) : 0;
  pointers.reserve(static_cast<std::size_t>(format.Count));
  for (std::int64_t i = 0; i < format.Count; ++i) {
    Pointer p;
    p.Offset = PointerOffset(format, i);
    const std::uint8_t* bytes = rom.data() + p.Offset;
    for (int k = 0; k < format.Size; ++k) {
      const int shift = format.Order == Endian::kLittle ? 8 * k : 8 * (format.Size - 1 - k);
      p.Value |= static_cast<std::uint32_t>(bytes[k]) << shift;
    }
    p.Target = TargetOf(format, map, bank, p.Value);
    pointers.push_back(p);
  }
  return pointers;
}

std::optional<std::uint32_t> PointerValueFor(const PointerFormat& format, const AddressMap& map,
                                             std::int64_t target, std::uint32_t oldValue) {
  CheckSize(format.Size);
  const std::int64_t wanted = map.ToAddress(target) - format.Add;
  std::int64_t value = 0;
  std::int64_t bank = 0;
  if (format.Size == 2) {
    // Only the low 16 bits are stored; the bank is the table's. Whether that
    // bank reaches the target (its own bank, a mirror of it, or a fixed bank
    // below a Game Boy window) is settled by reading the value back below.
    bank = BankOf(format, map);
    value = wanted & 0xFFFF;
  } else {
    const std::int64_t ignored = map.IgnoredBits();
    value = (wanted & ~ignored) | (oldValue & ignored);
    const std::int64_t limit = format.Size == 3 ? 0xFFFFFF : 0xFFFFFFFF;
    if (wanted < 0 || value > limit) return std::nullopt;
  }
  const auto newValue = static_cast<std::uint32_t>(value);
  if (TargetOf(format, map, bank, newValue) != target) return std::nullopt;
  return newValue;
}

void StorePointer(std::span<std::uint8_t> rom, std::int64_t offset, int size, Endian order,
                  std::uint32_t value) {
  CheckSize(size);
  CheckInside(rom.size(), offset, size);
  std::uint8_t* bytes = rom.data() + offset;
  for (int k = 0; k < size; ++k) {
    const int shift = order == Endian::kLittle ? 8 * k : 8 * (size - 1 - k);
    bytes[k] = static_cast<std::uint8_t>(value >> shift);
  }
}

}  // namespace romscriber
