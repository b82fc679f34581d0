#include "extract/settings.h"

#include "base/text.h"
#include "hex/hex.h"

namespace romscriber {

namespace {

CheckOutcome Fail(const char* message) {
  return CheckOutcome{message, {}};
}

}  // namespace

CheckOutcome CheckSettings(const ExtractionInputs& in) {
  if (!in.RomLoaded) return Fail("Debe cargar la ROM");
  if (!in.TableLoaded) return Fail("Debe cargar la Tabla Thingy");
  if (in.OffsetIni.empty()) return Fail("Debe indicar un valor para el Offset Inicial");
  if (in.OffsetFin.empty()) return Fail("Debe indicar un valor para el Offset Final");
  if (in.CierreI.empty()) return Fail("Debe indicar una llave de Cierre Izquierda");
  if (in.CierreD.empty()) return Fail("Debe indicar una llave de Cierre Derecha");

  const std::int64_t start = HexToDec(in.OffsetIni);
  const std::int64_t end = HexToDec(in.OffsetFin);
  if (start == end) return Fail("Offset final debe ser mayor.");
  if (end == 0) return Fail("Offset final debe ser distinto a cero");
  if (start > end) return Fail("Offset Final debe ser mayor que el Offset Inicial");
  if (start > in.RomSize) return Fail("Offsets inicial no debe superar el tamaño de la ROM.");
  if (end > in.RomSize) return Fail("Offsets final no debe superar el tamaño de la ROM.");
  if (in.Indicador && CodePoints(in.ByteIni) < 2) {
    return Fail("Debe indicar un valor correcto para el byte inicial.");
  }

  CheckOutcome outcome;
  outcome.Settings.StartOffset = start;
  outcome.Settings.EndOffset = end;
  outcome.Settings.Mode = in.Indicador ? RunMode::kBlock : RunMode::kFree;
  outcome.Settings.LeftBracket = in.CierreI;
  outcome.Settings.RightBracket = in.CierreD;
  outcome.Settings.Indicator = in.Indicador ? in.ByteIni : std::string();
  return outcome;
}

}  // namespace romscriber
