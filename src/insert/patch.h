// Patches from an original ROM to a new one.
//
//   IPS   "PATCH", records of (3-byte offset, 2-byte size, bytes) or RLE
//         records, "EOF"; offsets below 16 MiB only
//   BPS   "BPS1", source size, target size, metadata, SourceRead /
//         TargetRead / SourceCopy / TargetCopy actions, then the CRC32s of
//         source, target and the patch itself
#pragma once

#include <cstdint>
#include <filesystem>
#include <optional>
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

// A BPS patch that turns `original` into `modified`, no metadata. Bytes that
// stay where they were are a SourceRead; bytes found elsewhere in the
// original (a string that moved, text after one that grew) a SourceCopy;
// bytes the new ROM already holds earlier (a repeated string, a run of one
// value) a TargetCopy; the rest TargetRead. Each place takes what saves the
// most patch bytes, offsets and action numbers counted. Memory: 4 bytes a
// byte of each ROM for its hash chains, and their heads, 4 bytes a byte up to
// 16 MiB each; ROMs of 4 GiB or more get no copies.
std::string MakeBps(std::span<const std::uint8_t> original, std::span<const std::uint8_t> modified);

// Writes `modified` to `rom` and, where a path is given, the IPS and BPS
// patches from `original` to it, each file whole. Every patch is made before
// any file is written, so a patch that cannot be made writes nothing.
void WriteRomAndPatches(std::span<const std::uint8_t> original, std::span<const std::uint8_t> modified,
                        const std::filesystem::path& rom, const std::optional<std::filesystem::path>& ips,
                        const std::optional<std::filesystem::path>& bps);

}  // namespace romscriber
