// romscriber-find run as a process on the sample project in
// examples/project/: from a word seen on screen to a table, from a table to
// the strings, from the strings to the pointer table, and the candidate's
// [[block]] pasted into a project and dumped; its refusals and exit codes.
#include <gtest/gtest.h>

#include <algorithm>
#include <sstream>
#include <string>
#include <vector>

#include "extract/temp_folder.h"
#include "process.h"

namespace romscriber::testing {
namespace {

namespace fs = std::filesystem;

const std::string kFind = ROMSCRIBER_FIND_PROGRAM;
const std::string kDump = ROMSCRIBER_DUMP_PROGRAM;
const fs::path kExamples = ROMSCRIBER_EXAMPLES;
const fs::path kProject = kExamples / "project";
const std::string kRom = (kProject / "juego.sfc").string();
const std::string kTable = (kProject / "juego.tbl").string();

std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> out;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) out.push_back(line);
  return out;
}

class FindProgramTest : public ::testing::Test {
 protected:
  ProcessResult Find(const std::vector<std::string>& args) {
    return RunProgram(kFind, args, m_dir.Path());
  }
  fs::path Path(const std::string& name) const { return m_dir.Path() / name; }

  TempFolder m_dir;
};

// --- relative ---------------------------------------------------------------

TEST_F(FindProgramTest, RelativeFindsAWordOfTheSampleAndWritesItsLetters) {
  auto r = Find({"relative", kRom, "Bienvenido"});
  EXPECT_EQ(r.ExitCode, 0) << r.Err;
  // "Rey:\nBienvenido al castillo" and "¡Bienvenido a la aldea": letters are
  // ASCII minus 0x20 in the sample's encoding.
  EXPECT_EQ(r.Out, "18074 A=21 a=41\n1826D A=21 a=41\n");
  EXPECT_EQ(r.Err, "");

  r = Find({"relative", kRom, "Bienvenido", "--table", "letras.tbl", "--hit", "1"});
  EXPECT_EQ(r.ExitCode, 0) << r.Err;
  EXPECT_EQ(r.Err, "Tabla escrita en letras.tbl: 52 entradas, del resultado 1 (1826D).\n");
  const auto table = Lines(ReadBytes(Path("letras.tbl")));
  ASSERT_EQ(table.size(), 53u);
  EXPECT_EQ(table[0], "# Búsqueda relativa de «Bienvenido» en 1826D, 1 byte por letra.");
  // Lower case first: the word confirms it with nine letters, B alone.
  EXPECT_EQ(table[1], "41=a");
  EXPECT_EQ(table[26], "5A=z");
  EXPECT_EQ(table[27], "21=A");
  EXPECT_EQ(table[52], "3A=Z");

  // The same word as 2-byte values finds nothing in this game.
  r = Find({"relative", kRom, "Bienvenido", "--width", "2", "--endian", "big"});
  EXPECT_EQ(r.ExitCode, 1);
  EXPECT_EQ(r.Out, "");
  EXPECT_NE(r.Err.find("No se ha encontrado «Bienvenido»"), std::string::npos) << r.Err;
  EXPECT_FALSE(fs::exists(Path("nada.tbl")));
}

TEST_F(FindProgramTest, RelativeRefusesWordsThatWouldMatchEverywhereAndBadOptions) {
  struct Case {
    std::vector<std::string> Args;
    std::string Says;
  };
  for (const Case& c : std::vector<Case>{
           {{"relative", kRom, "Ab"}, "no tiene dos letras de una misma clase"},
           {{"relative", kRom, "あい"}, "use --kana"},
           {{"relative", kRom, "abc", "--width", "3"}, "El ancho debe ser 1 o 2"},
           {{"relative", kRom, "abc", "--endian", "middle"}, "little o big"},
           {{"relative", kRom, "Bienvenido", "--table", "t.tbl", "--hit", "2"},
            "--hit 2: solo hay 2 resultados"},
           {{"relative", kRom}, "Argumentos no válidos"},
           {{}, "Argumentos no válidos"},
       }) {
    const auto r = Find(c.Args);
    EXPECT_EQ(r.ExitCode, 2) << c.Says;
    EXPECT_NE(r.Err.find(c.Says), std::string::npos) << r.Err;
  }
  EXPECT_FALSE(fs::exists(Path("t.tbl")));
  const auto r = Find({"relative", "no-such.sfc", "abc"});
  EXPECT_EQ(r.ExitCode, 1);
  EXPECT_NE(r.Err.find("no-such.sfc"), std::string::npos) << r.Err;
}

