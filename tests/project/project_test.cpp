#include "project/project.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

#include "base/app_error.h"
#include "extract/temp_folder.h"

namespace romscriber::testing {
namespace {

// Writes `text` as proyecto.toml in a fresh folder and loads it.
class ProjectFile {
 public:
  explicit ProjectFile(const std::string& text) : m_file(m_folder.Path() / "proyecto.toml") {
    WriteBytes(m_file, text);
  }
  Project Load() const { return LoadProject(m_file); }
  // The message of the refusal, without the file name before ":LINE:".
  std::string Refusal() const {
    try {
      LoadProject(m_file);
    } catch (const AppError& e) {
      EXPECT_EQ(e.Number(), kErrBadInput);
      const std::string prefix = m_file.string() + ":";
      EXPECT_EQ(e.Description().substr(0, prefix.size()), prefix);
      return e.Description().substr(prefix.size());
    }
    return "(accepted)";
  }
  const std::filesystem::path& Folder() const { return m_folder.Path(); }

 private:
  TempFolder m_folder;
  std::filesystem::path m_file;
};

constexpr const char* kFull = R"(rom = "roms/game.sfc"
scripts = "traduccion"
format = "po"
[map]
kind = "lorom"
header = 512
fast = true

[[table]]
name = "main"
file = "game.tbl"
format = "extended"
encoding = "shift_jis"

[[table]]
name = "old"
file = "/abs/old.tbl"
format = "classic"
widths = "anchos.txt"
default_width = 8

[[block]]
name = "dialogue_1-a"
table = "main"
pointers = { offset = 0x1F000, count = 512, size = 2, endian = "big", stride = 3, add = -16, bank = 0x03 }
until = "next"
max_length = 200
free = [ { start = 0x3F000, end = 0x3FFFF }, { start = 16, end = 16 } ]

[[block]]
name = "menus"
table = "old"
range = { start = 0x2A000, end = 0x2A7FF }
line_limit = 28
max_lines = 3

[output]
rom = "game-es.sfc"
bps = "out/game-es.bps"
emulator = "mgba-qt"
)";

TEST(LoadProject, FullProjectGivesEveryValue) {
  const ProjectFile file(kFull);
  const Project p = file.Load();
  EXPECT_EQ(p.Rom, file.Folder() / "roms/game.sfc");
  EXPECT_EQ(p.Map.Kind, MapKind::kLoRom);
  EXPECT_EQ(p.Map.Header, 512);
  EXPECT_TRUE(p.Map.Fast);
  ASSERT_EQ(p.Tables.size(), 2u);
  EXPECT_EQ(p.Tables[0].File, file.Folder() / "game.tbl");
  EXPECT_EQ(p.Tables[0].Encoding, "shift_jis");
  EXPECT_EQ(p.Tables[1].File, "/abs/old.tbl");  // absolute paths stay as written
  EXPECT_EQ(p.Tables[1].Format, TableFormat::kClassic);
  EXPECT_EQ(p.FindTable("old"), &p.Tables[1]);
  EXPECT_EQ(p.FindTable("none"), nullptr);
  ASSERT_EQ(p.Blocks.size(), 2u);
  const ProjectBlock& d = p.Blocks[0];
  EXPECT_EQ(d.Name, "dialogue_1-a");
  EXPECT_EQ(d.Place.Line, 22);
  EXPECT_EQ(PlaceText(p, d.PointersPlace), file.Folder().string() + "/proyecto.toml:25:12");
  ASSERT_TRUE(d.Pointers && !d.Range);
  EXPECT_EQ(d.Pointers->Offset, 0x1F000);
  EXPECT_EQ(d.Pointers->Count, 512);
  EXPECT_EQ(d.Pointers->Order, Endian::kBig);
  EXPECT_EQ(d.Pointers->Stride, 3);
  EXPECT_EQ(d.Pointers->Add, -16);
  EXPECT_EQ(d.Pointers->Bank, 3);
  EXPECT_EQ(d.StringEnd, Until::kNext);
  EXPECT_EQ(d.MaxLength, 200);
  ASSERT_EQ(d.Free.size(), 2u);
  EXPECT_EQ(d.Free[0].End, 0x3FFFF);
  EXPECT_EQ(d.Free[1].Place.Column, 46);
  const ProjectBlock& m = p.Blocks[1];
  ASSERT_TRUE(m.Range && !m.Pointers);
  EXPECT_EQ(m.Range->Start, 0x2A000);
  EXPECT_EQ(m.Range->End, 0x2A7FF);
  EXPECT_EQ(m.LineLimit, 28);
  EXPECT_EQ(m.MaxLines, 3);
  EXPECT_FALSE(d.LineLimit || d.MaxLines);
  // The keys of the whole loop: scripts, their format, what an insertion writes.
  EXPECT_EQ(p.Scripts, file.Folder() / "traduccion");
  EXPECT_EQ(p.Format, ScriptFormat::kPo);
  EXPECT_EQ(p.Output.Rom, file.Folder() / "game-es.sfc");
  EXPECT_FALSE(p.Output.Ips);
  EXPECT_EQ(p.Output.Bps, file.Folder() / "out/game-es.bps");
  EXPECT_EQ(p.Output.Emulator, "mgba-qt");  // a program name, found in PATH
  EXPECT_FALSE(p.Tables[0].Widths || p.Tables[0].DefaultWidth);
  EXPECT_EQ(p.Tables[1].Widths, file.Folder() / "anchos.txt");
  EXPECT_EQ(p.Tables[1].DefaultWidth, 8);
}

TEST(LoadProject, DefaultsApply) {
  // No [map], no format, encoding, endian, stride, add, bank, until, max_length or free.
  const ProjectFile file(
      "rom = 'g.gb'\n[[table]]\nname = 't'\nfile = 't.tbl'\n"
      "[[block]]\nname = 'b'\ntable = 't'\npointers = { offset = 0, count = 1, size = 3 }\n");
  const Project p = file.Load();
  const MapSettings defaults;
  EXPECT_EQ(p.Map.Kind, defaults.Kind);
  EXPECT_EQ(p.Map.Header, 0);
  EXPECT_EQ(p.Map.BankSize, 0x4000);
  EXPECT_EQ(p.Tables[0].Format, TableFormat::kExtended);
  EXPECT_EQ(p.Tables[0].Encoding, "");
  const ProjectBlock& b = p.Blocks[0];
  EXPECT_EQ(b.Pointers->Order, Endian::kLittle);
  EXPECT_EQ(b.Pointers->Stride, 3);
  EXPECT_EQ(b.Pointers->Add, 0);
  EXPECT_FALSE(b.Pointers->Bank);
  EXPECT_EQ(b.StringEnd, Until::kEnd);
  EXPECT_EQ(b.MaxLength, 4096);
  EXPECT_TRUE(b.Free.empty());
  EXPECT_FALSE(p.Scripts || p.Format || p.Output.Rom || p.Output.Ips || p.Output.Bps ||
               p.Output.Emulator || b.LineLimit || b.MaxLines);
}

TEST(LoadProject, FileErrorsAreTheFileHelpers) {
  TempFolder folder;
  try {
    LoadProject(folder.Path() / "missing.toml");
    FAIL();
  } catch (const AppError& e) {
    EXPECT_EQ(e.Number(), kErrFileNotFound);
  }
}

TEST(LoadProject, RefusalsNamePlaceAndExpectation) {
  const std::string head = "rom = 'g'\n[[table]]\nname = 't'\nfile = 'f'\n[[block]]\n";  // 5 lines
  const std::string ptrs = "pointers = { offset = 0, count = 1, size = 2 }\n";
  const std::string block = "name = 'b'\ntable = 't'\n" + ptrs;
  const struct {
    std::string Text, Message;
  } cases[] = {
      // A TOML syntax error: the parser's place.
      {"rom = 'g'\nx = [1,\n", "2:9: sintaxis TOML no válida"},
      // The first unknown key in file order, at the key.
      {head + "name = 'b'\ntabel = 't'\naa = 1\n" + ptrs,
       "7:1: clave desconocida \"tabel\" en [[block]]; se esperaba una de: name, table, "
       "pointers, range, until, max_length, free, line_limit, max_lines"},
      {"rom = 'g'\nformat = 'xml'\n",
       "2:10: \"format\" en el nivel superior vale \"xml\"; se esperaba \"tsv\", \"po\" o "
       "\"atlas\""},
      {"rom = 'g'\nscripts = 3\n",
       "2:11: \"scripts\" en el nivel superior es un número entero; se esperaba una cadena con "
       "la carpeta de los guiones"},
      {"rom = 'g'\n[output]\nrom = 'x'\nips = 'y'\npatch = 'z'\n",
       "5:1: clave desconocida \"patch\" en [output]; se esperaba una de: rom, ips, bps, "
       "emulator"},
      // [output] never names the original ROM, also written another way.
      {"rom = 'g'\n[output]\nips = './g'\n",
       "3:7: \"ips\" en [output] es la ROM original del proyecto, que nunca se cambia; se "
       "esperaba otro nombre para la salida"},
      {"rom = 'g'\n[[table]]\nname = 't'\nfile = 'f'\ndefault_width = -1\n",
       "5:17: \"default_width\" en [[table]] vale -1; se esperaba un número entero mayor o "
       "igual que 0"},
      {head + block + "line_limit = 0\n",
       "9:14: \"line_limit\" en [[block]] vale 0; se esperaba un número entero mayor que 0"},
      {head + block + "max_lines = 2000000\n",
       "9:13: \"max_lines\" en [[block]] vale 2000000; se esperaba un número entero hasta "
       "1000000"},
      // A missing key: at the table that lacks it.
      {head + "name = 'b'\n" + ptrs,
       "5:1: falta la clave \"table\" en [[block]]; se esperaba table = una cadena con el "
       "nombre de una [[table]]"},
      // A wrong type: at the value.
      {head + block + "max_length = '9'\n",
       "9:14: \"max_length\" en [[block]] es una cadena; se esperaba un número entero mayor "
       "que 0"},
      {"rom = 'g'\n[map]\nkind = 'snes'\n",
       "3:8: \"kind\" en [map] vale \"snes\"; se esperaba \"linear\", \"lorom\", \"hirom\" o "
       "\"banked\""},
      {"rom = 'g'\n[map]\nbase = 1\nkind = 'hirom'\n",
       "3:8: \"base\" en [map] solo vale con kind = \"linear\"; se esperaba quitarla o poner "
       "kind = \"linear\""},
      {head + "name = 'b'\ntable = 't'\npointers = { offset = 0, count = 1, size = 5 }\n",
       "8:44: \"size\" en pointers de [[block]] vale 5; se esperaba 2, 3 o 4"},
      {head + "name = 'b'\ntable = 't'\npointers = { offset = 0, count = -1, size = 2 }\n",
       "8:34: \"count\" en pointers de [[block]] vale -1; se esperaba un número entero mayor "
       "que 0"},
      {head + "name = 'b'\ntable = 't'\npointers = { offset = 0, count = 1, size = 3, bank = 1 }\n",
       "8:54: \"bank\" en pointers de [[block]] solo vale con size = 2; se esperaba quitarla o "
       "poner size = 2"},
      {head + "name = 'b'\ntable = 't'\nrange = { start = 0x20, end = 0x1F }\n",
       "8:31: \"end\" en range de [[block]] vale 0x1F, menos que start (0x20); se esperaba un "
       "final mayor o igual que el inicio"},
      {head + "name = 'b'\ntable = 't'\n",
       "5:1: al bloque \"b\" le falta pointers o range; se esperaba pointers = una tabla { "
       "offset = ..., count = ..., size = ... } o range = una tabla { start = ..., end = ... }"},
      {head + "name = 'a b'\n",
       "6:8: \"name\" en [[block]] vale \"a b\"; se esperaba una cadena de letras, dígitos, "
       "'-' y '_'"},
      {head + block + "[[block]]\n" + block,
       "10:8: \"name\" en [[block]] repite el bloque \"b\" de la línea 5; se esperaba un "
       "nombre distinto para cada bloque"},
      {"rom = 'g'\n[[table]]\nname = 't'\nfile = 'f'\n[[table]]\nname = 't'\nfile = 'g'\n",
       "6:8: \"name\" en [[table]] repite la tabla \"t\" de la línea 2; se esperaba un nombre "
       "distinto para cada tabla"},
      {"rom = 'g'\n[[table]]\nname = 't'\nfile = 'f'\nformat = 'classic'\nencoding = 'x'\n",
       "6:12: \"encoding\" en [[table]] no vale con format = \"classic\"; se esperaba quitarla o "
       "poner format = \"extended\""},
      // A block naming an unknown table, even one whose [[table]] comes later.
      {head + "name = 'b'\ntable = 'u'\n" + ptrs,
       "7:9: el bloque \"b\" nombra la tabla \"u\", que no está en el proyecto; se esperaba "
       "una de: t"},
  };
  for (const auto& c : cases) {
    const std::string refusal = ProjectFile(c.Text).Refusal();
    EXPECT_EQ(refusal.substr(0, c.Message.size()), c.Message) << c.Text;
  }
}

TEST(CheckProjectAgainstRom, EverythingInsideTheFileAndFreeRegionsApart) {
  // A 0x100-byte ROM; each case adds one block line 5 to a base project.
  const std::string head = "rom = 'g'\n[[table]]\nname = 't'\nfile = 'f'\n[[block]]\n";
  const auto check = [&](const std::string& blocks) -> std::string {
    const ProjectFile file(head + blocks);
    const Project p = file.Load();
    try {
      CheckProjectAgainstRom(p, 0x100);
    } catch (const AppError& e) {
      return e.Description().substr(p.File.string().size() + 1);
    }
    return "ok";
  };
  const std::string b = "name = 'b'\ntable = 't'\n";
  // The last pointer's last byte is the file's last byte: inside.
  EXPECT_EQ(check(b + "pointers = { offset = 0xF1, count = 4, size = 3, stride = 4 }\n"), "ok");
  EXPECT_EQ(check(b + "pointers = { offset = 0xF1, count = 4, size = 4, stride = 4 }\n"),
            "8:12: la tabla de punteros del bloque \"b\" (0xF1 a 0x100) se sale de la ROM, que "
            "tiene 0x100 bytes; se esperaba que acabase como mucho en 0xFF");
  // A count whose table end overflows 64 bits is outside, not wrapped round.
  EXPECT_NE(check(b + "pointers = { offset = 0, count = 0x7FFFFFFFFFFFFFFF, size = 4 }\n"), "ok");
  EXPECT_EQ(check(b + "range = { start = 0, end = 0xFF }\nfree = [{ start = 0, end = 0xFF }]\n"),
            "ok");
  const std::string tail =
      " se sale de la ROM, que tiene 0x100 bytes; se esperaba que acabase "
      "como mucho en 0xFF";
  EXPECT_EQ(check(b + "range = { start = 0x10, end = 0x100 }\n"),
            "8:9: el rango del bloque \"b\" (0x10 a 0x100)" + tail);
  EXPECT_EQ(check(b + "range = { start = 0, end = 1 }\nfree = [{ start = 0, end = 0x100 }]\n"),
            "9:9: la zona libre del bloque \"b\" (0x0 a 0x100)" + tail);
  // Free regions that touch are fine; sharing one byte, across blocks, is refused where the
  // later one is written.
  const std::string two =
      b + "range = { start = 0, end = 1 }\nfree = [{ start = 0x10, end = 0x1F }]\n" +
      "[[block]]\nname = 'c'\ntable = 't'\nrange = { start = 0, end = 1 }\n";
  EXPECT_EQ(check(two + "free = [{ start = 0x20, end = 0x30 }, { start = 0, end = 0xF }]\n"), "ok");
  EXPECT_EQ(check(two + "free = [{ start = 0x40, end = 0x50 }, { start = 0, end = 0x10 }]\n"),
            "14:39: la zona libre del bloque \"c\" (0x0 a 0x10) se solapa con la del bloque \"b\" "
            "(0x10 a 0x1F, línea 9); se esperaban zonas libres sin bytes en común");
}

// --- Random projects: written as TOML, loaded back -------------------------

// A project built at random together with its text, one key per line.
struct Generated {
  Project Expected;
  std::vector<std::string> Lines;
  // Lines holding a scalar value: index, column of the value, whether it is a string.
  struct Scalar {
    std::size_t Line;
    int Column;
    bool IsString;
  };
  std::vector<Scalar> Scalars;
  std::vector<std::size_t> Headers;  // lines of [map], [[table]] and [[block]]
};

class Generator {
 public:
  explicit Generator(unsigned seed) : m_random(seed) {}

