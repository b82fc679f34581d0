#include "insert/patch.h"

#include <zlib.h>

#include <algorithm>
#include <cstdio>
#include <string>

#include "base/app_error.h"

namespace romscriber {

namespace {

constexpr std::int64_t kIpsLimit = 0x1000000;     // 3-byte offsets
constexpr std::int64_t kIpsEofOffset = 0x454F46;  // "EOF" read as an offset
constexpr std::int64_t kIpsMaxRecord = 0xFFFF;    // 2-byte sizes
// A record header (3-byte offset, 2-byte size) costs 5 bytes: fewer unchanged
// bytes between two changes are cheaper repeated inside one record.
constexpr std::int64_t kIpsJoinGap = 5;

std::int64_t Size(std::span<const std::uint8_t> bytes) {
  return static_cast<std::int64_t>(bytes.size());
}

// The changed runs of `modified` against `original`: bytes past the end of
// the original are all changed. Calls run(start, end) for each, in order.
template <typename Run>
void ForEachChange(std::span<const std::uint8_t> original, std::span<const std::uint8_t> modified,
                   Run run) {
  const std::int64_t common = std::min(Size(original), Size(modified));
  std::int64_t i = 0;
  while (i < common) {
    const auto diff =
        std::mismatch(original.begin() + i, original.begin() + common, modified.begin() + i);
    i = diff.first - original.begin();
    if (i == common) break;
    std::int64_t end = i + 1;
    while (end < common && original[end] != modified[end])
      ++end;
    if (end == common && Size(modified) > common) end = Size(modified);
    run(i, end);
    i = end;
  }
  if (i < Size(modified)) run(i, Size(modified));  // the new tail after equal bytes
}

void PutBigEndian(std::string& out, std::uint32_t value, int bytes) {
  for (int k = bytes - 1; k >= 0; --k)
    out.push_back(static_cast<char>(value >> (8 * k)));
}

void PutLittleEndian(std::string& out, std::uint32_t value) {
  for (int k = 0; k < 4; ++k)
    out.push_back(static_cast<char>(value >> (8 * k)));
}

std::string HexOffset(std::int64_t offset) {
  char text[32];
  std::snprintf(text, sizeof text, "0x%llX", static_cast<unsigned long long>(offset));
  return text;
}

[[noreturn]] void ThrowBeyondIps(std::int64_t offset) {
  throw AppError(kErrBadSetting,
                 "No se puede escribir el parche IPS: hay un cambio en el desplazamiento " +
                     HexOffset(offset) +
                     " y IPS solo alcanza los primeros 16 MiB (hasta 0xFFFFFF). "
                     "Use un parche BPS.");
}

// Writes modified[start, end) as IPS records of at most 0xFFFF bytes, none
// starting at the offset that reads as "EOF".
void PutIpsRecords(std::string& out, std::span<const std::uint8_t> modified, std::int64_t start,
                   std::int64_t end) {
  std::int64_t at = start;
  while (at < end) {
    // Starting one byte earlier repeats that byte of the new ROM: harmless.
    if (at == kIpsEofOffset) --at;
    const std::int64_t length = std::min(kIpsMaxRecord, end - at);
    PutBigEndian(out, static_cast<std::uint32_t>(at), 3);
    PutBigEndian(out, static_cast<std::uint32_t>(length), 2);
    out.append(reinterpret_cast<const char*>(modified.data() + at),
               static_cast<std::size_t>(length));
    at += length;
  }
}

// beat's variable-length number: 7 bits a byte, the last byte flagged with
// 0x80, each continuation taking one off so that every number has one form.
void PutNumber(std::string& out, std::uint64_t value) {
  while (true) {
    const auto low = static_cast<std::uint8_t>(value & 0x7F);
    value >>= 7;
    if (value == 0) {
      out.push_back(static_cast<char>(0x80 | low));
      return;
    }
    out.push_back(static_cast<char>(low));
    --value;
  }
}

enum BpsAction : std::uint64_t { kSourceRead = 0, kTargetRead = 1 };

void PutAction(std::string& out, BpsAction action, std::int64_t length) {
  PutNumber(out, (static_cast<std::uint64_t>(length) - 1) << 2 | action);
}

std::uint32_t Crc32(const void* data, std::size_t size) {
  return static_cast<std::uint32_t>(
      crc32_z(crc32_z(0L, Z_NULL, 0), static_cast<const Bytef*>(data), size));
}

}  // namespace

std::string MakeIps(std::span<const std::uint8_t> original,
                    std::span<const std::uint8_t> modified) {
  std::string out = "PATCH";
  // Joins changes separated by a few unchanged bytes into one record.
  std::int64_t start = -1;
  std::int64_t end = -1;
  ForEachChange(original, modified, [&](std::int64_t from, std::int64_t to) {
    if (to > kIpsLimit) ThrowBeyondIps(std::max(from, kIpsLimit));
    if (start >= 0 && from - end < kIpsJoinGap) {
      end = to;
      return;
    }
    if (start >= 0) PutIpsRecords(out, modified, start, end);
    start = from;
    end = to;
  });
  if (start >= 0) PutIpsRecords(out, modified, start, end);
  out += "EOF";
  if (Size(modified) < Size(original)) {
    // The truncation extension: the new size after "EOF".
    if (Size(modified) >= kIpsLimit) ThrowBeyondIps(Size(modified));
    PutBigEndian(out, static_cast<std::uint32_t>(modified.size()), 3);
  }
  return out;
}

std::string MakeBps(std::span<const std::uint8_t> original,
                    std::span<const std::uint8_t> modified) {
  std::string out = "BPS1";
  PutNumber(out, original.size());
  PutNumber(out, modified.size());
  PutNumber(out, 0);  // no metadata
  // Unchanged runs are read from the source at the same offset; changed runs
  // and the new tail are carried in the patch.
  std::int64_t done = 0;
  ForEachChange(original, modified, [&](std::int64_t from, std::int64_t to) {
    if (from > done) PutAction(out, kSourceRead, from - done);
    PutAction(out, kTargetRead, to - from);
    out.append(reinterpret_cast<const char*>(modified.data() + from),
               static_cast<std::size_t>(to - from));
    done = to;
  });
  if (Size(modified) > done) PutAction(out, kSourceRead, Size(modified) - done);
  PutLittleEndian(out, Crc32(original.data(), original.size()));
  PutLittleEndian(out, Crc32(modified.data(), modified.size()));
  PutLittleEndian(out, Crc32(out.data(), out.size()));
  return out;
}

}  // namespace romscriber
