// romscriber-insert --project FILE [--scripts DIR] [--out NEW_ROM] [--ips FILE] [--bps FILE] [--strict]
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
  auto* scriptsOption =
      app.add_option("--scripts", scripts,
                     "Carpeta de los guiones traducidos (por defecto, la carpeta scripts del "
                     "proyecto)")
          ->type_name("CARPETA");
  auto* outOption =
      app.add_option("--out", out,
                     "ROM nueva, que no puede ser la del proyecto (por defecto, la rom de "
                     "[output] del proyecto, con los parches que [output] nombre)")
          ->type_name("RUTA");
  auto* ipsOption =
      app.add_option("--ips", ips, "Escribe también un parche IPS de la ROM original a la nueva")
          ->type_name("RUTA");
  auto* bpsOption =
      app.add_option("--bps", bps, "Escribe también un parche BPS de la ROM original a la nueva")
          ->type_name("RUTA");
  app.add_flag("--strict", options.Strict,
               "Rechaza la inserción si una línea pasa de line_limit o un texto de max_lines "
               "(sin esta opción, solo avisa)");
  if (const auto exit = romscriber::ParseArguments(app, argc, argv)) return *exit;
  options.Project = project;
  if (*scriptsOption) options.Scripts = scripts;
  if (*outOption) options.Out = out;
  if (*ipsOption) options.Ips = ips;
  if (*bpsOption) options.Bps = bps;
  return romscriber::RunInsert(options, std::cout, std::cerr);
}
