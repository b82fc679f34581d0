// romscriber-find relative ROM TEXT [--width 1|2] [--endian little|big] [--kana]
//                          [--table OUT] [--hit N]
// romscriber-find text ROM TABLE [--table-format classic|extended] [--table-encoding NAME]
//                      [--min-length N] [--start S] [--end E] [--targets]
// romscriber-find pointers ROM (--targets FILE | --project P --block B) [--map KIND]
//                          [--header N] [--base N] [--bank-size N] [--window N]
//                          [--size 2|3|4] [--top N] [--toml]
#include <CLI/CLI.hpp>

#include <unistd.h>
#include <iostream>
#include <map>

#include "base/text.h"
#include "cli/cli.h"
#include "find/find.h"
#include "version.h"

namespace {

// The help of the whole program shows every form with its options (the
// manual page is written from it), each headed by its usage line; each
// form's own help shows that form. Usage lines are given, by form.
class FindFormatter : public CLI::Formatter {
 public:
  void Usage(const std::string& form, std::string usage) { m_usage[form] = std::move(usage); }

  std::string make_usage(const CLI::App* app, std::string) const override {
    const std::string& form = app->get_parent() ? app->get_name() : "";
    return "Uso: " + m_usage.at(form) + "\n";
  }
  std::string make_help(const CLI::App* app, std::string name,
                        CLI::AppFormatMode mode) const override {
    if (!app->get_parent() && mode == CLI::AppFormatMode::Normal) mode = CLI::AppFormatMode::All;
    return CLI::Formatter::make_help(app, std::move(name), mode);
  }
  // A form within the whole help: its usage line ending in a colon (a
  // subsection of the manual page), its description, its arguments and
  // options, indented.
  std::string make_expanded(const CLI::App* form) const override {
    const std::string body = form->get_description() + "\n" + make_positionals(form) +
                             make_groups(form, CLI::AppFormatMode::Sub);
    // A blank line before it, no more than one in a row within it, none at
    // its end; every other line indented.
    std::string out = "\n" + m_usage.at(form->get_name()) + ":\n";
    bool blank = false;
    bool first = true;
    romscriber::ForEachLine(body, [&](std::string_view line, int) {
      if (line.find_first_not_of(' ') == std::string_view::npos) {
        blank = !first;
        return;
      }
      if (blank) out += "\n";
      blank = first = false;
      out += "  ";
      out += line;
      out += "\n";
    });
    return out;
  }

 private:
  std::map<std::string, std::string> m_usage;
};

}  // namespace

