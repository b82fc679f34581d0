// romscriber-insert: puts the translated scripts of a project's blocks back
// into a new ROM, with every pointer fixed, and writes IPS and BPS patches.
#pragma once

#include <filesystem>
#include <optional>
#include <ostream>

namespace romscriber {

struct InsertOptions {
  std::filesystem::path Project;
  std::optional<std::filesystem::path> Scripts;  // else the project's `scripts`
  // The new ROM, never the project's own; else [output] rom, and then the
  // patches [output] names too.
  std::optional<std::filesystem::path> Out;
  std::optional<std::filesystem::path> Ips;
  std::optional<std::filesystem::path> Bps;
  bool Strict = false;  // line limits refuse instead of warning
};

// Runs one insertion: a summary line per block on `out`, warnings and errors
// on `err`. Exit codes as the dumper's: 0 done, 1 a file could not be read
// or the insertion was refused, 2 an option was refused or is missing (and
// the project does not give it). A refusal writes nothing at all.
int RunInsert(const InsertOptions& options, std::ostream& out, std::ostream& err);

}  // namespace romscriber
