#include "discover/text_search.h"

#include <algorithm>
#include <array>
#include <bit>

#include "extract/engine.h"

namespace romscriber {

namespace {

// What a run from a position holds, as far as the search needs it: kNoRun
// when it meets a raw byte or leaves the range before an end token, else the
// ordinary entries up to its end token, counted up to the minimum.
constexpr std::uint16_t kNoRun = 0xFFFF;
constexpr std::int64_t kMostEntries = kNoRun - 1;

// Positions an item may span: a key of up to 32 bytes and up to 255
// parameter bytes. The states of the positions just after the one examined
// are kept in a ring of this size.
constexpr std::int64_t kRing = 512;

// Bytes from `offset` through the end token of the run there, which is known
// to be one.
std::int64_t RunLength(const CompiledTable::Matcher& match, std::span<const std::uint8_t> rom,
                       std::int64_t offset, std::int64_t bound) {
  std::int64_t pos = offset;
  for (;;) {
    const LookupItem* item = match(rom.data() + pos, static_cast<std::size_t>(bound - pos));
    pos += item->KeySize;
    if (item->Kind == TokenKind::kControl) pos += item->Params;
    if (item->Kind == TokenKind::kEnd) return pos - offset;
  }
}

}  // namespace

TextSearchResult FindTexts(const CompiledTable& table, std::span<const std::uint8_t> rom,
                           const TextSearchOptions& options, const SearchControl& control) {
  TextSearchResult result;
  const auto size = static_cast<std::int64_t>(rom.size());
  const std::int64_t start = std::max<std::int64_t>(0, options.Start);
  const std::int64_t end = std::min(size - 1, options.End.value_or(size - 1));
  if (start > end) return result;
  const std::int64_t bound = end + 1;
  const auto minimum =
      static_cast<std::uint16_t>(std::clamp<std::int64_t>(options.MinEntries, 1, kMostEntries));

  // From the end of the range back to its start, each position's state from
  // that of the position after its item: a run from a position is a run
  // from the next item with one ordinary entry more or not, and the
  // positions that begin a string (a run of enough entries) are marked.
  const std::int64_t span = bound - start;
  std::vector<std::uint64_t> begins(static_cast<std::size_t>((span + 63) / 64), 0);
  std::array<std::uint16_t, kRing> state{};
  const CompiledTable::Matcher match = table.Lookup();
  constexpr std::int64_t kChunk = 1 << 16;
  for (std::int64_t p = end; p >= start; --p) {
    if ((p & (kChunk - 1)) == 0 || p == end) {
      if (control.StopRequested()) {
        result.Stopped = true;
        return result;
      }
      control.Report(0.9 * static_cast<double>(end - p) / static_cast<double>(span));
    }
    const LookupItem* item = match(rom.data() + p, static_cast<std::size_t>(bound - p));
    std::uint16_t s = kNoRun;
    const std::int64_t next = p + item->KeySize;
    switch (item->Kind) {
      case TokenKind::kRaw:
        break;
      case TokenKind::kEnd:
        s = 0;
        break;
      case TokenKind::kText:
        if (next < bound && state[next % kRing] != kNoRun)
          s = std::min<std::uint16_t>(state[next % kRing] + 1, minimum);
        break;
      case TokenKind::kControl:
        if (next + item->Params < bound) s = state[(next + item->Params) % kRing];
        break;
      case TokenKind::kLineBreak:
      case TokenKind::kPause:  // a classic pause, when the style keeps it, ends nothing here
        if (next < bound) s = state[next % kRing];
        break;
    }
    state[p % kRing] = s;
    if (s != kNoRun && s >= minimum) {
      const std::int64_t i = p - start;
      begins[static_cast<std::size_t>(i / 64)] |= std::uint64_t{1} << (i % 64);
    }
  }

  // From the start on: the first string begins at the earliest marked
  // position, the next at the earliest one after its end token, and so on.
  const std::int64_t words = static_cast<std::int64_t>(begins.size());
  std::int64_t from = 0;  // relative to start
  while (from < span) {
    std::int64_t word = from / 64;
    std::uint64_t bits = begins[static_cast<std::size_t>(word)] & (~std::uint64_t{0} << (from % 64));
    while (bits == 0 && ++word < words) bits = begins[static_cast<std::size_t>(word)];
    if (bits == 0) break;
    const std::int64_t offset = start + word * 64 + std::countr_zero(bits);
    if ((result.Texts.size() & 1023) == 1023) {
      if (control.StopRequested()) {
        result.Stopped = true;
        return result;
      }
      control.Report(0.9 + 0.1 * static_cast<double>(offset - start) / static_cast<double>(span));
    }
    FoundText found;
    found.Offset = offset;
    if (options.WithText) {
      DecodedString s = DecodeString(table, rom, offset, {end, bound, true});
      found.Length = s.Length;
      found.Text = std::move(s.Text);
    } else {
      found.Length = RunLength(match, rom, offset, bound);
    }
    result.Texts.push_back(std::move(found));
    from = offset + result.Texts.back().Length - start;
  }
  control.Report(1.0);
  return result;
}

}  // namespace romscriber