int main(int argc, char** argv) {
  CLI::App app(
      "Buscador para traducir una ROM sin tabla ni punteros: la búsqueda relativa da los valores "
      "de las letras desde una palabra vista en pantalla, text encuentra los textos que una tabla "
      "lee y pointers las tablas de punteros que llegan a ellos, listas para un proyecto.",
      "romscriber-find");
  auto formatter = std::make_shared<FindFormatter>();
  formatter->Usage("", "romscriber-find relative|text|pointers ARGUMENTOS [OPCIONES]");
  formatter->Usage("relative", "romscriber-find relative ROM TEXT [OPCIONES]");
  formatter->Usage("text", "romscriber-find text ROM TABLE [OPCIONES]");
  formatter->Usage("pointers",
                   "romscriber-find pointers ROM (--targets ARCHIVO | --project RUTA --block "
                   "BLOQUE) [OPCIONES]");
  app.formatter(formatter);
  romscriber::SpanishHelp(app, std::string(romscriber::kVersion));
  formatter->label("SUBCOMMAND", "FORMA");
  app.require_subcommand(1);
  app.footer(
      "Estado de salida: 0 se ha encontrado algo, 1 nada o un archivo no se pudo leer, 2 una "
      "opción no es válida, 130 detenido con Ctrl+C. Los resultados van a la salida estándar; "
      "los avisos y errores, a la de errores.");

  // relative
  romscriber::RelativeOptions relative;
  std::string table;
  auto* rel = app.add_subcommand(
      "relative",
      "Búsqueda relativa: offsets donde los valores (bytes o valores de 16 bits) distan entre "
      "sí como las letras de TEXT (A-Z, a-z y 0-9, cada clase por su lado; cualquier otro "
      "carácter vale por cualquier valor). Imprime una línea por resultado: el offset y el valor "
      "de la primera letra de cada clase presente (1A2B0 A=80 a=9A).");
  rel->group("Formas");
  rel->add_option("ROM", relative.Rom, "Imagen de la ROM")->required()->type_name("RUTA");
  rel->add_option("TEXT", relative.Text, "Palabra vista en pantalla (dos letras de una clase como mínimo)")
      ->required()
      ->type_name("TEXTO");
  rel->add_option("--width", relative.Width, "Bytes por letra: 1 (por defecto) o 2")
      ->type_name("1|2");
  rel->add_option("--endian", relative.Endian,
                  "Orden de los valores de 2 bytes: little (por defecto) o big")
      ->type_name("ORDEN");
  rel->add_flag("--kana", relative.Kana,
                "Añade las 46 kana básicas en el orden gojūon, hiragana y katakana como dos "
                "clases");
  auto* tableOption =
      rel->add_option("--table", table,
                      "Escribe una tabla extendida (UTF-8) con cada letra de las clases presentes "
                      "según el resultado --hit")
          ->type_name("SALIDA");
  rel->add_option("--hit", relative.Hit, "Resultado del que sale la tabla, desde 0 (por defecto 0)")
      ->type_name("N");

  // text
  romscriber::TextOptions text;
  std::string encoding, start, end;
  auto* txt = app.add_subcommand(
      "text",
      "Textos: cadenas de al menos N entradas de la tabla sin bytes sueltos, cerradas por un "
      "token de fin. Imprime una línea por texto: offset, longitud en bytes (con el token de "
      "fin) y texto, con los saltos de línea como \\n.");
  txt->group("Formas");
  txt->add_option("ROM", text.Rom, "Imagen de la ROM")->required()->type_name("RUTA");
  txt->add_option("TABLE", text.Table, "Tabla (*.tbl)")->required()->type_name("RUTA");
  txt->add_option("--table-format", text.TableFormat,
                  "Formato de la tabla: classic (por defecto) o extended")
      ->type_name("FORMATO");
  auto* encodingOption =
      txt->add_option("--table-encoding", encoding,
                      "Tabla extendida: codificación sin marca de orden de bytes (nombre de iconv: "
                      "utf-8 por defecto, shift_jis, utf-16...)")
          ->type_name("NOMBRE");
  txt->add_option("--min-length", text.MinLength,
                  "Entradas ordinarias que ha de tener un texto (por defecto 4; los saltos de "
                  "línea y códigos de control no cuentan)")
      ->type_name("N");
  auto* startOption =
      txt->add_option("--start", start, "Primer offset del rango, en hexadecimal")->type_name("HEX");
  auto* endOption = txt->add_option("--end", end, "Último offset del rango, en hexadecimal (incluido)")
                        ->type_name("HEX");
  txt->add_flag("--targets", text.Targets,
                "Imprime solo los offsets, uno por línea: lo que lee pointers --targets");

  // pointers
  romscriber::PointerOptions pointers;
  std::string targets, project, block, map, header, base, bankSize, window;
  int size = 0;
  auto* ptr = app.add_subcommand(
      "pointers",
      "Punteros: desde los offsets donde empiezan los textos, los grupos de punteros a un paso "
      "fijo que llegan a ellos, con cada mapa, tamaño y orden (y una suma constante cuando la "
      "hace falta), los mejores primero. Imprime una línea por candidato: offset count size "
      "endian stride mapa add alcanzados/total.");
  ptr->group("Formas");
  ptr->add_option("ROM", pointers.Rom, "Imagen de la ROM")->required()->type_name("RUTA");
  auto* targetsOption =
      ptr->add_option("--targets", targets,
                      "Archivo con un offset hexadecimal por línea (el de text --targets)")
          ->type_name("ARCHIVO");
  auto* projectOption =
      ptr->add_option("--project", project,
                      "Proyecto (TOML): los textos del bloque --block, con el mapa del proyecto")
          ->type_name("RUTA");
  auto* blockOption =
      ptr->add_option("--block", block, "Bloque del proyecto que da los textos")->type_name("BLOQUE");
  auto* mapOption =
      ptr->add_option("--map", map,
                      "Prueba solo este mapa: linear, lorom, hirom o banked (sin él, linear, "
                      "lorom y hirom con y sin cabecera de 512 bytes, Game Boy y NES)")
          ->type_name("TIPO");
  auto* headerOption =
      ptr->add_option("--header", header, "Con --map: bytes de cabecera (512 copiadora, 16 iNES)")
          ->type_name("N");
  auto* baseOption =
      ptr->add_option("--base", base, "Con --map linear: dirección del primer byte tras la cabecera")
          ->type_name("N");
  auto* bankSizeOption =
      ptr->add_option("--bank-size", bankSize, "Con --map banked: tamaño del banco (0x4000)")
          ->type_name("N");
  auto* windowOption =
      ptr->add_option("--window", window, "Con --map banked: dirección donde se ve el banco (0x4000)")
          ->type_name("N");
  auto* sizeOption =
      ptr->add_option("--size", size, "Prueba solo este tamaño de puntero: 2, 3 o 4")->type_name("N");
  ptr->add_option("--top", pointers.Top, "Candidatos que se imprimen (por defecto 5)")
      ->type_name("N");
  ptr->add_flag("--toml", pointers.Toml,
                "Imprime cada candidato como un bloque [[block]] para el archivo de proyecto, con "
                "su mapa en un comentario");

  if (const auto exit = romscriber::ParseArguments(app, argc, argv)) return *exit;
  const std::atomic<bool>& stop = romscriber::StopOnInterrupt();
  const bool terminal = isatty(STDERR_FILENO) == 1;
  if (*rel) {
    if (*tableOption) relative.Table = table;
    return romscriber::RunRelative(relative, stop, std::cout, std::cerr, terminal);
  }
  if (*txt) {
    if (*encodingOption) text.TableEncoding = encoding;
    if (*startOption) text.Start = start;
    if (*endOption) text.End = end;
    return romscriber::RunTextSearch(text, stop, std::cout, std::cerr, terminal);
  }
  const auto given = [](CLI::Option* option, const std::string& value) {
    return option->count() > 0 ? std::optional<std::string>(value) : std::nullopt;
  };
  pointers.Targets = given(targetsOption, targets);
  pointers.Project = given(projectOption, project);
  pointers.Block = given(blockOption, block);
  pointers.Map = given(mapOption, map);
  pointers.Header = given(headerOption, header);
  pointers.Base = given(baseOption, base);
  pointers.BankSize = given(bankSizeOption, bankSize);
  pointers.Window = given(windowOption, window);
  if (*sizeOption) pointers.Size = size;
  return romscriber::RunPointerSearch(pointers, stop, std::cout, std::cerr, terminal);
}
