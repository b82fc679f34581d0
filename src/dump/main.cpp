// romscriber-dump ROM TABLE START END [--indicator HH] [--left C] [--right C] [--out DIR]
#include <CLI/CLI.hpp>

#include <unistd.h>
#include <csignal>
#include <cstdio>
#include <iostream>

#include "dump/dump.h"
#include "version.h"

namespace {

std::atomic<bool> g_stop{false};
static_assert(std::atomic<bool>::is_always_lock_free, "the stop flag is set from a signal handler");

// Ctrl+C asks the run to stop, as "Detener" does in the window. A second
// Ctrl+C ends the program the usual way.
extern "C" void OnInterrupt(int) {
  g_stop.store(true);
}

void InstallInterruptHandler() {
  struct sigaction action {};
  action.sa_handler = OnInterrupt;
  action.sa_flags = SA_RESETHAND;
  sigemptyset(&action.sa_mask);
  sigaction(SIGINT, &action, nullptr);
}

void SpanishHelp(CLI::App& app) {
  auto formatter = app.get_formatter();
  formatter->label("Usage", "Uso");
  formatter->label("OPTIONS", "OPCIONES");
  formatter->label("Positionals", "Argumentos");
  formatter->label("REQUIRED", "OBLIGATORIO");
  formatter->label("TEXT", "TEXTO");
  app.option_defaults()->group("Opciones");
}

}  // namespace

int main(int argc, char** argv) {
  using romscriber::DumpOptions;
  CLI::App app(
      "Extractor de Scripts: decodifica el rango START..END (hexadecimal, END incluido) de la ROM "
      "con la tabla Thingy y escribe cada script como <offset>.txt en la carpeta de salida.",
      "romscriber-dump");
  SpanishHelp(app);
  app.set_help_flag("-h,--help", "Muestra esta ayuda y termina");
  app.set_version_flag("--version", std::string(romscriber::kVersion),
                       "Muestra la versión y termina");

  DumpOptions options;
  std::string indicator;
  std::string out = options.Out.string();
  app.add_option("ROM", options.Rom, "Imagen de la ROM")->required()->type_name("RUTA");
  app.add_option("TABLE", options.Table, "Tabla Thingy (*.tbl)")->required()->type_name("RUTA");
  app.add_option("START", options.Start, "Offset inicial en hexadecimal")
      ->required()
      ->type_name("HEX");
  app.add_option("END", options.End, "Offset final en hexadecimal (incluido)")
      ->required()
      ->type_name("HEX");
  auto* indicatorOption = app.add_option("--indicator", indicator,
                                         "Modo bloque: byte que indica el inicio de un bloque")
                              ->type_name("HH");
  app.add_option("--left", options.Left,
                 "Cierre izquierdo para bytes sin entrada: { [ ( < / \\ ~ (por defecto <)")
      ->type_name("C");
  app.add_option("--right", options.Right,
                 "Cierre derecho para bytes sin entrada: } ] ) > / \\ ~ (por defecto >)")
      ->type_name("C");
  app.add_option("--out", out, "Carpeta de los scripts (por defecto Scripts en la carpeta actual)")
      ->type_name("CARPETA");

  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp& e) {
    return app.exit(e);
  } catch (const CLI::CallForVersion& e) {
    return app.exit(e);
  } catch (const CLI::ParseError& e) {
    std::cerr << "Argumentos no válidos: " << e.what() << "\nUse --help para ver el uso.\n";
    return romscriber::kExitRefused;
  }
  if (*indicatorOption) options.Indicator = indicator;
  options.Out = out;

  InstallInterruptHandler();
  return romscriber::RunDump(options, g_stop, std::cout, std::cerr, isatty(STDERR_FILENO) == 1);
}