TEST_F(FindProgramTest, RelativeNeverWritesItsTableOverTheRom) {
  fs::copy_file(kRom, Path("juego.sfc"));
  const std::string rom = ReadBytes(Path("juego.sfc"));
  for (const std::string& out : std::vector<std::string>{"juego.sfc", "./juego.sfc",
                                                         (m_dir.Path() / "juego.sfc").string()}) {
    const auto r = Find({"relative", "juego.sfc", "Bienvenido", "--table", out});
    EXPECT_EQ(r.ExitCode, 2) << out;
    EXPECT_EQ(r.Err,
              "Error: " + out + " es la ROM, que no se cambia; elija otro nombre para la tabla.\n");
    EXPECT_EQ(r.Out, "");
  }
  EXPECT_EQ(ReadBytes(Path("juego.sfc")), rom);
}

// --- text ------------------------------------------------------------------

TEST_F(FindProgramTest, TextFindsTheSampleStrings) {
  auto r = Find({"text", kRom, kTable, "--table-format", "extended", "--start", "18000", "--end",
                 "1BFFF"});
  EXPECT_EQ(r.ExitCode, 0) << r.Err;
  auto lines = Lines(r.Out);
  // 53 strings, "FIN" among them with three letters: short of the default four.
  ASSERT_EQ(lines.size(), 52u);
  EXPECT_EQ(lines[0], "18072 30 Rey:\\nBienvenido al castillo, joven caballero.<fin>");
  EXPECT_EQ(lines[8], "1815F 35 Has encontrado la [color]<$02>espada de plata[color]<$00>.<fin>");
  EXPECT_EQ(lines[13],
            "181FB 48 ¿Quieres descansar en la posada<br>\\npor 20 monedas?<fin>");

  r = Find({"text", kRom, kTable, "--table-format", "extended", "--start", "0x18000", "--end",
            "1BFFF", "--min-length", "3", "--targets"});
  EXPECT_EQ(r.ExitCode, 0) << r.Err;
  lines = Lines(r.Out);
  ASSERT_EQ(lines.size(), 53u);
  EXPECT_EQ(lines.front(), "18072");
  EXPECT_EQ(lines.back(), "186EC");  // "FIN", the last string

  // A classic table, its end entry shown as its bytes.
  r = Find({"text", (kExamples / "sample.rom").string(), (kExamples / "sample.tbl").string()});
  EXPECT_EQ(r.ExitCode, 0) << r.Err;
  lines = Lines(r.Out);
  ASSERT_FALSE(lines.empty());
  EXPECT_EQ(lines[2], "53 24 Soy <Héroe>, y busco la espada.<$00>");

  // What the table's reader passes over is a warning, marked as the other
  // programs mark theirs.
  WriteBytes(Path("aviso.tbl"), "hola\n" + ReadBytes(kTable));
  r = Find({"text", kRom, "aviso.tbl", "--table-format", "extended", "--start", "18000", "--end",
            "1BFFF", "--targets"});
  EXPECT_EQ(r.ExitCode, 0) << r.Err;
  EXPECT_EQ(r.Err.rfind("Aviso: aviso.tbl, línea 1: no es una entrada de tabla", 0), 0u) << r.Err;
}

