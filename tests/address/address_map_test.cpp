#include "address/address_map.h"

#include <gtest/gtest.h>

#include <random>
#include <stdexcept>
#include <string>
#include <vector>

namespace romscriber::testing {
namespace {

struct NamedMap {
  std::string Name;
  MapSettings Settings;
};

MapSettings Linear(std::int64_t header, std::int64_t base) {
  return {.Kind = MapKind::kLinear, .Header = header, .Base = base};
}
MapSettings LoRom(std::int64_t header, bool fast) {
  return {.Kind = MapKind::kLoRom, .Header = header, .Fast = fast};
}
MapSettings HiRom(std::int64_t header) {
  return {.Kind = MapKind::kHiRom, .Header = header};
}
MapSettings Banked(std::int64_t header, std::int64_t bankSize, std::int64_t window) {
  return {.Kind = MapKind::kBanked, .Header = header, .BankSize = bankSize, .Window = window};
}

// Every kind of map with a few settings each.
std::vector<NamedMap> AllMaps() {
  return {
      {"linear", Linear(0, 0)},
      {"linear header 512 base 0x8000", Linear(512, 0x8000)},
      {"linear base 0x80000000", Linear(16, 0x80000000LL)},
      {"lorom", LoRom(0, false)},
      {"lorom fast header 512", LoRom(512, true)},
      {"hirom", HiRom(0)},
      {"hirom header 512", HiRom(512)},
      {"game boy", Banked(0, 0x4000, 0x4000)},
      {"game boy 8 KiB banks", Banked(0, 0x2000, 0x2000)},
      {"nes 16 KiB banks", Banked(16, 0x4000, 0x8000)},
      {"nes 32 KiB banks", Banked(16, 0x8000, 0x8000)},
      {"banked window 0xA000", Banked(512, 0x2000, 0xA000)},
  };
}

void ExpectRoundTrip(const AddressMap& map, std::int64_t offset, const std::string& name) {
  const std::int64_t address = map.ToAddress(offset);
  const auto back = map.ToOffset(address);
  ASSERT_TRUE(back.has_value()) << name << " offset " << offset << " address " << address;
  ASSERT_EQ(*back, offset) << name << " address " << address;
}

// --- Round trips -------------------------------------------------------------

TEST(AddressMap, EveryOffsetOfASmallFileComesBackFromItsAddress) {
  for (const auto& [name, settings] : AllMaps()) {
    const AddressMap map(settings, settings.Header + 0x30000);
    for (std::int64_t o = settings.Header; o < map.FileSize(); ++o)
      ExpectRoundTrip(map, o, name);
  }
}

TEST(AddressMap, RandomOffsetsOfALargeFileComeBackFromTheirAddresses) {
  std::mt19937_64 random(7);
  for (const auto& [name, settings] : AllMaps()) {
    // LoROM and HiROM reach 4 MiB; the others take a 32 MiB file.
    const bool snes = settings.Kind == MapKind::kLoRom || settings.Kind == MapKind::kHiRom;
    const std::int64_t size = settings.Header + (snes ? 0x400000 : 0x2000000);
    const AddressMap map(settings, size);
    std::uniform_int_distribution<std::int64_t> offsets(settings.Header, size - 1);
    for (int i = 0; i < 20000; ++i)
      ExpectRoundTrip(map, offsets(random), name);
    ExpectRoundTrip(map, size - 1, name);
  }
}

TEST(AddressMap, EveryAddressLandsInsideTheImageOrNowhere) {
  // Random addresses, mostly unmapped ones: whatever ToOffset gives lies
  // between the header and the end of the file.
  std::mt19937_64 random(11);
  std::uniform_int_distribution<std::int64_t> addresses(-0x10000, 0x1FFFFFF);
  for (const auto& [name, settings] : AllMaps()) {
    const AddressMap map(settings, settings.Header + 0x18000);
    for (int i = 0; i < 50000; ++i) {
      const std::int64_t a = addresses(random);
      if (const auto o = map.ToOffset(a)) {
        ASSERT_GE(*o, settings.Header) << name << " address " << a;
        ASSERT_LT(*o, map.FileSize()) << name << " address " << a;
      }
    }
  }
}

TEST(AddressMap, AHeaderShiftsEveryOffset) {
  std::mt19937_64 random(3);
  std::uniform_int_distribution<std::int64_t> addresses(0, 0xFFFFFF);
  for (const auto& [name, settings] : AllMaps()) {
    MapSettings bare = settings;
    bare.Header = 0;
    MapSettings copier = settings;
    copier.Header = 512;
    const AddressMap plain(bare, 0x20000);
    const AddressMap shifted(copier, 0x20000 + 512);
    for (int i = 0; i < 20000; ++i) {
      const std::int64_t a = addresses(random);
      const auto o = plain.ToOffset(a);
      ASSERT_EQ(shifted.ToOffset(a), o ? std::optional(*o + 512) : std::nullopt)
          << name << " address " << a;
      if (o) {
        ASSERT_EQ(shifted.ToAddress(*o + 512), plain.ToAddress(*o)) << name;
      }
    }
  }
}

// --- Landmarks -----------------------------------------------------------------

TEST(AddressMap, LoRom) {
  const AddressMap slow(LoRom(0, false), 0x20000);
  const AddressMap fast(LoRom(0, true), 0x20000);
  for (const AddressMap* map : {&slow, &fast}) {
    EXPECT_EQ(map->ToOffset(0x008000), 0);
    EXPECT_EQ(map->ToOffset(0x00FFFF), 0x7FFF);
    EXPECT_EQ(map->ToOffset(0x018000), 0x8000);
    EXPECT_EQ(map->ToOffset(0x808000), 0);  // the fast mirror
    EXPECT_EQ(map->ToOffset(0x838000), 0x18000);
    // The lower half of a bank is not the ROM; bank 4 is past the end.
    EXPECT_EQ(map->ToOffset(0x007FFF), std::nullopt);
    EXPECT_EQ(map->ToOffset(0x010000), std::nullopt);
    EXPECT_EQ(map->ToOffset(0x048000), std::nullopt);
    EXPECT_EQ(map->ToOffset(0x1008000), std::nullopt);  // wider than the 24-bit bus
    EXPECT_EQ(map->IgnoredBits(), 0x800000u);
  }
  EXPECT_EQ(slow.ToAddress(0), 0x008000);
  EXPECT_EQ(fast.ToAddress(0), 0x808000);
  EXPECT_EQ(slow.ToAddress(0x8000), 0x018000);
  EXPECT_EQ(fast.ToAddress(0x1ABCD), 0x83ABCD);
}

TEST(AddressMap, HiRom) {
  const AddressMap map(HiRom(0), 0x20000);
  EXPECT_EQ(map.ToOffset(0xC00000), 0);
  EXPECT_EQ(map.ToOffset(0xC1ABCD), 0x1ABCD);
  EXPECT_EQ(map.ToOffset(0x41ABCD), 0x1ABCD);  // bits 22 and 23 are mirrors
  EXPECT_EQ(map.ToOffset(0xC20000), std::nullopt);
  EXPECT_EQ(map.ToAddress(0x1ABCD), 0xC1ABCD);
  EXPECT_EQ(map.IgnoredBits(), 0xC00000u);
}

TEST(AddressMap, CopierHeader) {
  const AddressMap lorom(LoRom(512, false), 512 + 0x10000);
  EXPECT_EQ(lorom.ToOffset(0x008000), 512);
  EXPECT_EQ(lorom.ToAddress(512), 0x008000);
  EXPECT_EQ(lorom.ToOffset(0x01FFFF), 512 + 0xFFFF);
  EXPECT_EQ(lorom.ToOffset(0x028000), std::nullopt);  // past the end
  // A linear address before the base would land in the header.
  const AddressMap linear(Linear(512, 0x1000), 512 + 0x100);
  EXPECT_EQ(linear.ToOffset(0x1000), 512);
  EXPECT_EQ(linear.ToOffset(0x0FFF), std::nullopt);
  EXPECT_EQ(linear.ToOffset(0x0E00), std::nullopt);
  EXPECT_EQ(linear.ToOffset(0x10FF), 512 + 0xFF);
  EXPECT_EQ(linear.ToOffset(0x1100), std::nullopt);
  EXPECT_EQ(linear.ToOffset(-1), std::nullopt);
  EXPECT_EQ(linear.IgnoredBits(), 0u);
  // The header and the end of the file have no address.
  EXPECT_THROW(linear.ToAddress(511), std::out_of_range);
  EXPECT_THROW(linear.ToAddress(512 + 0x100), std::out_of_range);
}

TEST(AddressMap, GameBoyBankZeroSitsBelowTheWindow) {
  const AddressMap map(Banked(0, 0x4000, 0x4000), 0x10000);
  EXPECT_EQ(map.ToAddress(0x1234), 0x1234);
  EXPECT_EQ(map.ToOffset(0x1234), 0x1234);
  // Bank 0 is seen below the window whatever bank the address names.
  EXPECT_EQ(map.ToOffset(0x31234), 0x1234);
  EXPECT_EQ(map.ToAddress(0x4000), 0x14000);
  EXPECT_EQ(map.ToOffset(0x14000), 0x4000);
  EXPECT_EQ(map.ToOffset(0x37FFF), 0xFFFF);
  EXPECT_EQ(map.ToAddress(0xFFFF), 0x37FFF);
  EXPECT_EQ(map.ToOffset(0x44000), std::nullopt);  // bank 4 is past the end
  EXPECT_EQ(map.ToOffset(0x18000), std::nullopt);  // above the window: RAM
  EXPECT_EQ(map.ToOffset(0x1C000), std::nullopt);
  EXPECT_EQ(map.IgnoredBits(), 0u);
}

TEST(AddressMap, NesWindowWithInesHeader) {
  const AddressMap map(Banked(16, 0x4000, 0x8000), 16 + 0x10000);
  EXPECT_EQ(map.ToOffset(0x8000), 16);
  EXPECT_EQ(map.ToAddress(16), 0x8000);
  EXPECT_EQ(map.ToOffset(0x18005), 16 + 0x4005);
  EXPECT_EQ(map.ToAddress(16 + 0x4005), 0x18005);
  EXPECT_EQ(map.ToAddress(16 + 0xFFFF), 0x3BFFF);
  // Below the window there is no ROM on a NES-style map, nor past the bank.
  EXPECT_EQ(map.ToOffset(0x7FFF), std::nullopt);
  EXPECT_EQ(map.ToOffset(0x10000), std::nullopt);
  EXPECT_EQ(map.ToOffset(0x0C000), std::nullopt);
  EXPECT_THROW(map.ToAddress(15), std::out_of_range);
  // One 32 KiB bank fills the window up to 0xFFFF.
  const AddressMap nrom(Banked(16, 0x8000, 0x8000), 16 + 0x8000);
  EXPECT_EQ(nrom.ToOffset(0xFFFF), 16 + 0x7FFF);
  EXPECT_EQ(nrom.ToOffset(0x7FFF), 16 + 0x7FFF);  // window == bank size: Game Boy-style
}

TEST(AddressMap, RefusesSettingsNoMapCanHave) {
  EXPECT_THROW(AddressMap(Banked(0, 0x8000, 0xC000), 0x10000), std::invalid_argument);
  EXPECT_THROW(AddressMap(Banked(0, 0, 0x4000), 0x10000), std::invalid_argument);
  EXPECT_THROW(AddressMap(Linear(-1, 0), 0x10000), std::invalid_argument);
  EXPECT_NO_THROW(AddressMap(Banked(0, 0x8000, 0x8000), 0x10000));
}

}  // namespace
}  // namespace romscriber::testing
