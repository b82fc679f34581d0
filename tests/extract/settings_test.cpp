#include "extract/settings.h"

#include <gtest/gtest.h>

#include "base/app_error.h"

namespace romscriber {
namespace {

ExtractionInputs Ready() {
  ExtractionInputs in;
  in.RomLoaded = true;
  in.TableLoaded = true;
  in.RomSize = 0x8000;
  in.OffsetIni = "10";
  in.OffsetFin = "20";
  return in;
}

std::string MessageFor(const ExtractionInputs& in) {
  return CheckSettings(in).Message;
}

TEST(CheckSettings, ChecksRunInTheirOrder) {
  ExtractionInputs in;  // nothing loaded, nothing typed
  in.CierreI.clear();
  EXPECT_EQ(MessageFor(in), "Debe cargar la ROM");
  in.RomLoaded = true;
  EXPECT_EQ(MessageFor(in), "Debe cargar la Tabla Thingy");
  in.TableLoaded = true;
  EXPECT_EQ(MessageFor(in), "Debe indicar un valor para el Offset Inicial");
  in.OffsetIni = "0";
  EXPECT_EQ(MessageFor(in), "Debe indicar un valor para el Offset Final");
  in.OffsetFin = "0";
  EXPECT_EQ(MessageFor(in), "Debe indicar una llave de Cierre Izquierda");
  in.CierreI = "[";
  in.CierreD.clear();
  EXPECT_EQ(MessageFor(in), "Debe indicar una llave de Cierre Derecha");
  in.CierreD = "]";
  // 0 and 0: equality is checked before the zero end.
  EXPECT_EQ(MessageFor(in), "Offset final debe ser mayor.");
  in.OffsetIni = "10";
  EXPECT_EQ(MessageFor(in), "Offset final debe ser distinto a cero");
  in.OffsetIni = "20";
  in.OffsetFin = "10";
  EXPECT_EQ(MessageFor(in), "Offset Final debe ser mayor que el Offset Inicial");
}

TEST(CheckSettings, OffsetsAgainstRomSize) {
  ExtractionInputs in = Ready();
  in.OffsetFin = "8000";  // the offset just past the last byte is accepted
  EXPECT_TRUE(CheckSettings(in).Passed());
  in.OffsetFin = "8001";
  EXPECT_EQ(MessageFor(in), "Offsets final no debe superar el tamaño de la ROM.");
  in.OffsetIni = "8001";
  in.OffsetFin = "9000";
  EXPECT_EQ(MessageFor(in), "Offsets inicial no debe superar el tamaño de la ROM.");
  // Large values compare like any other.
  in.RomSize = 0x80000000LL;
  in.OffsetIni = "0";
  in.OffsetFin = "7FFFFFFF";
  EXPECT_TRUE(CheckSettings(in).Passed());
  in.RomSize = 0x7FFFFFFE;
  EXPECT_EQ(MessageFor(in), "Offsets final no debe superar el tamaño de la ROM.");
  // Only a text HexToDec cannot convert fails with an overflow.
  in.OffsetFin = "80000000";
  EXPECT_THROW(CheckSettings(in), AppError);
}

TEST(CheckSettings, IndicatorIsExaminedOnlyInBlockMode) {
  ExtractionInputs in = Ready();
  in.ByteIni = "F";
  EXPECT_TRUE(CheckSettings(in).Passed());
  in.Indicador = true;
  EXPECT_EQ(MessageFor(in), "Debe indicar un valor correcto para el byte inicial.");
  in.ByteIni = "fe";
  const CheckOutcome ok = CheckSettings(in);
  ASSERT_TRUE(ok.Passed());
  EXPECT_EQ(ok.Settings.Mode, RunMode::kBlock);
  EXPECT_EQ(ok.Settings.Indicator, "fe");
}

TEST(CheckSettings, GivesTheRunParameters) {
  ExtractionInputs in = Ready();
  in.OffsetIni = "1a0";  // lower case is accepted
  in.OffsetFin = "1FF";
  in.CierreI = "{";
  in.CierreD = "}";
  const CheckOutcome ok = CheckSettings(in);
  ASSERT_TRUE(ok.Passed());
  EXPECT_EQ(ok.Settings.StartOffset, 0x1A0);
  EXPECT_EQ(ok.Settings.EndOffset, 0x1FF);
  EXPECT_EQ(ok.Settings.Mode, RunMode::kFree);
  EXPECT_EQ(ok.Settings.LeftBracket, "{");
  EXPECT_EQ(ok.Settings.RightBracket, "}");
}

}  // namespace
}  // namespace romscriber
