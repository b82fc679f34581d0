// romscriber-dict: chooses the dictionary entries (DTE/MTE) to add to a
// project's table so that the translated texts of its blocks take the
// fewest bytes, and writes them as table lines and as the data the game's
// routine reads.
#pragma once

#include <atomic>
#include <filesystem>
#include <optional>
#include <ostream>
#include <string>
#include <vector>

namespace romscriber {

struct DictOptions {
  std::filesystem::path Project;
  std::optional<std::filesystem::path> Scripts;  // else the project's `scripts`
  std::string Table;                             // the project's table to enlarge
  std::string Codes;                             // "80-BF", "80-8F,A0", ...
  int MaxLength = 2;
  std::vector<std::string> Blocks;  // none: every block through the table
  // The entries as extended-table lines; without it they go to `out` and
  // the summary to `err`.
  std::optional<std::filesystem::path> Out;
  std::optional<std::filesystem::path> Data;  // the dictionary the game reads
  std::string Pad = "00";                     // the byte after a shorter entry in its slot
};

// Runs one choice: the summary (bytes before and after, per block and in
// all) and, without --out, the table lines; warnings and errors on `err`,
// and a progress line there when `progress`. Exit codes as the other
// programs': 0 done, 1 a file could not be read or written or no text
// counts, 2 an option was refused or is missing, 130 stopped (nothing is
// written then). Every file is made before any is written.
int RunDict(const DictOptions& options, const std::atomic<bool>& stop, std::ostream& out,
            std::ostream& err, bool progress);

}  // namespace romscriber
