// romscriber-dump: the window's extraction, from the command line. Same
// loader, same checks in the same order with the same messages, same engine
// and the same script files.
#pragma once

#include <atomic>
#include <filesystem>
#include <optional>
#include <ostream>
#include <string>

namespace romscriber {

struct DumpOptions {
  std::string Rom;
  std::string Table;
  std::string Start;                     // hexadecimal text
  std::string End;                       // hexadecimal text, inclusive
  std::optional<std::string> Indicator;  // block mode when given
  std::string Left = "<";
  std::string Right = ">";
  std::filesystem::path Out = "Scripts";
};

enum DumpExit : int {
  kExitOk = 0,
  kExitFailed = 1,      // a file could not be opened or loaded, or the run failed
  kExitRefused = 2,     // a setting was refused
  kExitCancelled = 130  // stopped by SIGINT
};

// Runs one dump. Messages go to `out` (the end message) and `err`
// (everything else); the progress line goes to `err` when `progress` is set.
int RunDump(const DumpOptions& options, const std::atomic<bool>& stop, std::ostream& out,
            std::ostream& err, bool progress);

}  // namespace romscriber