TEST_F(FindProgramTest, TextRefusesBadOptionsAndSaysWhenNothingIsFound) {
  struct Case {
    std::vector<std::string> Args;
    int Exit;
    std::string Says;
  };
  for (const Case& c : std::vector<Case>{
           {{"text", kRom, kTable, "--table-encoding", "utf-8"}, 2, "--table-encoding solo vale"},
           {{"text", kRom, kTable, "--table-format", "extended", "--table-encoding", "klingon"},
            2, "Codificación desconocida: klingon"},
           {{"text", kRom, kTable, "--table-format", "xml"}, 2, "classic o extended"},
           {{"text", kRom, kTable, "--start", "G0"}, 2, "El offset inicial debe ser hexadecimal"},
           {{"text", kRom, kTable, "--end", "40000"}, 2, "se sale de la ROM"},
           {{"text", kRom, kTable, "--start", "20", "--end", "10"}, 2, "menor que el inicial"},
           {{"text", kRom, kTable, "--min-length", "0"}, 2, "--min-length debe ser 1 o más"},
           {{"text", kRom, "no-such.tbl"}, 1, "no-such.tbl"},
           {{"text", kRom, kTable, "--table-format", "extended", "--min-length", "1000"}, 1,
            "No se ha encontrado ningún texto de 1000 entradas o más"},
           {{"text", kRom, kTable, "--table-format", "extended", "--start", "1C000", "--end",
             "1FFFF"},
            1, "entre 1C000 y 1FFFF"},
       }) {
    const auto r = Find(c.Args);
    EXPECT_EQ(r.ExitCode, c.Exit) << c.Says << "\n" << r.Err;
    EXPECT_NE(r.Err.find(c.Says), std::string::npos) << r.Err;
  }
}

// --- pointers ----------------------------------------------------------------

TEST_F(FindProgramTest, PointersFindTheSampleTableFromItsStringsAndTheStanzaDumps) {
  // The strings of the whole ROM, found through the game's table.
  auto r = Find({"text", kRom, kTable, "--table-format", "extended", "--min-length", "3",
                 "--targets"});
  ASSERT_EQ(r.ExitCode, 0) << r.Err;
  WriteBytes(Path("textos.txt"), r.Out);
  const auto total = std::to_string(Lines(r.Out).size());

  r = Find({"pointers", kRom, "--targets", "textos.txt"});
  EXPECT_EQ(r.ExitCode, 0) << r.Err;
  auto lines = Lines(r.Out);
  ASSERT_EQ(lines.size(), 5u);
  EXPECT_EQ(lines[0], "18000 57 2 little 2 lorom 0 53/" + total);

  r = Find({"pointers", kRom, "--targets", "textos.txt", "--top", "1", "--toml"});
  EXPECT_EQ(r.ExitCode, 0) << r.Err;
  EXPECT_EQ(r.Out,
            "# [map] kind = \"lorom\"\n"
            "[[block]]\n"
            "name = \"punteros_18000\"\n"
            "table = \"main\"\n"
            "pointers = { offset = 0x18000, count = 57, size = 2, endian = \"little\", stride = 2, "
            "add = 0 }\n");

  // Pasted into a new project whose [map] is the one the comment names, it
  // dumps the sample's dialogue.
  fs::copy_file(kRom, Path("juego.sfc"));
  fs::copy_file(kTable, Path("juego.tbl"));
  WriteBytes(Path("nuevo.toml"), "rom = \"juego.sfc\"\n[map]\nkind = \"lorom\"\n\n[[table]]\n"
                                 "name = \"main\"\nfile = \"juego.tbl\"\n\n" + r.Out);
  const auto dump = RunProgram(kDump, {"--project", "nuevo.toml", "--format", "tsv", "--out", "tsv"},
                               m_dir.Path());
  ASSERT_EQ(dump.ExitCode, 0) << dump.Err;
  EXPECT_EQ(ReadBytes(Path("tsv") / "punteros_18000.tsv"),
            ReadBytes(kProject / "expected" / "tsv" / "dialogo.tsv"));
}

