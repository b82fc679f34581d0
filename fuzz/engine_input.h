// How the engine fuzz targets cut their input: 8 bytes of settings, 2 bytes
// of table length (little-endian, cut to what follows), the table file, then
// the ROM, at most 8 KiB of it (the literal runs are slow by design).
#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace romscriber::fuzzing {

struct EngineInput {
  const std::uint8_t* Settings;  // 8 bytes
  std::string Table;
  std::string Rom;  // never empty
};

inline std::optional<EngineInput> CutEngineInput(const std::uint8_t* data, std::size_t size) {
  if (size < 10) return std::nullopt;
  const std::size_t tableLength = std::min<std::size_t>(size - 10, data[8] | (data[9] << 8));
  EngineInput input{data, std::string(reinterpret_cast<const char*>(data) + 10, tableLength),
                    std::string(reinterpret_cast<const char*>(data) + 10 + tableLength,
                                size - 10 - tableLength)};
  if (input.Rom.empty()) return std::nullopt;
  if (input.Rom.size() > 8192) input.Rom.resize(8192);
  return input;
}

}  // namespace romscriber::fuzzing