  Generated Make(const std::filesystem::path& folder) {
    m_out = Generated();
    Project& p = m_out.Expected;
    p.Rom = folder / "rom.bin";
    Scalar("rom", "\"rom.bin\"", true);
    if (Chance()) {
      Header("[map]");
      MapSettings& m = p.Map;
      const char* kinds[] = {"linear", "lorom", "hirom", "banked"};
      m.Kind = static_cast<MapKind>(Below(4));
      Section keys;
      keys.push_back({"kind", Q(kinds[static_cast<int>(m.Kind)]), true});
      if (Chance()) keys.push_back({"header", Int(m.Header = Below(1024)), false});
      if (m.Kind == MapKind::kLinear && Chance())
        keys.push_back({"base", Int(m.Base = Below(0x100000)), false});
      if (m.Kind == MapKind::kBanked && Chance())
        keys.push_back({"bank_size", Int(m.BankSize = 1 + Below(0x8000)), false});
      if (m.Kind == MapKind::kBanked && Chance())
        keys.push_back({"window", Int(m.Window = Below(0x10000)), false});
      if (m.Kind == MapKind::kLoRom && Chance())
        keys.push_back({"fast", (m.Fast = Chance()) ? "true" : "false", false});
      Emit(keys);
    }
    const int tables = 1 + Below(3);
    for (int i = 0; i < tables; ++i) {
      Header("[[table]]");
      ProjectTable t;
      t.Name = "t" + std::to_string(i);
      t.File = folder / ("tbl/" + t.Name + ".tbl");
      Section keys = {{"name", Q(t.Name), true}, {"file", Q("tbl/" + t.Name + ".tbl"), true}};
      const int format = Below(3);  // absent, extended, classic
      if (format > 0) keys.push_back({"format", format == 1 ? "'extended'" : "'classic'", true});
      if (format == 2) t.Format = TableFormat::kClassic;
      if (format < 2 && Chance()) keys.push_back({"encoding", Q(t.Encoding = "cp932"), true});
      Emit(keys);
      p.Tables.push_back(t);
    }
    const int blocks = Below(4);
    for (int i = 0; i < blocks; ++i)
      p.Blocks.push_back(Block(i, tables));
    return m_out;
  }