TEST_F(FindProgramTest, PointersTakeTheStringsOfAProjectBlock) {
  fs::copy_file(kRom, Path("juego.sfc"));
  fs::copy_file(kTable, Path("juego.tbl"));
  // The sample project with a second table, and a range block through it
  // over the dialogue's strings.
  WriteBytes(Path("p.toml"), ReadBytes(kProject / "juego.toml") +
                                 "\n[[table]]\nname = \"otra\"\nfile = \"juego.tbl\"\n"
                                 "format = \"extended\"\n"
                                 "\n[[block]]\nname = \"textos\"\ntable = \"otra\"\n"
                                 "range = { start = 0x18072, end = 0x1BFFF }\n");
  auto r = Find({"pointers", kRom, "--project", "p.toml", "--block", "textos", "--top", "3"});
  EXPECT_EQ(r.ExitCode, 0) << r.Err;
  const auto lines = Lines(r.Out);
  ASSERT_EQ(lines.size(), 3u);
  EXPECT_EQ(lines[0], "18000 57 2 little 2 lorom 0 53/53");
  for (const std::string& line : lines)  // the project's map alone is tried
    EXPECT_NE(line.find(" lorom "), std::string::npos) << line;
  r = Find({"pointers", kRom, "--project", "p.toml", "--block", "textos", "--top", "1", "--toml"});
  // The block's own table, not the project's first.
  EXPECT_NE(r.Out.find("table = \"otra\"\n"), std::string::npos) << r.Out;

  // The same search named by hand.
  r = Find({"pointers", kRom, "--project", "p.toml", "--block", "nada"});
  EXPECT_EQ(r.ExitCode, 2);
  EXPECT_NE(r.Err.find("no tiene el bloque «nada»; sus bloques son: dialogo, menus, textos"),
            std::string::npos)
      << r.Err;
}

TEST_F(FindProgramTest, PointersWithOneMapAndSize) {
  WriteBytes(Path("t.txt"), "18072\n18090\n180C6\n");
  auto r = Find({"pointers", kRom, "--targets", "t.txt", "--map", "banked", "--bank-size",
                 "0x4000", "--window", "16384", "--size", "2", "--top", "1"});
  EXPECT_EQ(r.ExitCode, 0) << r.Err;
  EXPECT_EQ(r.Out, "18000 3 2 little 2 banked(4000,4000) -4000 3/3\n");
  r = Find({"pointers", kRom, "--targets", "t.txt", "--map", "lorom", "--header", "512",
            "--size", "3"});
  EXPECT_EQ(r.ExitCode, 1);
  EXPECT_NE(r.Err.find("Ningún grupo de punteros alcanza dos de los 3 textos"), std::string::npos)
      << r.Err;
}

