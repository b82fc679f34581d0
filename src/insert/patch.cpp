#include "insert/patch.h"

#include <zlib.h>

#include <algorithm>
#include <bit>
#include <cstdio>
#include <cstring>
#include <memory>
#include <string>
#include <vector>

#include "base/app_error.h"
#include "base/file_io.h"

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

std::uint32_t Crc32(const void* data, std::size_t size) {
  return static_cast<std::uint32_t>(
      crc32_z(crc32_z(0L, Z_NULL, 0), static_cast<const Bytef*>(data), size));
}

// --- BPS ------------------------------------------------------------------------

enum BpsAction : std::uint64_t { kSourceRead = 0, kTargetRead = 1, kSourceCopy = 2, kTargetCopy = 3 };

// Bytes PutNumber writes for `value`.
std::int64_t NumberSize(std::uint64_t value) {
  std::int64_t n = 1;
  for (value >>= 7; value != 0; value = (value - 1) >> 7)
    ++n;
  return n;
}

// A copy's start as BPS writes it: its distance from where the previous copy
// of the same kind ended, the sign in the low bit.
std::uint64_t RelativeOffset(std::int64_t delta) {
  return delta < 0 ? static_cast<std::uint64_t>(-delta) << 1 | 1 : static_cast<std::uint64_t>(delta) << 1;
}

// How many bytes a[0..] and b[0..] share, at most `limit`: eight at a time.
std::int64_t CommonLength(const std::uint8_t* a, const std::uint8_t* b, std::int64_t limit) {
  std::int64_t n = 0;
  for (; n + 8 <= limit; n += 8) {
    std::uint64_t x = 0;
    std::uint64_t y = 0;
    std::memcpy(&x, a + n, 8);
    std::memcpy(&y, b + n, 8);
    if (x != y) {
      if constexpr (std::endian::native == std::endian::little)
        return n + std::countr_zero(x ^ y) / 8;
      else
        return n + std::countl_zero(x ^ y) / 8;
    }
  }
  while (n < limit && a[n] == b[n])
    ++n;
  return n;
}

// Copies are looked up by their first kHashed bytes: a shorter copy seldom
// pays for its action number and offset.
constexpr std::int64_t kHashed = 4;

// The places of a buffer by the hash of the kHashed bytes there, newest
// first: Newest(hash) is the last place inserted with that hash, Older(p)
// the one inserted before p with the same hash. 4 bytes a place, plus the
// heads (up to 2^22 of them, about one for every two bytes).
class HashChains {
 public:
  static constexpr std::uint32_t kNone = 0xFFFFFFFF;

  HashChains(const std::uint8_t* bytes, std::int64_t size)
      : m_bytes(bytes),
        m_shift(32 - std::clamp(static_cast<int>(std::bit_width(static_cast<std::uint64_t>(size))) - 1, 10, 22)),
        m_heads(std::size_t{1} << (32 - m_shift), kNone),
        m_places(std::max<std::int64_t>(0, size - kHashed + 1)),
        m_older(std::make_unique_for_overwrite<std::uint32_t[]>(static_cast<std::size_t>(m_places))) {}

  // The hash of the kHashed bytes at p, which must all lie in the buffer.
  std::uint32_t Hash(const std::uint8_t* p) const {
    std::uint32_t v = 0;
    std::memcpy(&v, p, kHashed);
    return (v * 0x9E3779B1u) >> m_shift;
  }
  // Inserts place p; p + kHashed must not pass the end of the buffer.
  void Insert(std::int64_t p) {
    std::uint32_t& head = m_heads[Hash(m_bytes + p)];
    m_older[static_cast<std::size_t>(p)] = head;
    head = static_cast<std::uint32_t>(p);
  }
  std::uint32_t Newest(std::uint32_t hash) const { return m_heads[hash]; }
  std::uint32_t Older(std::uint32_t p) const { return m_older[p]; }
  std::int64_t Places() const { return m_places; }

 private:
  const std::uint8_t* m_bytes;
  int m_shift;
  std::vector<std::uint32_t> m_heads;
  std::int64_t m_places;
  std::unique_ptr<std::uint32_t[]> m_older;  // each written by Insert before it is read
};