 private:
  struct Key {
    std::string Name, Value;
    bool IsString;
  };
  using Section = std::vector<Key>;

  int Below(int n) { return std::uniform_int_distribution<int>(0, n - 1)(m_random); }
  bool Chance() { return Below(2) == 0; }
  static std::string Q(const std::string& s) { return "\"" + s + "\""; }
  std::string Int(std::int64_t v) {
    char hex[32];
    std::snprintf(hex, sizeof hex, "0x%llX", static_cast<long long>(v));
    return v >= 0 && Chance() ? hex : std::to_string(v);
  }
  std::string RegionText(Region& r) {
    r.Start = Below(0x40000);
    r.End = r.Start + Below(0x1000);
    return "{ start = " + Int(r.Start) + ", end = " + Int(r.End) + " }";
  }

  void Header(const std::string& text) {
    m_out.Headers.push_back(m_out.Lines.size());
    m_out.Lines.push_back(text);
  }
  void Scalar(const std::string& key, const std::string& value, bool isString) {
    m_out.Scalars.push_back({m_out.Lines.size(), static_cast<int>(key.size()) + 4, isString});
    m_out.Lines.push_back(key + " = " + value);
  }
  // The section's keys in random order; inline tables are not scalars.
  void Emit(Section keys) {
    std::shuffle(keys.begin(), keys.end(), m_random);
    for (const Key& k : keys) {
      if (k.Value[0] == '{' || k.Value[0] == '[')
        m_out.Lines.push_back(k.Name + " = " + k.Value);
      else
        Scalar(k.Name, k.Value, k.IsString);
    }
  }

