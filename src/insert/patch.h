// Patches from an original ROM to a new one.
//
//   IPS   "PATCH", records of (3-byte offset, 2-byte size, bytes) or RLE
//         records, "EOF"; offsets below 16 MiB only
//   BPS   "BPS1", source size, target size, metadata, SourceRead /
//         TargetRead / SourceCopy / TargetCopy actions, then the CRC32s of
//         source, target and the patch itself
#pragma once

#include <cstdint>
#include <span>
#include <string>

namespace romscriber {

// An IPS patch that turns `original` into `modified`. AppError kErrBadSetting
// when a change lies at or above 16 MiB. No record starts at 0x454F46.
std::string MakeIps(std::span<const std::uint8_t> original, std::span<const std::uint8_t> modified);

// A BPS patch that turns `original` into `modified`.
std::string MakeBps(std::span<const std::uint8_t> original, std::span<const std::uint8_t> modified);

}  // namespace romscriber
