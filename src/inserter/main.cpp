// romscriber-insert --project FILE --scripts DIR --out NEW_ROM [--ips FILE] [--bps FILE]
#include <CLI/CLI.hpp>

#include <iostream>

#include "cli/cli.h"
#include "inserter/insert.h"
#include "version.h"

int main(int argc, char** argv) {
  CLI::App app(
      "Insertor de Scripts: lee el guion traducido de cada bloque del proyecto (<bloque>.tsv, "
      ".po o .txt de Atlas), lo codifica con la tabla del bloque, lo coloca en el espacio del "
      "bloque y sus zonas libres, corrige cada puntero y escribe una ROM nueva; la original no "
      "se cambia.",
      "romscriber-insert");
  romscriber::SpanishHelp(app, std::string(romscriber::kVersion));

  romscriber::InsertOptions options;
  std::string project, scripts, out, ips, bps;
  app.add_option("--project", project, "Proyecto (TOML)")->required()->type_name("RUTA");
  app.add_option("--scripts", scripts, "Carpeta de los guiones traducidos")
      ->required()
      ->type_name("CARPETA");
  app.add_option("--out", out, "ROM nueva (no puede ser la del proyecto)")
      ->required()
      ->type_name("RUTA");
  auto* ipsOption =
      app.add_option("--ips", ips, "Escribe también un parche IPS de la ROM original a la nueva")
          ->type_name("RUTA");
  auto* bpsOption =
      app.add_option("--bps", bps, "Escribe también un parche BPS de la ROM original a la nueva")
          ->type_name("RUTA");
  if (const auto exit = romscriber::ParseArguments(app, argc, argv)) return *exit;
  options.Project = project;
  options.Scripts = scripts;
  options.Out = out;
  if (*ipsOption) options.Ips = ips;
  if (*bpsOption) options.Bps = bps;
  return romscriber::RunInsert(options, std::cout, std::cerr);
}