  ProjectBlock Block(int index, int tables) {
    ProjectBlock b;
    b.Place = {static_cast<int>(m_out.Lines.size()) + 1, 1};
    Header("[[block]]");
    const std::string chars = "abcXYZ019-_";
    for (int n = 1 + Below(6); n > 0; --n)
      b.Name += chars[Below(chars.size())];
    b.Name += std::to_string(index);  // unique
    b.Table = "t" + std::to_string(Below(tables));
    Section keys = {{"name", Q(b.Name), true}, {"table", Q(b.Table), true}};
    if (Chance()) {
      PointerFormat f;
      f.Offset = Below(0x40000);
      f.Count = 1 + Below(1000);
      f.Size = 2 + Below(3);
      f.Stride = f.Size;
      std::string text =
          "{ offset = " + Int(f.Offset) + ", count = " + Int(f.Count) + ", size = " + Int(f.Size);
      if (Chance()) {
        f.Order = Chance() ? Endian::kBig : Endian::kLittle;
        text += f.Order == Endian::kBig ? ", endian = 'big'" : ", endian = 'little'";
      }
      if (Chance()) text += ", stride = " + Int(f.Stride = f.Size + Below(8));
      if (Chance()) text += ", add = " + std::to_string(f.Add = Below(0x20000) - 0x10000);
      if (f.Size == 2 && Chance()) text += ", bank = " + Int(*(f.Bank = Below(256)));
      keys.push_back({"pointers", text + " }", false});
      b.Pointers = f;
    } else {
      b.Range.emplace();
      keys.push_back({"range", RegionText(*b.Range), false});
    }
    if (Chance()) keys.push_back({"until", Q(Chance() ? "next" : "end"), true});
    if (keys.back().Name == "until" && keys.back().Value == Q("next")) b.StringEnd = Until::kNext;
    if (Chance()) keys.push_back({"max_length", Int(b.MaxLength = 1 + Below(9000)), false});
    if (Chance()) {
      std::string text = "[";
      for (int n = Below(3); n > 0; --n) {
        b.Free.emplace_back();
        text += (b.Free.size() > 1 ? ", " : " ") + RegionText(b.Free.back());
      }
      keys.push_back({"free", text + " ]", false});
    }
    Emit(keys);
    return b;
  }

