// Texts of a range run that the window and the dumper both show: the
// character sets of their fields, the end-of-run message and the elapsed
// time.
#pragma once

#include <cstdint>
#include <string>

namespace romscriber {

inline constexpr char kHexDigits[] = "0123456789ABCDEFabcdef";
inline constexpr char kLeftBrackets[] = "{[(</\\~";
inline constexpr char kRightBrackets[] = "}])>/\\~";

// "Extracción finalizada. Se han extraido N scripts.", or "Proceso
// cancelado. ..." for a run that was stopped.
std::string RunEndMessage(std::int64_t scripts, bool stopped);

// "2h, 15m, 7s."
std::string ElapsedText(std::int64_t hours, std::int64_t minutes, std::int64_t seconds);

}  // namespace romscriber
