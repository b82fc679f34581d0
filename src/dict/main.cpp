// romscriber-dict --project FILE [--scripts DIR] --table NAME --codes 80-BF [--max-length N]
//                 [--block B]... [--out FILE] [--data FILE] [--pad HH]
#include <CLI/CLI.hpp>

#include <unistd.h>
#include <iostream>

#include "cli/cli.h"
#include "dict/dict.h"
#include "version.h"

int main(int argc, char** argv) {
  CLI::App app(
      "Diccionario (DTE/MTE) para una tabla del proyecto: elige la entrada de cada código de "
      "--codes, un trozo de texto de 2 a --max-length letras de la tabla (sus entradas de un "
      "byte), para que los textos traducidos de los bloques ocupen los menos bytes con la "
      "codificación del insertor. Cuentan los textos que una inserción codifica: las "
      "traducciones que cambian su original. Ninguna entrada cruza un salto de línea, un código "
      "de control, un byte suelto o un token de fin; no se usa un código con el que empieza una "
      "entrada de la tabla, ni uno que esté suelto en los textos. Escribe las entradas como "
      "líneas de tabla extendida (80=e ) y, con --data, el diccionario que lee la rutina del "
      "juego: una casilla de --max-length bytes por código, del primero al último de --codes, con "
      "los bytes de la entrada en la tabla y el resto --pad. Cada texto se codifica con la tabla "
      "ampliada y se lee de vuelta antes de escribir nada. Imprime los bytes antes y después, por "
      "bloque y en total.",
      "romscriber-dict");
  romscriber::SpanishHelp(app, std::string(romscriber::kVersion),
                          "Uso: romscriber-dict --project RUTA --table NOMBRE --codes HH-HH [OPCIONES]\n");
  app.footer(
      "Sin --out, las líneas de tabla van a la salida estándar y el resumen a la de errores. "
      "Estado de salida: 0 hecho, 1 un archivo no se pudo leer o escribir o ningún texto cuenta, 2 "
      "una opción no es válida o falta, 130 detenido con Ctrl+C (no se escribe nada).");

  romscriber::DictOptions options;
  std::string project, scripts, out, data;
  app.add_option("--project", project, "Proyecto (TOML)")->required()->type_name("RUTA");
  auto* scriptsOption =
      app.add_option("--scripts", scripts,
                     "Carpeta de los guiones traducidos (por defecto, la carpeta scripts del proyecto)")
          ->type_name("CARPETA");
  app.add_option("--table", options.Table, "Tabla del proyecto que se amplía (su nombre, name)")
      ->required()
      ->type_name("NOMBRE");
  app.add_option("--codes", options.Codes,
                 "Códigos del diccionario en hexadecimal: un rango (80-BF) o una lista de códigos y "
                 "rangos separados por comas (80-8F,A0)")
      ->required()
      ->type_name("HH-HH");
  app.add_option("--max-length", options.MaxLength,
                 "Letras de la tabla (entradas de un byte) que da una entrada como mucho, de 2 a 16 "
                 "(por defecto 2: DTE); también los bytes de cada casilla de --data")
      ->type_name("N");
  app.add_option("--block", options.Blocks,
                 "Bloque cuyos textos cuentan; se repite para varios (por defecto, todos los que usan "
                 "la tabla)")
      ->type_name("BLOQUE");
  auto* outOption =
      app.add_option("--out", out, "Escribe las entradas como líneas de tabla extendida en este archivo")
          ->type_name("ARCHIVO");
  auto* dataOption =
      app.add_option("--data", data, "Escribe el diccionario que lee el juego en este archivo")
          ->type_name("ARCHIVO");
  app.add_option("--pad", options.Pad,
                 "Byte que llena la casilla de una entrada más corta, en hexadecimal (por defecto 00)")
      ->type_name("HH");
  if (const auto exit = romscriber::ParseArguments(app, argc, argv)) return *exit;
  options.Project = project;
  if (*scriptsOption) options.Scripts = scripts;
  if (*outOption) options.Out = out;
  if (*dataOption) options.Data = data;
  const std::atomic<bool>& stop = romscriber::StopOnInterrupt();
  return romscriber::RunDict(options, stop, std::cout, std::cerr, isatty(STDERR_FILENO) == 1);
}