  std::mt19937 m_random;
  Generated m_out;
};

void ExpectSame(const Project& got, const Project& want) {
  EXPECT_EQ(got.Rom, want.Rom);
  EXPECT_EQ(got.Map.Kind, want.Map.Kind);
  EXPECT_EQ(got.Map.Header, want.Map.Header);
  EXPECT_EQ(got.Map.Base, want.Map.Base);
  EXPECT_EQ(got.Map.BankSize, want.Map.BankSize);
  EXPECT_EQ(got.Map.Window, want.Map.Window);
  EXPECT_EQ(got.Map.Fast, want.Map.Fast);
  ASSERT_EQ(got.Tables.size(), want.Tables.size());
  for (std::size_t i = 0; i < got.Tables.size(); ++i) {
    EXPECT_EQ(got.Tables[i].Name, want.Tables[i].Name);
    EXPECT_EQ(got.Tables[i].File, want.Tables[i].File);
    EXPECT_EQ(got.Tables[i].Format, want.Tables[i].Format);
    EXPECT_EQ(got.Tables[i].Encoding, want.Tables[i].Encoding);
  }
  ASSERT_EQ(got.Blocks.size(), want.Blocks.size());
  for (std::size_t i = 0; i < got.Blocks.size(); ++i) {
    const ProjectBlock& g = got.Blocks[i];
    const ProjectBlock& w = want.Blocks[i];
    EXPECT_EQ(g.Name, w.Name);
    EXPECT_EQ(g.Table, w.Table);
    EXPECT_EQ(g.Place.Line, w.Place.Line);
    ASSERT_EQ(g.Pointers.has_value(), w.Pointers.has_value());
    if (g.Pointers) {
      const PointerFormat& a = *g.Pointers;
      const PointerFormat& b = *w.Pointers;
      EXPECT_EQ(std::tie(a.Offset, a.Count, a.Size, a.Order, a.Stride, a.Add, a.Bank),
                std::tie(b.Offset, b.Count, b.Size, b.Order, b.Stride, b.Add, b.Bank));
    } else {
      EXPECT_EQ(std::pair(g.Range->Start, g.Range->End), std::pair(w.Range->Start, w.Range->End));
    }
    EXPECT_EQ(g.StringEnd, w.StringEnd);
    EXPECT_EQ(g.MaxLength, w.MaxLength);
    ASSERT_EQ(g.Free.size(), w.Free.size());
    for (std::size_t k = 0; k < g.Free.size(); ++k) {
      EXPECT_EQ(std::pair(g.Free[k].Start, g.Free[k].End),
                std::pair(w.Free[k].Start, w.Free[k].End));
    }
  }
}

std::string Joined(const std::vector<std::string>& lines) {
  std::string text;
  for (const std::string& line : lines)
    text += line + "\n";
  return text;
}

TEST(LoadProject, RandomProjectsLoadAsWrittenAndErrorsNameTheirLine) {
  TempFolder folder;
  for (unsigned seed = 1; seed <= 150; ++seed) {
    SCOPED_TRACE("seed " + std::to_string(seed));
    // A new file each time: rewriting one over and over waits for the disk.
    std::filesystem::path file = folder.Path() / ("p" + std::to_string(seed) + ".toml");
    Generator generator(seed);
    std::mt19937 random(seed);
    const Generated g = generator.Make(folder.Path());
    WriteBytes(file, Joined(g.Lines));
    ExpectSame(LoadProject(file), g.Expected);

    // An unknown key right after a section header, or a scalar of the wrong type.
    std::vector<std::string> lines = g.Lines;
    int line = 0, column = 1;
    if (!g.Headers.empty() && random() % 2 == 0) {
      const std::size_t at = g.Headers[random() % g.Headers.size()] + 1;
      lines.insert(lines.begin() + at, "unknown_key = 1");
      line = static_cast<int>(at) + 1;
    } else {
      const auto& s = g.Scalars[random() % g.Scalars.size()];
      lines[s.Line] = lines[s.Line].substr(0, s.Column - 1) + (s.IsString ? "1" : "'x'");
      line = static_cast<int>(s.Line) + 1;
      column = s.Column;
    }
    file.replace_extension(".bad.toml");
    WriteBytes(file, Joined(lines));
    try {
      LoadProject(file);
      ADD_FAILURE() << Joined(lines);
    } catch (const AppError& e) {
      const std::string place =
          file.string() + ":" + std::to_string(line) + ":" + std::to_string(column) + ": ";
      EXPECT_EQ(e.Description().substr(0, place.size()), place) << Joined(lines);
    }
  }
}

}  // namespace
}  // namespace romscriber::testing
