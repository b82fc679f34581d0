// The checks on the user's settings before a run, in their fixed order, and
// the run parameters they give. Shared by the window and the dumper.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "extract/engine.h"

namespace romscriber {

// What the checks read. Texts are UTF-8.
struct ExtractionInputs {
  bool RomLoaded = false;
  bool TableLoaded = false;
  std::int64_t RomSize = 0;
  std::string OffsetIni;  // start offset, hexadecimal text
  std::string OffsetFin;  // end offset, hexadecimal text (inclusive)
  std::string CierreI = "<";
  std::string CierreD = ">";
  bool Indicador = false;  // block mode
  std::string ByteIni;     // indicator byte text
};

struct CheckOutcome {
  // The message of the first check that failed; empty when all passed.
  std::string Message;
  RunSettings Settings;  // valid when Message is empty

  bool Passed() const { return Message.empty(); }
};

// Runs the twelve checks in order and stops at the first that fails. The
// offsets are converted with HexToDec, whose overflow (AppError 6) passes to
// the caller.
CheckOutcome CheckSettings(const ExtractionInputs& inputs);

}  // namespace romscriber
