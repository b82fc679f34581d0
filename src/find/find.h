// romscriber-find: relative search, text finding and pointer-table discovery
// from the command line. Each form prints its results on `out`, warnings and
// errors on `err`, and gives its exit code: 0 something was found, 1 nothing
// was or a file could not be read, 2 an option was refused, 130 stopped.
#pragma once

#include <atomic>
#include <cstdint>
#include <optional>
#include <ostream>
#include <string>

namespace romscriber {

// romscriber-find relative ROM TEXT [--width 1|2] [--endian little|big]
//                          [--kana] [--table OUT] [--hit N]
struct RelativeOptions {
  std::string Rom;
  std::string Text;
  int Width = 1;
  std::string Endian = "little";
  bool Kana = false;
  std::optional<std::string> Table;  // the extended table to write
  std::int64_t Hit = 0;              // which hit the table comes from
};

// romscriber-find text ROM TABLE [--table-format classic|extended]
//                      [--table-encoding NAME] [--min-length N]
//                      [--start S] [--end E] [--targets]
struct TextOptions {
  std::string Rom;
  std::string Table;
  std::string TableFormat = "classic";
  std::optional<std::string> TableEncoding;  // extended tables only
  std::int64_t MinLength = 4;
  std::optional<std::string> Start;  // hexadecimal
  std::optional<std::string> End;    // hexadecimal, inclusive
  bool Targets = false;              // the offsets alone, one a line
};

// romscriber-find pointers ROM (--targets FILE | --project P --block B)
//                          [--map KIND] [--header N] [--base N] [--bank-size N]
//                          [--window N] [--size 2|3|4] [--top N] [--toml]
struct PointerOptions {
  std::string Rom;
  std::optional<std::string> Targets;
  std::optional<std::string> Project;
  std::optional<std::string> Block;
  std::optional<std::string> Map;  // linear | lorom | hirom | banked
  // Map settings as the project's [map] keys: decimal, or hex with 0x.
  std::optional<std::string> Header;
  std::optional<std::string> Base;
  std::optional<std::string> BankSize;
  std::optional<std::string> Window;
  std::optional<int> Size;
  std::int64_t Top = 5;
  bool Toml = false;
};

// `progress`: a progress line is drawn on `err` (a terminal).
int RunRelative(const RelativeOptions& options, const std::atomic<bool>& stop, std::ostream& out,
                std::ostream& err, bool progress);
int RunTextSearch(const TextOptions& options, const std::atomic<bool>& stop, std::ostream& out,
                  std::ostream& err, bool progress);
int RunPointerSearch(const PointerOptions& options, const std::atomic<bool>& stop,
                     std::ostream& out, std::ostream& err, bool progress);

}  // namespace romscriber
