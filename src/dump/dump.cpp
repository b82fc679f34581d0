#include "dump/dump.h"

#include <chrono>

#include "base/app_error.h"
#include "base/file_io.h"
#include "extract/background_sink.h"
#include "extract/engine.h"
#include "extract/rom_source.h"
#include "extract/run_text.h"
#include "extract/script_files.h"
#include "extract/settings.h"
#include "scripts/format.h"
#include "session/session.h"
#include "table/compiled.h"
#include "table/extended_loader.h"
#include "table/loader.h"

namespace romscriber {

namespace {

bool OnlyFrom(std::string_view text, std::string_view allowed) {
  return text.find_first_not_of(allowed) == std::string_view::npos;
}

// The elapsed time as the window shows it.
std::string Elapsed(std::chrono::steady_clock::duration d) {
  const auto s = std::chrono::duration_cast<std::chrono::seconds>(d).count();
  return ElapsedText(s / 3600, s / 60 % 60, s % 60);
}

// The run's progress on a terminal, with the time since it began.
class RunProgress : public RunHost {
 public:
  RunProgress(std::ostream& err, bool enabled) : m_line(err, enabled) {}

  void ServiceEvents() override {
    if (m_text.empty() || !m_line.Due()) return;
    m_line.Draw(m_text + "  " + Elapsed(std::chrono::steady_clock::now() - m_start));
  }
  void ShowProgress(const std::string& text) override { m_text = text; }
  void Erase() { m_line.Erase(); }

 private:
  ProgressLine m_line;
  std::string m_text;
  std::chrono::steady_clock::time_point m_start = std::chrono::steady_clock::now();
};

// A range dump with an extended table shows raw bytes as a project dump
// does, <$HH>, and breaks lines as range script files do, CR LF.
DecodeStyle ExtendedRunStyle() {
  DecodeStyle style = ProjectStyle();
  style.LineBreak = "\r\n";
  return style;
}

}  // namespace

int RunDump(const DumpOptions& options, const std::atomic<bool>& stop, std::ostream& out,
            std::ostream& err, bool progress) {
  const bool extended = options.TableFormat == "extended";
  // Brackets belong to classic tables, an encoding to extended ones.
  if (extended && (options.Left || options.Right)) {
    return PrintRefusal(err,
                  "--left y --right solo valen con tablas clásicas: una tabla extendida muestra "
                  "los bytes sin entrada como <$HH>.");
  }
  if (const auto refusal = TableOptionsRefusal(options.TableFormat, options.TableEncoding))
    return PrintRefusal(err, *refusal);
  const std::string left = options.Left.value_or("<");
  const std::string right = options.Right.value_or(">");
  // What the window's fields would refuse to hold is refused here.
  if (left.size() > 1 || !OnlyFrom(left, kLeftBrackets)) {
    return PrintRefusal(err, "La llave de cierre izquierda debe ser uno de estos caracteres: {[(</\\~");
  }
  if (right.size() > 1 || !OnlyFrom(right, kRightBrackets)) {
    return PrintRefusal(err, "La llave de cierre derecha debe ser uno de estos caracteres: }])>/\\~");
  }
  if (options.Indicator &&
      (options.Indicator->size() > 2 || !OnlyFrom(*options.Indicator, kHexDigits))) {
    return PrintRefusal(err,
                  "El byte indicador debe ser de dos dígitos hexadecimales: " + *options.Indicator);
  }
  if (!OnlyFrom(options.Start, kHexDigits)) {
    return PrintRefusal(err, "El offset inicial debe ser hexadecimal: " + options.Start);
  }
  if (!OnlyFrom(options.End, kHexDigits)) {
    return PrintRefusal(err, "El offset final debe ser hexadecimal: " + options.End);
  }

  ExtractionInputs inputs;
  inputs.OffsetIni = options.Start;
  inputs.OffsetFin = options.End;
  inputs.CierreI = left;
  inputs.CierreD = right;
  inputs.Indicador = options.Indicator.has_value();
  inputs.ByteIni = options.Indicator.value_or("");

  Table classic;
  EntryList extendedTable;
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
      if (extended) {
        extendedTable =
            LoadExtendedTableFile(options.Table, options.TableEncoding.value_or(""),
                                  WarnTo(err));
      } else {
        classic = LoadTableFile(options.Table);
      }
      inputs.TableLoaded = true;
    } catch (const AppError& e) {
      if (e.Number() == kErrBadInput || e.Number() == kErrBadSetting) {
        err << "Error: " << e.Description() << '\n';
      } else {
        err << "Error #:" << e.Number() << '\n';
      }
      return kExitFailed;
    }
  }

  RunProgress host(err, progress);
  std::int64_t written = 0;
  try {
    const CheckOutcome checked = CheckSettings(inputs);
    if (!checked.Passed()) return PrintRefusal(err, checked.Message);

    std::error_code ec;
    std::filesystem::create_directories(options.Out, ec);
    if (ec) ThrowSystemError(ec, true);

    FileByteSource rom(options.Rom);
    // Files are written on a thread of their own while decoding goes on.
    FolderScriptSink files(options.Out);
    BackgroundScriptSink sink(files);
    RunHooks hooks{rom, sink, host, stop};
    const CompiledTable table = extended
                                    ? CompiledTable::Compile(extendedTable, ExtendedRunStyle())
                                    : CompiledTable::FromClassic(classic, ClassicRunStyle(checked.Settings));
    const RunResult result = RunCompiled(table, checked.Settings, hooks);
    sink.Finish();
    written = result.ScriptCount;
    host.Erase();
    if (result.Stopped) {
      out << RunEndMessage(written, true) << std::endl;
      return kExitCancelled;
    }
  } catch (const AppError& e) {
    host.Erase();
    err << "Error: " << e.Description() << '\n';
    return kExitFailed;
  }
  out << RunEndMessage(written, false) << std::endl;
  return kExitOk;
}

