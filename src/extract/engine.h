// The decoding engine: one decoder turns ROM bytes into text through a
// compiled table, and three drivers run it.
//
//   free mode     every byte of a range is decoded; the text pending at the
//                 end of the range (or at a stop) is written as a last script
//   block mode    only blocks that begin with the indicator byte are decoded,
//                 each until its end entry; a stop drops the block under way
//   DecodeString  one string from a given offset, for pointer tables and
//                 project ranges
//
// At each position the longest key that matches wins; a byte that begins no
// key shows raw. End and pause entries close the script; control codes show
// their parameter bytes raw. A script that passes 65,000 bytes is written as
// it stands and the next item starts a new one. Positions at or past the end
// of the ROM are never decoded, and keys reaching past it match nothing.
#pragma once

#include <cstdint>
#include <span>
#include <string>

#include "extract/host.h"
#include "table/compiled.h"
#include "table/table.h"

namespace romscriber {

enum class RunMode { kFree, kBlock };

struct RunSettings {
  std::int64_t StartOffset = 0;  // first byte of the range, 0-based
  std::int64_t EndOffset = 0;    // last byte of the range, inclusive; > StartOffset
  RunMode Mode = RunMode::kFree;
  std::string LeftBracket = "<";
  std::string RightBracket = ">";
  std::string Indicator;  // block mode: two hex digits, either case
};

struct RunResult {
  std::int64_t ScriptCount = 0;
  bool Stopped = false;
  bool operator==(const RunResult&) const = default;
};

// Longest script text kept in memory; passing it writes the text so far.
inline constexpr std::size_t kMaxScriptText = 65000;

// How a classic range dump shows raw bytes and markers: in the run's brackets.
DecodeStyle ClassicRunStyle(const RunSettings& settings);

// Runs the mode of `settings` through a compiled table; the brackets of
// `settings` are not used (the table's style says how raw bytes show).
RunResult RunCompiled(const CompiledTable& table, const RunSettings& settings, RunHooks& hooks);
// The same through a classic table, compiled in the run's brackets.
RunResult RunExtraction(const Table& table, const RunSettings& settings, RunHooks& hooks);

// Where DecodeString may go.
struct StringLimits {
  std::int64_t Last = 0;   // last position that may begin an item
  std::int64_t Bound = 0;  // no key or parameter byte at or past it is read
  bool EndTokensStop = true;  // false: end tokens show and decoding goes on
};

struct DecodedString {
  std::string Text;
  std::int64_t Length = 0;  // bytes taken, the end token included
  bool Ended = false;       // an end token stopped it
  const TableEntry* End = nullptr;  // that end token's entry
  bool OnlyEnd = false;     // it is nothing but that end token
};

// Decodes the string at `offset` of `rom` (offset < rom.size()).
DecodedString DecodeString(const CompiledTable& table, std::span<const std::uint8_t> rom,
                           std::int64_t offset, const StringLimits& limits);

// Progress text for a position `n` bytes past the start of a range spanning
// `span` bytes: "n (P%)", P rounded with halves to the even neighbour.
std::string ProgressText(std::int64_t n, std::int64_t span);

// Byte value the indicator text stands for, or -1 when no byte's two digits
// equal it regardless of letter case.
int IndicatorByte(const std::string& indicator);

}  // namespace romscriber
