#include "extract/run_text.h"

namespace romscriber {

std::string RunEndMessage(std::int64_t scripts, bool stopped) {
  return std::string(stopped ? "Proceso cancelado." : "Extracción finalizada.") +
         " Se han extraido " + std::to_string(scripts) + " scripts.";
}

std::string ElapsedText(std::int64_t hours, std::int64_t minutes, std::int64_t seconds) {
  return std::to_string(hours) + "h, " + std::to_string(minutes) + "m, " +
         std::to_string(seconds) + "s.";
}

}  // namespace romscriber