int RunProjectDump(const ProjectDumpOptions& options, const std::atomic<bool>& stop,
                   std::ostream& out, std::ostream& err, bool progress) {
  std::optional<ScriptFormat> chosen;
  if (options.Format) {
    chosen = FormatByName(*options.Format);
    if (!chosen)
      return PrintRefusal(err, "El formato de guion debe ser atlas, tsv o po: " + *options.Format);
  }
  const Warn warn = WarnTo(err);
  RunProgress host(err, progress);
  try {
    Session session = Session::Open(
        options.Project, warn,
        [&](const std::string& text) {
          host.ShowProgress(text);
          host.ServiceEvents();
        },
        &stop);
    const Project& project = session.Settings();
    const ScriptFormat format = chosen.value_or(project.Format.value_or(ScriptFormat::kAtlas));
    const std::filesystem::path folder =
        options.Out.value_or(project.Scripts.value_or(std::filesystem::path("Scripts")));

    // The scripts already there are never replaced while they hold
    // translations, unless carried over.
    const DumpPlan plan = session.PlanDump(folder, format, options.Update);
    if (stop.load()) {
      host.Erase();
      out << "Proceso cancelado. No se ha escrito ningún guion." << std::endl;
      return kExitCancelled;
    }
    // The files, each whole or not at all.
    WriteDumpPlan(folder, plan);
    host.Erase();

    std::size_t strings = 0, pointers = 0, warned = 0;
    for (std::size_t b = 0; b < session.Blocks().size(); ++b) {
      const SessionBlock& block = session.Blocks()[b];
      for (const std::string& w : plan.Warnings[b])
        warn(w);
      out << block.Settings->Name << ": " << block.Strings.size() << " textos, "
          << block.PointerTable.size() << " punteros, " << plan.Warnings[b].size() << " avisos";
      if (options.Update) out << ", " << plan.Kept[b] << " traducciones conservadas";
      out << '\n';
      strings += block.Strings.size();
      pointers += block.PointerTable.size();
      warned += plan.Warnings[b].size();
    }
    out << "Volcado terminado: " << session.Blocks().size() << " bloques, " << strings
        << " textos, " << pointers << " punteros, " << warned << " avisos." << std::endl;
  } catch (const AppError& e) {
    host.Erase();
    if (e.Number() == kErrCancelled) {
      out << "Proceso cancelado. No se ha escrito ningún guion." << std::endl;
      return kExitCancelled;
    }
    return ExitForError(err, e);
  }
  return kExitOk;
}

}  // namespace romscriber
