#include "inserter/insert.h"

#include <span>
#include <string>

#include "base/app_error.h"
#include "base/file_io.h"
#include "cli/cli.h"
#include "insert/patch.h"
#include "session/session.h"

namespace romscriber {

int RunInsert(const InsertOptions& options, std::ostream& out, std::ostream& err) {
  const Warn warn = WarnTo(err);
  try {
    Session session = Session::Open(options.Project, warn);
    const Project& project = session.Settings();
    const std::optional<std::filesystem::path> scripts =
        options.Scripts ? options.Scripts : project.Scripts;
    if (!scripts) {
      return PrintRefusalWithHelp(
          err, "Falta --scripts: el proyecto no dice la carpeta de los guiones (scripts).");
    }
    // Without --out, what [output] says: the ROM and its patches.
    const std::optional<std::filesystem::path> rom = options.Out ? options.Out : project.Output.Rom;
    if (!rom)
      return PrintRefusalWithHelp(err, "Falta --out: el proyecto no dice la ROM nueva ([output] rom).");
    const std::optional<std::filesystem::path> ips =
        options.Ips ? options.Ips : (options.Out ? std::nullopt : project.Output.Ips);
    const std::optional<std::filesystem::path> bps =
        options.Bps ? options.Bps : (options.Out ? std::nullopt : project.Output.Bps);
    for (const auto* path : {&*rom, ips ? &*ips : nullptr, bps ? &*bps : nullptr}) {
      if (path && SameFile(*path, project.Rom)) {
        err << "Error: " << path->string() << " es la ROM original del proyecto, que nunca se "
            << "cambia; elija otro nombre para la salida.\n";
        return kExitRefused;
      }
    }
    session.ReadScripts(*scripts, true);
    const SessionInsertion insertion = session.Insert(nullptr, options.Strict);
    const InsertOutcome& outcome = insertion.Outcome;
    if (!outcome.Refusals.empty()) {
      err << "Error: " << DescribeRefusals(outcome.Refusals) << '\n';
      return kExitFailed;
    }

    WriteRomAndPatches(session.Rom(), outcome.Rom, *rom, ips, bps);

    std::int64_t changed = 0;
    for (const BlockReport& block : outcome.Blocks) {
      for (const std::string& w : block.Warnings)
        warn(w);
      out << block.Name << ": " << block.Changed << " textos cambiados, "
          << Thousands(block.Used) << " de " << Thousands(block.Available) << " bytes, "
          << block.PointersRewritten << " punteros reescritos";
      if (block.Fuzzy > 0) out << ", " << block.Fuzzy << " dudosos sin cambiar";
      out << '\n';
      changed += block.Changed;
    }
    for (const std::string& w : insertion.LineWarnings)
      warn(w);
    out << "Inserción terminada: " << changed << " textos cambiados en " << outcome.Blocks.size()
        << " bloques; ROM nueva en " << rom->string() << "." << std::endl;
  } catch (const AppError& e) {
    return ExitForError(err, e);
  }
  return kExitOk;
}

}  // namespace romscriber
