#include "dump/dump.h"

#include <chrono>

#include "base/app_error.h"
#include "extract/engine.h"
#include "extract/rom_source.h"
#include "extract/script_files.h"
#include "extract/settings.h"
#include "hex/hex.h"
#include "table/loader.h"

namespace romscriber {

namespace {

constexpr std::string_view kLeftBrackets = "{[(</\\~";
constexpr std::string_view kRightBrackets = "}])>/\\~";
constexpr std::string_view kHexDigits = "0123456789ABCDEFabcdef";

bool OnlyFrom(std::string_view text, std::string_view allowed) {
  return text.find_first_not_of(allowed) == std::string_view::npos;
}

// "2h, 15m, 7s." as the window shows the elapsed time.
std::string Elapsed(std::chrono::steady_clock::duration d) {
  const auto s = std::chrono::duration_cast<std::chrono::seconds>(d).count();
  return std::to_string(s / 3600) + "h, " + std::to_string(s / 60 % 60) + "m, " +
         std::to_string(s % 60) + "s.";
}

// Redraws one progress line on a terminal a few times a second.
class ProgressLine : public RunHost {
 public:
  ProgressLine(std::ostream& err, bool enabled) : m_err(err), m_enabled(enabled) {}

  void ServiceEvents() override {
    if (!m_enabled) return;
    const auto now = std::chrono::steady_clock::now();
    if (m_text.empty() || (m_drawn && now - m_lastDraw < std::chrono::milliseconds(250))) return;
    m_lastDraw = now;
    m_err << "\r\x1b[K" << m_text << "  " << Elapsed(now - m_start) << std::flush;
    m_drawn = true;
  }
  void ShowProgress(const std::string& text) override { m_text = text; }

  void Erase() {
    if (m_drawn) m_err << "\r\x1b[K" << std::flush;
    m_drawn = false;
  }

 private:
  std::ostream& m_err;
  bool m_enabled;
  bool m_drawn = false;
  std::string m_text;
  std::chrono::steady_clock::time_point m_start = std::chrono::steady_clock::now();
  std::chrono::steady_clock::time_point m_lastDraw;
};

int Refuse(std::ostream& err, const std::string& message) {
  err << message << '\n';
  return kExitRefused;
}

}  // namespace

int RunDump(const DumpOptions& options, const std::atomic<bool>& stop, std::ostream& out,
            std::ostream& err, bool progress) {
  // What the window's fields would refuse to hold is refused here.
  if (options.Left.size() > 1 || !OnlyFrom(options.Left, kLeftBrackets)) {
    return Refuse(err, "La llave de cierre izquierda debe ser uno de estos caracteres: {[(</\\~");
  }
  if (options.Right.size() > 1 || !OnlyFrom(options.Right, kRightBrackets)) {
    return Refuse(err, "La llave de cierre derecha debe ser uno de estos caracteres: }])>/\\~");
  }
  if (options.Indicator &&
      (options.Indicator->size() > 2 || !OnlyFrom(*options.Indicator, kHexDigits))) {
    return Refuse(err,
                  "El byte indicador debe ser de dos dígitos hexadecimales: " + *options.Indicator);
  }
  if (!OnlyFrom(options.Start, kHexDigits)) {
    return Refuse(err, "El offset inicial debe ser hexadecimal: " + options.Start);
  }
  if (!OnlyFrom(options.End, kHexDigits)) {
    return Refuse(err, "El offset final debe ser hexadecimal: " + options.End);
  }

  ExtractionInputs inputs;
  inputs.OffsetIni = options.Start;
  inputs.OffsetFin = options.End;
  inputs.CierreI = options.Left;
  inputs.CierreD = options.Right;
  inputs.Indicador = options.Indicator.has_value();
  inputs.ByteIni = options.Indicator.value_or("");

  Table table;
  if (!options.Rom.empty()) {
    try {
      inputs.RomSize = MeasureRom(options.Rom);
      inputs.RomLoaded = true;
    } catch (const AppError& e) {
      err << "Error #: " << e.Number() << '\n';
      return kExitFailed;
    }
  }
  if (inputs.RomLoaded && !options.Table.empty()) {
    try {
      table = LoadTableFile(options.Table);
      inputs.TableLoaded = true;
    } catch (const AppError& e) {
      err << "Error #:" << e.Number() << '\n';
      return kExitFailed;
    }
  }

  ProgressLine host(err, progress);
  std::int64_t written = 0;
  try {
    const CheckOutcome checked = CheckSettings(inputs);
    if (!checked.Passed()) return Refuse(err, checked.Message);

    std::error_code ec;
    std::filesystem::create_directories(options.Out, ec);
    if (ec) ThrowSystemError(ec, true);

    FileByteSource rom(options.Rom);
    FolderScriptSink sink(options.Out);
    RunHooks hooks{rom, sink, host, stop};
    const RunResult result = RunExtraction(table, checked.Settings, hooks);
    written = result.ScriptCount;
    host.Erase();
    if (result.Stopped) {
      out << "Proceso cancelado. Se han extraido " << written << " scripts." << std::endl;
      return kExitCancelled;
    }
  } catch (const AppError& e) {
    host.Erase();
    err << "Error: " << e.Description() << '\n';
    return kExitFailed;
  }
  out << "Extracción finalizada. Se han extraido " << written << " scripts." << std::endl;
  return kExitOk;
}

}  // namespace romscriber
