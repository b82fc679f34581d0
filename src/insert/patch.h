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

// An IPS patch that turns `original` into `modified`: one record per changed
// run (runs fewer than 5 bytes apart share one; at most 0xFFFF bytes each),
// bytes past the original's end written as records, and a shorter new ROM
// given by the truncation extension (its 3-byte size after "EOF"). No record
// starts at 0x454F46, which would read as "EOF": such a record starts a byte
// earlier. AppError kErrBadSetting when a change lies at or above 16 MiB.
std::string MakeIps(std::span<const std::uint8_t> original, std::span<const std::uint8_t> modified);

// A BPS patch that turns `original` into `modified`: SourceRead for unchanged
// runs, TargetRead for changed runs and the new tail; no metadata.
std::string MakeBps(std::span<const std::uint8_t> original, std::span<const std::uint8_t> modified);

}  // namespace romscriber
