// Pointer tables: `Count` pointers of `Size` bytes, `Stride` bytes apart from
// file offset `Offset`, each giving the CPU address of a string.
//
//   2-byte pointers   (bank << 16 | value) + add; the bank is `Bank` when
//                     given, else that of the pointer table's own address
//                     (ToAddress(Offset) >> 16)
//   3- and 4-byte     value + add
//
// PointerOffset      where pointer i of a table lies
// ReadPointers       every pointer of a table with the file offset it reaches
// PointerValueFor    the value that makes a pointer reach a new file offset
// StorePointer       writes a value into the ROM
//
// A pointer table outside the ROM is a programming error (std::out_of_range):
// the project loader refuses such a table before anything is read.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "address/address_map.h"

namespace romscriber {

enum class Endian { kLittle, kBig };

struct PointerFormat {
  std::int64_t Offset = 0;  // file offset of the first pointer
  std::int64_t Count = 0;
  int Size = 2;  // 2, 3 or 4 bytes
  Endian Order = Endian::kLittle;
  std::int64_t Stride = 0;  // bytes from one pointer to the next; 0 means Size
  std::int64_t Add = 0;     // added to the value to give the address; may be negative
  std::optional<std::int64_t> Bank = std::nullopt;  // 2-byte pointers only
};

struct Pointer {
  std::int64_t Offset = 0;             // file offset of the pointer itself
  std::uint32_t Value = 0;             // its value as stored
  std::optional<std::int64_t> Target;  // file offset it reaches; nothing when outside the image
};

// File offset of pointer `index` of the table.
std::int64_t PointerOffset(const PointerFormat& format, std::int64_t index);

// Reads every pointer of the table. The table itself must lie within `rom`.
std::vector<Pointer> ReadPointers(std::span<const std::uint8_t> rom, const PointerFormat& format,
                                  const AddressMap& map);

// The value a pointer must hold to reach `target` (a file offset of the
// image), keeping the bits of `oldValue` that the map ignores. Nothing when a
// 2-byte pointer cannot reach it (its string would leave the pointer's bank)
// or the value does not fit the pointer's size. The value is checked by
// reading it back, so a 2-byte pointer also reaches a mirror of its bank or a
// Game Boy's fixed bank 0.
std::optional<std::uint32_t> PointerValueFor(const PointerFormat& format, const AddressMap& map,
                                             std::int64_t target, std::uint32_t oldValue);

// Stores `value` in `size` bytes at `offset` of `rom`, in the given order.
void StorePointer(std::span<std::uint8_t> rom, std::int64_t offset, int size, Endian order,
                  std::uint32_t value);

}  // namespace romscriber
