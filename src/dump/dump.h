// romscriber-dump: the window's extraction, from the command line. Same
// loader, same checks in the same order with the same messages, same engine
// and the same script files.
#pragma once

#include <atomic>
#include <filesystem>
#include <optional>
#include <ostream>
#include <string>

#include "cli/cli.h"

namespace romscriber {

struct DumpOptions {
  std::string Rom;
  std::string Table;
  std::string Start;                     // hexadecimal text
  std::string End;                       // hexadecimal text, inclusive
  std::optional<std::string> Indicator;  // block mode when given
  std::optional<std::string> Left;       // classic tables only; "<" when not given
  std::optional<std::string> Right;      // classic tables only; ">" when not given
  std::string TableFormat = "classic";   // classic | extended
  std::optional<std::string> TableEncoding;  // extended tables only
  std::filesystem::path Out = "Scripts";
};

// A project dump: every block of a project file into a script file.
struct ProjectDumpOptions {
  std::filesystem::path Project;
  // Without them, the project's `scripts` and `format`; without those,
  // Scripts in the current folder and atlas.
  std::optional<std::filesystem::path> Out;
  std::optional<std::string> Format;  // atlas | tsv | po
  bool Update = false;  // carry the translations of the scripts there over
};

// Runs one dump. Messages go to `out` (the end message) and `err`
// (everything else); the progress line goes to `err` when `progress` is set.
int RunDump(const DumpOptions& options, const std::atomic<bool>& stop, std::ostream& out,
            std::ostream& err, bool progress);

// Dumps a project: a summary line per block and one for the whole on `out`,
// warnings on `err`. Nothing is written when any block is refused; a stop
// between blocks writes nothing either. A script that holds translations is
// never replaced without `Update`; with it, they are carried over, and those
// of strings that no longer exist are kept in <block>.lost.tsv.
int RunProjectDump(const ProjectDumpOptions& options, const std::atomic<bool>& stop,
                   std::ostream& out, std::ostream& err, bool progress);

}  // namespace romscriber
