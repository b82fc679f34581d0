// romscriber-dump ROM TABLE START END [--indicator HH] [--left C] [--right C]
//                 [--table-format classic|extended] [--table-encoding NAME] [--out DIR]
// romscriber-dump --project FILE [--format atlas|tsv|po] [--out DIR] [--update]
#include <CLI/CLI.hpp>

#include <unistd.h>
#include <cstdio>
#include <iostream>

#include "cli/cli.h"
#include "dump/dump.h"
#include "version.h"

int main(int argc, char** argv) {
  using romscriber::DumpOptions;
  CLI::App app(
      "Extractor de Scripts: decodifica el rango START..END (hexadecimal, END incluido) de la ROM "
      "con la tabla y escribe cada script como <offset>.txt en la carpeta de salida; o, con "
      "--project, vuelca cada bloque de un proyecto en un guion (Atlas, TSV o PO).",
      "romscriber-dump");
  romscriber::SpanishHelp(app, std::string(romscriber::kVersion),
                          "Uso: romscriber-dump [OPCIONES] ROM TABLE START END\n"
                          "     romscriber-dump --project FILE [--format atlas|tsv|po] "
                          "[--out CARPETA] [--update]\n");

  DumpOptions options;
  romscriber::ProjectDumpOptions project;
  std::string indicator, left, right, encoding, projectFile, format;
  std::string out = options.Out.string();
  auto* endOption = app.add_option("ROM", options.Rom, "Imagen de la ROM")->type_name("RUTA");
  app.add_option("TABLE", options.Table, "Tabla (*.tbl)")->type_name("RUTA");
  app.add_option("START", options.Start, "Offset inicial en hexadecimal")->type_name("HEX");
  endOption = app.add_option("END", options.End, "Offset final en hexadecimal (incluido)")
                  ->type_name("HEX");
  auto* romOption = app.get_option("ROM");
  auto* indicatorOption = app.add_option("--indicator", indicator,
                                         "Modo bloque: byte que indica el inicio de un bloque")
                              ->type_name("HH");
  auto* leftOption =
      app.add_option("--left", left,
                     "Tabla clásica: cierre izquierdo para bytes sin entrada: { [ ( < / \\ ~ (por "
                     "defecto <)")
          ->type_name("C");
  auto* rightOption =
      app.add_option("--right", right,
                     "Tabla clásica: cierre derecho para bytes sin entrada: } ] ) > / \\ ~ (por "
                     "defecto >)")
          ->type_name("C");
  app.add_option("--table-format", options.TableFormat,
                 "Formato de la tabla: classic (por defecto) o extended")
      ->type_name("FORMATO");
  auto* encodingOption =
      app.add_option("--table-encoding", encoding,
                     "Tabla extendida: codificación sin marca de orden de bytes (nombre de iconv: "
                     "utf-8 por defecto, shift_jis, utf-16...)")
          ->type_name("NOMBRE");
  auto* projectOption =
      app.add_option("--project", projectFile,
                     "Proyecto (TOML): vuelca cada bloque en <bloque>.txt, .tsv o .po")
          ->type_name("RUTA");
  auto* formatOption =
      app.add_option("--format", format,
                     "Con --project: formato de los guiones: atlas, tsv o po (por defecto el "
                     "format del proyecto, o atlas)")
          ->type_name("FORMATO");
  auto* outOption =
      app.add_option("--out", out,
                     "Carpeta de los scripts (por defecto Scripts en la carpeta actual; con "
                     "--project, la carpeta scripts del proyecto si la dice)")
          ->type_name("CARPETA");
  auto* updateOption = app.add_flag(
      "--update", project.Update,
      "Con --project: conserva las traducciones de los guiones que ya hay en la carpeta (las de "
      "textos que ya no existen van a <bloque>.lost.tsv)");

  if (const auto exit = romscriber::ParseArguments(app, argc, argv)) return *exit;
  const bool anyRange = romOption->count() > 0;
  const std::atomic<bool>& stop = romscriber::StopOnInterrupt();
  const bool terminal = isatty(STDERR_FILENO) == 1;
  if (*projectOption) {
    if (anyRange || *indicatorOption || *leftOption || *rightOption || *encodingOption) {
      std::cerr << "Con --project solo valen --format, --out y --update: el proyecto dice la "
                   "ROM, las tablas y los bloques.\nUse --help para ver el uso.\n";
      return romscriber::kExitRefused;
    }
    project.Project = projectFile;
    if (*outOption) project.Out = out;
    if (*formatOption) project.Format = format;
    return romscriber::RunProjectDump(project, stop, std::cout, std::cerr, terminal);
  }
  if (*updateOption) {
    std::cerr << "--update solo vale con --project.\nUse --help para ver el uso.\n";
    return romscriber::kExitRefused;
  }
  if (endOption->count() == 0) {
    std::cerr << "Argumentos no válidos: faltan ROM TABLE START END (o --project)."
                 "\nUse --help para ver el uso.\n";
    return romscriber::kExitRefused;
  }
  if (*indicatorOption) options.Indicator = indicator;
  if (*leftOption) options.Left = left;
  if (*rightOption) options.Right = right;
  if (*encodingOption) options.TableEncoding = encoding;
  options.Out = out;
  return romscriber::RunDump(options, stop, std::cout, std::cerr, terminal);
}
