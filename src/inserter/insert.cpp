#include "inserter/insert.h"

#include <span>
#include <string>

#include "base/app_error.h"
#include "base/file_io.h"
#include "cli/cli.h"
#include "insert/insertion.h"
#include "insert/patch.h"
#include "project/dump.h"

namespace romscriber {

namespace {

// Whether two paths name one file, also through links; a path that does not
// exist yet names no existing file.
bool SameFile(const std::filesystem::path& a, const std::filesystem::path& b) {
  std::error_code ec;
  if (std::filesystem::equivalent(a, b, ec)) return true;
  return std::filesystem::weakly_canonical(a, ec) == std::filesystem::weakly_canonical(b, ec);
}

// "12.345": digits in groups of three, as Spanish writes them.
std::string Thousands(std::int64_t n) {
  const std::string digits = std::to_string(n);
  std::string out;
  for (std::size_t i = 0; i < digits.size(); ++i) {
    if (i > 0 && (digits.size() - i) % 3 == 0) out.push_back('.');
    out.push_back(digits[i]);
  }
  return out;
}

}  // namespace

int RunInsert(const InsertOptions& options, std::ostream& out, std::ostream& err) {
  const auto warn = [&](const std::string& warning) { err << "Aviso: " << warning << '\n'; };
  try {
    const OpenedProject project = OpenProject(options.Project, warn);
    for (const auto* path : {&options.Out, options.Ips ? &*options.Ips : nullptr,
                             options.Bps ? &*options.Bps : nullptr}) {
      if (path && SameFile(*path, project.Settings.Rom)) {
        err << "Error: " << path->string() << " es la ROM original del proyecto, que nunca se "
            << "cambia; elija otro nombre para la salida.\n";
        return kExitRefused;
      }
    }
    std::vector<BlockDump> dumps;
    std::vector<BlockScript> scripts;
    for (const ProjectBlock& block : project.Settings.Blocks) {
      dumps.push_back(DumpBlock(project, block));
      scripts.push_back(ReadBlockScript(options.Scripts, block.Name));
    }
    CheckFreeRegions(project, dumps);
    const Insertion insertion = InsertScripts(project, dumps, scripts);

    // Every file is made before any is written, so a refusal writes nothing.
    const std::span<const std::uint8_t> original(project.Rom);
    const std::span<const std::uint8_t> modified(insertion.Rom);
    const std::string ips = options.Ips ? MakeIps(original, modified) : std::string();
    const std::string bps = options.Bps ? MakeBps(original, modified) : std::string();
    WriteFileWhole(options.Out,
                   {std::string_view(reinterpret_cast<const char*>(insertion.Rom.data()),
                                     insertion.Rom.size())});
    if (options.Ips) WriteFileWhole(*options.Ips, {ips});
    if (options.Bps) WriteFileWhole(*options.Bps, {bps});

    std::int64_t changed = 0;
    for (const BlockReport& block : insertion.Blocks) {
      for (const std::string& w : block.Warnings)
        err << "Aviso: " << w << '\n';
      out << block.Name << ": " << block.Changed << " textos cambiados, "
          << Thousands(block.Used) << " de " << Thousands(block.Available) << " bytes, "
          << block.PointersRewritten << " punteros reescritos";
      if (block.Fuzzy > 0) out << ", " << block.Fuzzy << " dudosos sin cambiar";
      out << '\n';
      changed += block.Changed;
    }
    out << "Inserción terminada: " << changed << " textos cambiados en " << insertion.Blocks.size()
        << " bloques; ROM nueva en " << options.Out.string() << "." << std::endl;
  } catch (const AppError& e) {
    return ExitForError(err, e);
  }
  return kExitOk;
}

}  // namespace romscriber
