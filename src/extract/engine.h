// The extraction run: decodes a ROM range through a table into scripts.
//
//   free mode   every byte of the range is decoded; the text pending at the
//               end of the range (or at a stop) is written as a last script
//   block mode  only blocks that begin with the indicator byte are decoded,
//               each until its end entry; a stop drops the block under way
//
// Decoding one position tries a three-byte entry, then a two-byte one, then
// the single byte, which is bracketed when it has no entry. End ("/") and
// pause ("&") entries close the script with [END] or [WAIT]; "*" appends
// CR LF. A script that passes 65,000 characters is written as it stands and
// the next item starts a new one. Positions at or past the end of the ROM are
// never decoded, and multi-byte keys reaching past it match nothing.
#pragma once

#include <cstdint>
#include <string>

#include "extract/host.h"
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

RunResult RunFreeMode(const Table& table, const RunSettings& settings, RunHooks& hooks);
RunResult RunBlockMode(const Table& table, const RunSettings& settings, RunHooks& hooks);
// Runs the mode of `settings`.
RunResult RunExtraction(const Table& table, const RunSettings& settings, RunHooks& hooks);

// Progress text for a position `n` bytes past the start of a range spanning
// `span` bytes: "n (P%)", P rounded with halves to the even neighbour.
std::string ProgressText(std::int64_t n, std::int64_t span);

// Byte value the indicator text stands for, or -1 when no byte's two digits
// equal it regardless of letter case.
int IndicatorByte(const std::string& indicator);

}  // namespace romscriber