// Writes the actions that turn `source` into `target`, left to right. At
// each place it weighs what can give the next bytes, in bytes of patch saved
// against carrying them in a TargetRead:
//   - SourceRead: the source's bytes at the same place (no offset to write);
//   - SourceCopy and TargetCopy going on from where the last copy of their
//     kind ended (an offset of one byte), which follows a string that moved;
//   - SourceCopy from any place of the source and TargetCopy from any earlier
//     place of the target with the same first bytes, found through hash
//     chains (a bounded number of places each).
// The best one is taken unless the next place offers a better one (one step
// of lazy matching); bytes nothing gives go into TargetRead runs.
class BpsEncoder {
 public:
  BpsEncoder(std::span<const std::uint8_t> source, std::span<const std::uint8_t> target,
             std::string& out)
      : m_source(source.data()),
        m_target(target.data()),
        m_sourceSize(Size(source)),
        m_targetSize(Size(target)),
        m_out(out),
        m_indexed(m_sourceSize < HashChains::kNone && m_targetSize < HashChains::kNone),
        m_sourceChains(m_source, m_indexed ? m_sourceSize : 0),
        m_targetChains(m_target, m_indexed ? m_targetSize : 0) {
    for (std::int64_t p = 0; p < m_sourceChains.Places(); ++p)
      m_sourceChains.Insert(p);
  }

  void Run() {
    std::int64_t at = 0;
    Choice ahead;  // the choice at `at` when the lazy look already made it
    bool haveAhead = false;
    while (at < m_targetSize) {
      const Choice best = haveAhead ? ahead : Best(at);
      haveAhead = false;
      if (!Worth(best, at)) {
        ++at;  // a byte for the TargetRead run
        continue;
      }
      if (best.Length < kGoodLength && at + 1 < m_targetSize) {
        // Leaving this byte to TargetRead costs it: worth it only when the
        // next place saves more than that.
        ahead = Best(at + 1);
        if (Worth(ahead, at + 1) && ahead.Saved > best.Saved + 1) {
          haveAhead = true;
          ++at;
          continue;
        }
      }
      FlushTargetRead(at);
      Emit(best);
      at += best.Length;
      m_done = at;
    }
    FlushTargetRead(m_targetSize);
  }

 private:
  // A copy this long is taken without looking further.
  static constexpr std::int64_t kGoodLength = 512;
  // Places of a hash chain tried at most, for the source and for the target.
  // Deep enough for text where the same words and lines recur thousands of
  // times, and the longest copy is one of many that begin alike; chains of
  // varied bytes are short and never reach it.
  static constexpr int kSourceDepth = 512;
  static constexpr int kTargetDepth = 64;

  struct Choice {
    BpsAction Action = kTargetRead;
    std::int64_t From = 0;
    std::int64_t Length = 0;  // 0: nothing found
    std::int64_t Saved = 0;   // bytes of patch saved against TargetRead
  };

  std::int64_t OffsetCost(BpsAction action, std::int64_t from) const {
    if (action == kSourceCopy) return NumberSize(RelativeOffset(from - m_sourceEnd));
    if (action == kTargetCopy) return NumberSize(RelativeOffset(from - m_targetEnd));
    return 0;
  }

  static std::int64_t ActionCost(BpsAction action, std::int64_t length) {
    return NumberSize(static_cast<std::uint64_t>(length - 1) << 2 | action);
  }

  // Cutting a TargetRead run in two costs the second run's action number.
  bool Worth(const Choice& c, std::int64_t at) const {
    return c.Length > 0 && c.Saved >= (at > m_done ? 2 : 1);
  }

