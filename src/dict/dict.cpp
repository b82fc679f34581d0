#include "dict/dict.h"

#include <algorithm>
#include <cstdio>

#include "base/app_error.h"
#include "base/file_io.h"
#include "base/text.h"
#include "cli/cli.h"
#include "fit/project_dictionary.h"
#include "hex/hex.h"
#include "session/session.h"

namespace romscriber {

namespace {

// "58,6 %".
std::string Percent(std::int64_t part, std::int64_t whole) {
  char text[32];
  std::snprintf(text, sizeof text, "%.1f", whole > 0 ? 100.0 * static_cast<double>(part) / static_cast<double>(whole) : 0.0);
  std::string out = text;
  std::replace(out.begin(), out.end(), '.', ',');
  return out + " %";
}

std::string CodeList(const std::vector<std::uint8_t>& codes) {
  std::string out;
  for (const std::uint8_t c : codes) {
    if (!out.empty()) out += ' ';
    AppendByteHex(out, c);
  }
  return out;
}

std::string Bytes(const BlockDictionaryBytes& b) {
  return Thousands(b.Before) + " bytes antes, " + Thousands(b.After) + " después (" +
         Thousands(b.Before - b.After) + " menos)";
}

}  // namespace

int RunDict(const DictOptions& options, const std::atomic<bool>& stop, std::ostream& out,
            std::ostream& err, bool progress) {
  // The options first, before any file is read.
  const auto codes = ParseCodeList(options.Codes);
  if (!codes)
    return PrintRefusalWithHelp(
        err, "--codes: «" + options.Codes +
                 "» no es una lista de códigos de un byte en hexadecimal (80-BF, o 80-8F,A0).");
  if (options.MaxLength < 2 || options.MaxLength > kMaxDictionaryLength)
    return PrintRefusalWithHelp(err, "--max-length: una entrada del diccionario da de 2 a " +
                                         std::to_string(kMaxDictionaryLength) +
                                         " letras de la tabla.");
  const auto pad = ParseHexNumber(options.Pad, 2);
  if (!pad)
    return PrintRefusalWithHelp(
        err, "--pad: «" + options.Pad + "» no es un byte en hexadecimal (00 a FF).");
  if (options.Out && options.Data && SameFile(*options.Out, *options.Data))
    return PrintRefusalWithHelp(err, "--out y --data nombran el mismo archivo.");

  const Warn warn = WarnTo(err);
  try {
    Session session = Session::Open(options.Project, warn, {}, &stop);
    const Project& project = session.Settings();
    // Nothing written may replace a file of the project.
    for (const auto* path : {options.Out ? &*options.Out : nullptr, options.Data ? &*options.Data : nullptr}) {
      if (path == nullptr) continue;
      bool ofProject = SameFile(*path, options.Project) || SameFile(*path, project.Rom);
      for (const ProjectTable& t : project.Tables)
        ofProject = ofProject || SameFile(*path, t.File);
      if (ofProject)
        return PrintRefusalWithHelp(
            err,
            "Error: " + path->string() +
                " es un archivo del proyecto, que no se cambia; elija otro nombre para la salida.");
    }
    const std::optional<std::filesystem::path> scripts = options.Scripts ? options.Scripts : project.Scripts;
    if (!scripts)
      return PrintRefusalWithHelp(
          err, "Falta --scripts: el proyecto no dice la carpeta de los guiones (scripts).");
    session.ReadScripts(*scripts, false);

    ProgressLine line(err, progress);
    const ProjectDictionary d = BuildProjectDictionary(
        session, {options.Table, options.Blocks, {*codes, options.MaxLength}},
        ControlOf(stop, line, "diccionario"));
    line.Erase();
    if (d.Stopped) {
      err << "Detenido: no se ha escrito nada.\n";
      return kExitCancelled;
    }
    if (d.Texts == 0) {
      err << "Error: ningún texto de los bloques cambia su original: no hay bytes que ahorrar. No se ha "
             "escrito nada.\n";
      return kExitFailed;
    }
    if (d.Taken.size() + d.Raw.size() == codes->size())
      return PrintRefusalWithHelp(
          err, "--codes: la tabla ya usa todos esos códigos, o están sueltos en los textos (" +
                   CodeList(*codes) + ").");

    // Every file is made before any is written.
    const std::string lines = TableLines(d.Entries);
    const std::string data =
        DictionaryData(d.Entries, codes->front(), codes->back(), options.MaxLength, static_cast<std::uint8_t>(*pad));
    if (options.Out) WriteFileWhole(*options.Out, {lines});
    if (options.Data) WriteFileWhole(*options.Data, {data});

    if (!d.Taken.empty())
      warn("la tabla ya usa los códigos " + CodeList(d.Taken) + "; no entran en el diccionario.");
    if (!d.Raw.empty())
      warn("los códigos " + CodeList(d.Raw) + " están sueltos en los textos; no entran en el diccionario.");

    // Without --out the lines are the output, and the summary goes aside.
    std::ostream& summary = options.Out ? out : err;
    if (!options.Out) out << lines << std::flush;
    for (const BlockDictionaryBytes& b : d.Blocks)
      summary << b.Block << ": " << b.Texts << " textos, " << Bytes(b) << '\n';
    const std::size_t free = codes->size() - d.Taken.size() - d.Raw.size();
    summary << "Diccionario terminado: " << d.Entries.size() << " entradas de " << free << " códigos libres; "
            << Thousands(d.Before) << " bytes antes, " << Thousands(d.After) << " después ("
            << Thousands(d.Before - d.After) << " menos, " << Percent(d.Before - d.After, d.Before) << ")";
    if (options.Out) summary << "; tabla en " << options.Out->string();
    if (options.Data) summary << "; datos en " << options.Data->string();
    summary << "." << std::endl;
  } catch (const AppError& e) {
    if (e.Number() == kErrCancelled) {
      err << "Detenido: no se ha escrito nada.\n";
      return kExitCancelled;
    }
    return ExitForError(err, e);
  }
  return kExitOk;
}

}  // namespace romscriber