TEST_F(FindProgramTest, PointersRefuseBadOptionsAndBadTargets) {
  WriteBytes(Path("t.txt"), "18072\n18090\n");
  WriteBytes(Path("bad.txt"), "18072\nhola\n");
  WriteBytes(Path("far.txt"), "18072\n50000\n");
  WriteBytes(Path("p.toml"), ReadBytes(kProject / "juego.toml"));
  struct Case {
    std::vector<std::string> Args;
    int Exit;
    std::string Says;
  };
  for (const Case& c : std::vector<Case>{
           {{"pointers", kRom}, 2, "--targets ARCHIVO o --project"},
           {{"pointers", kRom, "--targets", "t.txt", "--project", "p.toml", "--block", "menus"},
            2, "--targets ARCHIVO o --project"},
           {{"pointers", kRom, "--project", "p.toml"}, 2, "--project y --block van juntos"},
           {{"pointers", kRom, "--project", "p.toml", "--block", "menus", "--map", "lorom"}, 2,
            "vale el mapa del proyecto"},
           {{"pointers", kRom, "--targets", "t.txt", "--header", "512"}, 2, "van con --map"},
           {{"pointers", kRom, "--targets", "t.txt", "--map", "snes"}, 2,
            "linear, lorom, hirom o banked"},
           {{"pointers", kRom, "--targets", "t.txt", "--map", "lorom", "--base", "0x8000"}, 2,
            "--base solo vale con --map linear"},
           {{"pointers", kRom, "--targets", "t.txt", "--map", "banked", "--window", "0xC001"}, 2,
            "no cabe en 16 bits"},
           {{"pointers", kRom, "--targets", "t.txt", "--map", "linear", "--header", "doce"}, 2,
            "--header debe ser un número"},
           {{"pointers", kRom, "--targets", "t.txt", "--size", "5"}, 2, "2, 3 o 4"},
           {{"pointers", kRom, "--targets", "t.txt", "--top", "0"}, 2, "--top debe ser 1 o más"},
           {{"pointers", kRom, "--targets", "bad.txt"}, 1, "bad.txt:2: se esperaba un offset"},
           {{"pointers", kRom, "--targets", "far.txt"}, 1, "el offset 50000 se sale de la ROM"},
           {{"pointers", kRom, "--targets", "no-such.txt"}, 1, "no-such.txt"},
       }) {
    const auto r = Find(c.Args);
    EXPECT_EQ(r.ExitCode, c.Exit) << c.Says << "\n" << r.Err;
    EXPECT_NE(r.Err.find(c.Says), std::string::npos) << r.Err;
    EXPECT_EQ(r.Out, "") << c.Says;
  }
}

TEST_F(FindProgramTest, CtrlCStopsASearchWithExit130) {
  // 32 MiB to search through: the stop comes once the ROM has been read.
  const std::string rom(32 << 20, '\0');
  WriteBytes(Path("grande.rom"), rom);
  WriteBytes(Path("t.txt"), "1000\n2000\n");
  Process p(kFind, {"pointers", "grande.rom", "--targets", "t.txt"}, m_dir.Path());
  ASSERT_TRUE(WaitFor([&] { return p.BytesRead() >= static_cast<long long>(rom.size()); }));
  p.Signal(SIGINT);
  const auto r = p.Wait();
  EXPECT_EQ(r.ExitCode, 130);
  EXPECT_EQ(r.Err, "Búsqueda detenida.\n");
}

TEST_F(FindProgramTest, HelpShowsEveryFormInSpanish) {
  const auto r = Find({"--help"});
  EXPECT_EQ(r.ExitCode, 0);
  // Each form headed by its usage line, with its arguments and options.
  for (const char* text :
       {"Uso: romscriber-find relative|text|pointers ARGUMENTOS [OPCIONES]\n", "\nFormas:\n",
        "\nromscriber-find relative ROM TEXT [OPCIONES]:\n  Búsqueda relativa:",
        "\nromscriber-find text ROM TABLE [OPCIONES]:\n  Textos:",
        "\nromscriber-find pointers ROM (--targets ARCHIVO | --project RUTA --block BLOQUE) "
        "[OPCIONES]:\n  Punteros:",
        "    --min-length N", "    --bank-size N", "    --kana",
        "Estado de salida: 0 se ha encontrado algo"}) {
    EXPECT_NE(r.Out.find(text), std::string::npos) << text;
  }
  const auto sub = Find({"pointers", "--help"});
  EXPECT_EQ(sub.ExitCode, 0);
  EXPECT_EQ(sub.Out.rfind("Punteros:", 0), 0u) << sub.Out;
  EXPECT_NE(sub.Out.find("\nUso: romscriber-find pointers ROM (--targets ARCHIVO"), std::string::npos)
      << sub.Out;
}

}  // namespace
}  // namespace romscriber::testing