  Choice Best(std::int64_t at) {
    const std::int64_t room = m_targetSize - at;
    const std::uint8_t* here = m_target + at;
    Choice best;
    const auto consider = [&](BpsAction action, std::int64_t from, std::int64_t length) {
      if (length <= 0) return;
      const std::int64_t saved = length - ActionCost(action, length) - OffsetCost(action, from);
      if (saved > best.Saved || (saved == best.Saved && length > best.Length))
        best = {action, from, length, saved};
    };
    if (at < m_sourceSize)
      consider(kSourceRead, at, CommonLength(m_source + at, here, std::min(m_sourceSize - at, room)));
    if (m_sourceEnd < m_sourceSize && m_sourceEnd != at) {
      consider(kSourceCopy, m_sourceEnd,
               CommonLength(m_source + m_sourceEnd, here, std::min(m_sourceSize - m_sourceEnd, room)));
    }
    if (m_targetEnd < at)
      consider(kTargetCopy, m_targetEnd, CommonLength(m_target + m_targetEnd, here, room));
    if (best.Length >= kGoodLength || room < kHashed || !m_indexed) return best;

    const std::uint32_t hash = m_sourceChains.Hash(here);
    int depth = kSourceDepth;
    for (std::uint32_t p = m_sourceChains.Newest(hash); p != HashChains::kNone && depth-- > 0;
         p = m_sourceChains.Older(p)) {
      if (p == at) continue;  // SourceRead, weighed above
      const std::int64_t limit = std::min(m_sourceSize - p, room);
      // The shortest copy from p that could save more than the best so far.
      const std::int64_t need = best.Saved + OffsetCost(kSourceCopy, p) + 2;
      if (need > limit || (need > kHashed && m_source[p + need - 1] != here[need - 1])) continue;
      consider(kSourceCopy, p, CommonLength(m_source + p, here, limit));
      if (best.Length >= kGoodLength) break;
    }

    // Every earlier place of the target may be copied; the copy may run on
    // over the bytes it writes (a run of one value copies from one byte back).
    IndexTargetUpTo(at);
    const std::uint32_t targetHash = m_targetChains.Hash(here);
    depth = kTargetDepth;
    for (std::uint32_t p = m_targetChains.Newest(targetHash); p != HashChains::kNone && depth-- > 0;
         p = m_targetChains.Older(p)) {
      const std::int64_t need = best.Saved + OffsetCost(kTargetCopy, p) + 2;
      if (need > room || (need > kHashed && m_target[p + need - 1] != here[need - 1])) continue;
      const std::int64_t before = best.Length;
      consider(kTargetCopy, p, CommonLength(m_target + p, here, room));
      if (best.Length >= kGoodLength && best.Length > before) break;
    }
    return best;
  }

  // Puts the target's places below `at` in its chains.
  void IndexTargetUpTo(std::int64_t at) {
    for (; m_targetIndexed < std::min(at, m_targetChains.Places()); ++m_targetIndexed)
      m_targetChains.Insert(m_targetIndexed);
  }

  void Emit(const Choice& c) {
    PutNumber(m_out, static_cast<std::uint64_t>(c.Length - 1) << 2 | c.Action);
    if (c.Action == kSourceCopy) {
      PutNumber(m_out, RelativeOffset(c.From - m_sourceEnd));
      m_sourceEnd = c.From + c.Length;
    } else if (c.Action == kTargetCopy) {
      PutNumber(m_out, RelativeOffset(c.From - m_targetEnd));
      m_targetEnd = c.From + c.Length;
    }
  }

  // The bytes from the end of the last action up to `at`, as one TargetRead.
  void FlushTargetRead(std::int64_t at) {
    if (at == m_done) return;
    PutNumber(m_out, static_cast<std::uint64_t>(at - m_done - 1) << 2 | kTargetRead);
    m_out.append(reinterpret_cast<const char*>(m_target + m_done), static_cast<std::size_t>(at - m_done));
    m_done = at;
  }

  const std::uint8_t* m_source;
  const std::uint8_t* m_target;
  std::int64_t m_sourceSize;
  std::int64_t m_targetSize;
  std::string& m_out;
  bool m_indexed;  // places fit the chains' 32 bits
  HashChains m_sourceChains;
  HashChains m_targetChains;
  std::int64_t m_targetIndexed = 0;  // target places below this are in m_targetChains
  std::int64_t m_done = 0;           // target bytes the actions written so far give
  std::int64_t m_sourceEnd = 0;      // where the last SourceCopy ended
  std::int64_t m_targetEnd = 0;      // where the last TargetCopy ended
};

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
  BpsEncoder(original, modified, out).Run();
  PutLittleEndian(out, Crc32(original.data(), original.size()));
  PutLittleEndian(out, Crc32(modified.data(), modified.size()));
  PutLittleEndian(out, Crc32(out.data(), out.size()));
  return out;
}

void WriteRomAndPatches(std::span<const std::uint8_t> original, std::span<const std::uint8_t> modified,
                        const std::filesystem::path& rom, const std::optional<std::filesystem::path>& ips,
                        const std::optional<std::filesystem::path>& bps) {
  const std::string ipsBytes = ips ? MakeIps(original, modified) : std::string();
  const std::string bpsBytes = bps ? MakeBps(original, modified) : std::string();
  WriteFileWhole(rom, {std::string_view(reinterpret_cast<const char*>(modified.data()), modified.size())});
  if (ips) WriteFileWhole(*ips, {ipsBytes});
  if (bps) WriteFileWhole(*bps, {bpsBytes});
}

}  // namespace romscriber
