#include "address/pointers.h"

#include <gtest/gtest.h>

#include <random>
#include <stdexcept>
#include <string>
#include <vector>

namespace romscriber::testing {
namespace {

using Bytes = std::vector<std::uint8_t>;

constexpr std::int64_t kImageSize = 0x20000;  // bytes after the header

struct NamedMap {
  std::string Name;
  MapSettings Settings;
};

std::vector<NamedMap> Maps() {
  return {
      {"linear", {.Kind = MapKind::kLinear}},
      {"linear base 0x8000 header 16", {.Kind = MapKind::kLinear, .Header = 16, .Base = 0x8000}},
      {"lorom header 512", {.Kind = MapKind::kLoRom, .Header = 512}},
      {"lorom fast", {.Kind = MapKind::kLoRom, .Fast = true}},
      {"hirom", {.Kind = MapKind::kHiRom}},
      {"hirom header 512", {.Kind = MapKind::kHiRom, .Header = 512}},
      {"game boy", {.Kind = MapKind::kBanked, .BankSize = 0x4000, .Window = 0x4000}},
      {"nes", {.Kind = MapKind::kBanked, .Header = 16, .BankSize = 0x4000, .Window = 0x8000}},
  };
}

// Written here byte by byte, apart from StorePointer.
void Put(Bytes& rom, std::int64_t offset, int size, Endian order, std::uint32_t value) {
  for (int k = 0; k < size; ++k) {
    const int byte = order == Endian::kLittle ? k : size - 1 - k;
    rom[offset + byte] = static_cast<std::uint8_t>(value >> (8 * k));
  }
}

// The address a pointer value stands for, as the pointer rules read it.
std::int64_t AddressOf(const PointerFormat& f, std::int64_t bank, std::uint32_t value) {
  return f.Size == 2 ? (bank << 16 | value) + f.Add : value + f.Add;
}

struct Case {
  std::string Name;
  AddressMap Map;
  PointerFormat Format;
  std::int64_t Bank = 0;  // the bank 2-byte pointers read with
};

// Every map with every pointer size, order, stride, add and bank source.
template <typename Body>
void ForEachCase(Body body) {
  std::mt19937_64 random(2024);
  for (const auto& [mapName, settings] : Maps()) {
    const AddressMap map(settings, settings.Header + kImageSize);
    std::uniform_int_distribution<std::int64_t> offsets(settings.Header, map.FileSize() - 1);
    for (int size : {2, 3, 4})
      for (Endian order : {Endian::kLittle, Endian::kBig})
        for (std::int64_t add : {0, 0x123, -0x2000})
          for (bool bankGiven : {false, true}) {
            if (bankGiven && size != 2) continue;
            const std::int64_t stride = random() % 2 ? 0 : 5;  // packed or apart
            PointerFormat f;
            f.Size = size;
            f.Order = order;
            f.Stride = stride;
            f.Add = add;
            f.Count = 40;
            f.Offset = std::min(offsets(random), map.FileSize() - 40 * 5 - 1);
            if (bankGiven) f.Bank = map.ToAddress(offsets(random)) >> 16;
            const std::int64_t bank = f.Bank ? *f.Bank : map.ToAddress(f.Offset) >> 16;
            const std::string name = mapName + " size " + std::to_string(size) +
                                     (order == Endian::kBig ? " big" : " little") + " stride " +
                                     std::to_string(stride) + " add " + std::to_string(add) +
                                     (bankGiven ? " bank given" : "");
            body(Case{name, map, f, bank}, random);
          }
  }
}

// Random pointer values: 2-byte ones anything (the bank decides), wider ones
// mostly the address of some offset of the image, with random ignored bits,
// and some raw values that usually fall outside it.
std::uint32_t RandomValue(const Case& c, std::mt19937_64& random) {
  const auto raw = static_cast<std::uint32_t>(random());
  if (c.Format.Size == 2) return raw & 0xFFFF;
  const std::uint32_t mask = c.Format.Size == 3 ? 0xFFFFFF : 0xFFFFFFFF;
  if (raw % 4 == 0) return raw & mask;
  std::uniform_int_distribution<std::int64_t> offsets(c.Map.Settings().Header,
                                                      c.Map.FileSize() - 1);
  const std::int64_t value = c.Map.ToAddress(offsets(random)) - c.Format.Add;
  const std::uint32_t ignored = c.Map.IgnoredBits();
  return (static_cast<std::uint32_t>(value) & ~ignored & mask) | (raw & ignored);
}

TEST(Pointers, ReadPointersGivesTheOffsetOfEveryAddress) {
  ForEachCase([](const Case& c, std::mt19937_64& random) {
    Bytes rom(c.Map.FileSize(), 0xEE);
    std::vector<std::uint32_t> values;
    for (std::int64_t i = 0; i < c.Format.Count; ++i) {
      values.push_back(RandomValue(c, random));
      Put(rom, PointerOffset(c.Format, i), c.Format.Size, c.Format.Order, values.back());
    }
    const auto pointers = ReadPointers(rom, c.Format, c.Map);
    ASSERT_EQ(pointers.size(), values.size()) << c.Name;
    int inside = 0;
    for (std::size_t i = 0; i < values.size(); ++i) {
      const std::int64_t step = c.Format.Stride ? c.Format.Stride : c.Format.Size;
      EXPECT_EQ(pointers[i].Offset, c.Format.Offset + static_cast<std::int64_t>(i) * step);
      EXPECT_EQ(pointers[i].Value, values[i]) << c.Name;
      const auto expected = c.Map.ToOffset(AddressOf(c.Format, c.Bank, values[i]));
      EXPECT_EQ(pointers[i].Target, expected) << c.Name << " value " << values[i];
      inside += expected.has_value();
    }
    EXPECT_GT(inside, 0) << c.Name << ": the case tests no pointer inside the image";
  });
}

TEST(Pointers, RewrittenPointersReachTheirNewTargetsAndKeepIgnoredBits) {
  ForEachCase([](const Case& c, std::mt19937_64& random) {
    Bytes rom(c.Map.FileSize(), 0xEE);
    for (std::int64_t i = 0; i < c.Format.Count; ++i)
      Put(rom, PointerOffset(c.Format, i), c.Format.Size, c.Format.Order, RandomValue(c, random));
    const Bytes before = rom;
    const auto old = ReadPointers(rom, c.Format, c.Map);

    // A 2-byte pointer reaches exactly the offsets some 16-bit value reads
    // as; found here by trying them all. A wider one reaches an offset when
    // its address less the add fits the pointer.
    std::vector<bool> reachable(c.Map.FileSize(), false);
    if (c.Format.Size == 2) {
      for (std::uint32_t v = 0; v <= 0xFFFF; ++v)
        if (const auto o = c.Map.ToOffset(AddressOf(c.Format, c.Bank, v))) reachable[*o] = true;
    } else {
      const std::int64_t limit = c.Format.Size == 3 ? 0xFFFFFF : 0xFFFFFFFF;
      for (std::int64_t o = c.Map.Settings().Header; o < c.Map.FileSize(); ++o) {
        const std::int64_t v = c.Map.ToAddress(o) - c.Format.Add;
        reachable[o] = v >= 0 && v <= limit;
      }
    }
    std::vector<std::int64_t> reachableOffsets;
    for (std::int64_t o = 0; o < c.Map.FileSize(); ++o)
      if (reachable[o] && o >= c.Map.Settings().Header) reachableOffsets.push_back(o);
    ASSERT_FALSE(reachableOffsets.empty()) << c.Name;

    std::uniform_int_distribution<std::int64_t> anyOffset(c.Map.Settings().Header,
                                                          c.Map.FileSize() - 1);
    std::uniform_int_distribution<std::size_t> anyReachable(0, reachableOffsets.size() - 1);
    std::vector<std::optional<std::int64_t>> wanted;
    for (const Pointer& p : old) {
      // Half the new targets surely reachable, half anywhere in the image.
      const std::int64_t target =
          random() % 2 ? reachableOffsets[anyReachable(random)] : anyOffset(random);
      const auto value = PointerValueFor(c.Format, c.Map, target, p.Value);
      ASSERT_EQ(value.has_value(), static_cast<bool>(reachable[target]))
          << c.Name << " target " << target;
      if (!value) {
        wanted.push_back(p.Target);
        continue;
      }
      EXPECT_EQ(*value & c.Map.IgnoredBits(), p.Value & c.Map.IgnoredBits()) << c.Name;
      StorePointer(rom, p.Offset, c.Format.Size, c.Format.Order, *value);
      wanted.push_back(target);
    }
    const auto now = ReadPointers(rom, c.Format, c.Map);
    for (std::size_t i = 0; i < now.size(); ++i)
      EXPECT_EQ(now[i].Target, wanted[i]) << c.Name << " pointer " << i;
    // Nothing but the pointers' own bytes changed.
    for (const Pointer& p : old)
      for (int k = 0; k < c.Format.Size; ++k)
        rom[p.Offset + k] = before[p.Offset + k];
    EXPECT_TRUE(rom == before) << c.Name;
  });
}

TEST(Pointers, TwoBytePointerCannotLeaveItsBank) {
  // LoROM: the table in bank 0 reaches $00:8000-$00:FFFF, offsets 0-0x7FFF.
  const AddressMap map({.Kind = MapKind::kLoRom}, 0x20000);
  PointerFormat f{.Offset = 0x100, .Count = 1, .Size = 2};
  EXPECT_EQ(PointerValueFor(f, map, 0x7FFF, 0), 0xFFFFu);
  EXPECT_EQ(PointerValueFor(f, map, 0x8000, 0), std::nullopt);
  // The same target is reachable from a table whose bank is given as 1.
  f.Bank = 1;
  EXPECT_EQ(PointerValueFor(f, map, 0x8000, 0), 0x8000u);
  EXPECT_EQ(PointerValueFor(f, map, 0x7FFF, 0), std::nullopt);
}

TEST(Pointers, ValueThatDoesNotFitIsRefused) {
  // Linear addresses from 0xFFF000: offset 0x2000 is at 0x1001000, past 3 bytes.
  const AddressMap map({.Kind = MapKind::kLinear, .Base = 0xFFF000}, 0x4000);
  const PointerFormat three{.Offset = 0, .Count = 1, .Size = 3};
  EXPECT_EQ(PointerValueFor(three, map, 0xFFF, 0), 0xFFFFFFu);
  EXPECT_EQ(PointerValueFor(three, map, 0x2000, 0), std::nullopt);
  const PointerFormat four{.Offset = 0, .Count = 1, .Size = 4};
  EXPECT_EQ(PointerValueFor(four, map, 0x2000, 0), 0x1001000u);
  // A value would be negative when the add goes past the address.
  const PointerFormat pastZero{.Offset = 0, .Count = 1, .Size = 3, .Add = 0x1000000};
  EXPECT_EQ(PointerValueFor(pastZero, map, 0x10, 0), std::nullopt);
}

TEST(Pointers, NullPointerHasNoTarget) {
  // LoROM value 0000 is $00:0000, below the ROM half of bank 0.
  const AddressMap map({.Kind = MapKind::kLoRom}, 0x10000);
  Bytes rom(0x10000, 0);
  Put(rom, 0x12, 2, Endian::kLittle, 0x8010);
  const PointerFormat f{.Offset = 0x10, .Count = 2, .Size = 2};
  const auto pointers = ReadPointers(rom, f, map);
  ASSERT_EQ(pointers.size(), 2u);
  EXPECT_EQ(pointers[0].Target, std::nullopt);
  EXPECT_EQ(pointers[1].Target, 0x10);
}

TEST(Pointers, TableOutsideTheRomIsAProgrammingError) {
  const AddressMap map({}, 0x100);
  const Bytes rom(0x100, 0);
  EXPECT_THROW(ReadPointers(rom, {.Offset = 0xFF, .Count = 1, .Size = 2}, map), std::out_of_range);
  EXPECT_THROW(ReadPointers(rom, {.Offset = 0xF0, .Count = 3, .Size = 4, .Stride = 7}, map),
               std::out_of_range);
  EXPECT_THROW(ReadPointers(rom, {.Offset = -1, .Count = 1, .Size = 2}, map), std::out_of_range);
  EXPECT_NO_THROW(ReadPointers(rom, {.Offset = 0xFE, .Count = 1, .Size = 2}, map));
  Bytes out(0x100, 0);
  EXPECT_THROW(StorePointer(out, 0xFE, 3, Endian::kBig, 1), std::out_of_range);
}

}  // namespace
}  // namespace romscriber::testing
