// Writes the sample project: a 256 KiB LoROM image of a made-up game whose
// Spanish dialogue is reached through a table of 2-byte pointers and whose
// menu texts lie one after another in a range, the game's table in the
// extended dialect, and the project file that ties them together.
//
//   romscriber_make_project FOLDER   writes FOLDER/juego.sfc, juego.tbl, juego.toml
//
// The encoding is made up: letters are ASCII minus 0x20, Spanish letters and
// punctuation sit in 6A-81, E0xx and E1xxxx are common words and a name,
// FAxx are speaker tags with a line break, F0 nn sets the colour, FE breaks a
// line and FF ends a string. Each text below is written as the dumper shows
// it (without the closing <fin>) and encoded through the same entries that
// make the table, longest text first, so the expected dumps can be read
// against this file.
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <stdexcept>
#include <string>
#include <vector>

namespace {

enum class Kind { kEntry, kEnd, kLineBreak, kControl };

struct Entry {
  std::string Key;   // the key's bytes
  std::string Text;  // as the dumper shows it; a line break is '\n'
  Kind What = Kind::kEntry;
  const char* Comment = nullptr;  // a comment line written before the entry
};

std::vector<Entry> Entries() {
  std::vector<Entry> entries;
  entries.push_back({"\x20", " ", Kind::kEntry, "# Letters: ASCII minus 0x20."});
  for (char c = 'A'; c <= 'Z'; ++c)
    entries.push_back({std::string(1, static_cast<char>(c - 0x20)), std::string(1, c)});
  for (char c = 'a'; c <= 'z'; ++c)
    entries.push_back({std::string(1, static_cast<char>(c - 0x20)), std::string(1, c)});
  for (char c = '0'; c <= '9'; ++c)
    entries.push_back({std::string(1, static_cast<char>(0x60 + c - '0')), std::string(1, c)});
  const char* const marks[] = {".", ",", "!", "?", "¡", "¿", ":", "-", "'", "á", "é", "í",
                               "ó", "ú", "ñ", "ü", "Á", "É", "Í", "Ó", "Ú", "Ñ", "«", "»"};
  for (std::size_t i = 0; i < std::size(marks); ++i) {
    entries.push_back({std::string(1, static_cast<char>(0x6A + i)), marks[i], Kind::kEntry,
                       i == 0 ? "; Punctuation and Spanish letters." : nullptr});
  }
  const char* const words[] = {"princesa", "castillo", "espada",   "aldea",
                               "reino",    "dragón",   "caballero"};
  for (std::size_t i = 0; i < std::size(words); ++i) {
    entries.push_back(
        {std::string("\xE0") + static_cast<char>(1 + i), words[i], Kind::kEntry,
         i == 0 ? "// Common words take two bytes, the princess's name three." : nullptr});
  }
  entries.push_back({std::string("\xE1\x00\x01", 3), "Leonor"});
  const char* const speakers[] = {"Rey:\n", "Leonor:\n", "Guardia:\n", "Anciana:\n"};
  for (std::size_t i = 0; i < std::size(speakers); ++i) {
    entries.push_back(
        {std::string("\xFA") + static_cast<char>(1 + i), speakers[i], Kind::kEntry,
         i == 0 ? "# Who speaks, on a line of its own (\\n is a line break)." : nullptr});
  }
  entries.push_back({"\xF0", "[color]", Kind::kControl,
                     "# The colour code takes one parameter byte; FE breaks a line, FF ends a "
                     "string."});
  entries.push_back({"\xFE", "<br>\n", Kind::kLineBreak});
  entries.push_back({"\xFF", "<fin>", Kind::kEnd});
  return entries;
}

std::string HexKey(const std::string& key) {
  std::string hex;
  for (const char c : key) {
    char two[3];
    std::snprintf(two, sizeof two, "%02X", static_cast<unsigned char>(c));
    hex += two;
  }
  return hex;
}

// The table file: UTF-8, LF line ends, comments of all three kinds.
std::string TableText(const std::vector<Entry>& entries) {
  std::string text =
      "# Table of the sample game (made-up encoding), in the extended dialect.\n"
      "# UTF-8, LF line ends; the longest key that matches wins.\n";
  for (const Entry& e : entries) {
    if (e.Comment) text += std::string("\n") + e.Comment + "\n";
    switch (e.What) {
      case Kind::kEntry: {
        std::string shown = e.Text;
        if (!shown.empty() && shown.back() == '\n')
          shown = shown.substr(0, shown.size() - 1) + "\\n";
        text += HexKey(e.Key) + "=" + shown + "\n";
        break;
      }
      case Kind::kControl:
        text += "$" + HexKey(e.Key) + "=" + e.Text + ",1\n";
        break;
      case Kind::kLineBreak:
        text += "*" + HexKey(e.Key) + "=<br>\n";
        break;
      case Kind::kEnd:
        text += "/" + HexKey(e.Key) + "=" + e.Text + "\n";
        break;
    }
  }
  return text;
}

// Encodes a text written as the dumper shows it: at each place the longest
// entry text that matches; "<$HH>" is a raw byte (the colour's parameter).
std::string Encode(const std::vector<Entry>& entries, const std::string& text) {
  std::string bytes;
  std::size_t at = 0;
  while (at < text.size()) {
    if (text.compare(at, 2, "<$") == 0 && at + 5 <= text.size() && text[at + 4] == '>') {
      bytes += static_cast<char>(std::stoi(text.substr(at + 2, 2), nullptr, 16));
      at += 5;
      continue;
    }
    const Entry* best = nullptr;
    for (const Entry& e : entries) {
      if (e.What != Kind::kEnd && text.compare(at, e.Text.size(), e.Text) == 0 &&
          (!best || e.Text.size() > best->Text.size()))
        best = &e;
    }
    if (!best) throw std::runtime_error("no entry for: " + text.substr(at));
    bytes += best->Key;
    at += best->Text.size();
  }
  return bytes + "\xFF";
}

// The dialogue, in the order the strings lie in the ROM.
const char* const kDialogue[] = {
    "Rey:\nBienvenido al castillo, joven caballero.",
    "Rey:\nEl dragón se ha llevado a la princesa<br>\nLeonor. ¡Tráela de vuelta!",
    "Gracias.",
    "¿Qué?",
    "Guardia:\nNadie entra sin permiso del rey.",
    "Guardia:\nAh, eres tú. Adelante.",
    "Anciana:\nLa espada del reino duerme<br>\nbajo la aldea.",
    "Anciana:\nSi buscas al dragón, sube<br>\nal monte del norte.",
    "Has encontrado la [color]<$02>espada de plata[color]<$00>.",
    "Has encontrado una [color]<$03>llave vieja[color]<$00>.",
    "La puerta está cerrada con llave.",
    "El cofre está vacío.",
    "No puedes llevar más objetos.",
    "¿Quieres descansar en la posada<br>\npor 20 monedas?",
    "Has descansado. Te sientes mejor.",
    "No tienes suficientes monedas.",
    "¡Bienvenido a la aldea de Robledo!",
    "El pozo de la aldea está seco<br>\ndesde hace años.",
    "Dicen que el caballero Álvaro<br>\nnunca volvió del norte.",
    "Mi hijo quiere ser caballero<br>\ncomo tú.",
    "Leonor:\n¡Por fin! Sabía que vendrías.",
    "Leonor:\nEl dragón duerme al fondo<br>\nde la cueva. No hagas ruido.",
    "Leonor:\nMi padre estará preocupado.",
    "El dragón abre un ojo...",
    "¡El dragón despierta!",
    "El dragón ha sido derrotado.",
    "Has ganado 500 monedas.",
    "Has subido al nivel 12.",
    "Te quedan pocos puntos de vida.",
    "Has caído en combate...",
    "¿Continuar desde la última posada?",
    "Rey:\n¡Has salvado a la princesa!<br>\nEl reino te lo agradece.",
    "Rey:\nToma esta [color]<$02>corona de oro[color]<$00>.",
    "Guardia:\nEl puente del sur se ha hundido.",
    "Guardia:\nDe noche cerramos las puertas<br>\ndel castillo.",
    "Anciana:\nEn mis tiempos no había dragones.",
    "El herrero puede afilar tu espada<br>\npor 50 monedas.",
    "¡Tu espada brilla como nueva!",
    "Este libro habla de un reino<br>\nbajo el mar.",
    "Es un barril lleno de manzanas.",
    "Alguien ha escrito «Álvaro estuvo<br>\naquí» en la pared.",
    "El viento sopla con fuerza.",
    "Oyes pasos detrás de ti.",
    "Una sombra cruza el camino.",
    "El río baja muy crecido.",
    "Necesitas una barca para cruzar.",
    "El barquero te lleva a la otra<br>\norilla.",
    "Leonor:\n¿Vamos a casa?",
    "Sí, vamos.",
    "Todavía no.",
    "Leonor:\nTe esperaré aquí.",
    "Ñandú: un ave que no vuela.<br>\nNo sabes qué hace en este reino.",
    "FIN",
};

// The menus, one after another in the range block; an empty one (a lone end
// token) gives no string.
const char* const kMenus[] = {"Objetos", "Magia", "Equipo", "Estado", "Configuración",       "",
                              "Guardar", "Salir", "Sí",     "No",     "¿Guardar la partida?"};

constexpr std::size_t kRomSize = 0x40000;       // 256 KiB, eight LoROM banks
constexpr std::size_t kPointerTable = 0x18000;  // bank 03, CPU address 03:8000
constexpr std::size_t kFreeStart = 0x1C000;     // the rest of bank 03 is free
constexpr std::size_t kFreeEnd = 0x1FFFF;
constexpr std::size_t kMenusStart = 0x20000;  // bank 04

// Which string each pointer reaches, by index into kDialogue; -1 is a null
// pointer (address 03:0000, below the LoROM window: outside the image).
std::vector<int> PointerTargets() {
  std::vector<int> targets;
  const int strings = static_cast<int>(std::size(kDialogue));
  for (int i = 0; i < strings; ++i) {
    targets.push_back(i);
    if (i == 12) targets.push_back(2);   // "Gracias." again
    if (i == 29) targets.push_back(-1);  // an unused slot
    if (i == 37) targets.push_back(2);   // and again
    if (i == 44) targets.push_back(3);   // "¿Qué?" again
  }
  return targets;
}

void Put16(std::string& rom, std::size_t at, unsigned value) {
  rom[at] = static_cast<char>(value & 0xFF);
  rom[at + 1] = static_cast<char>(value >> 8 & 0xFF);
}

// A LoROM file offset's address within its bank.
unsigned LoRomPlace(std::size_t offset) {
  return 0x8000 | (offset & 0x7FFF);
}

struct Made {
  std::string Rom;
  std::size_t MenusEnd = 0;  // last byte of the menus' range
  std::size_t PointerCount = 0;
};

Made Rom(const std::vector<Entry>& entries) {
  Made made;
  std::string& rom = made.Rom;
  rom.assign(kRomSize, '\xFF');
  // Bank 00: a reset routine (SEI; CLC; XCE; then a loop on itself) and the
  // cartridge header at 7FC0, which emulators read.
  const std::string code = "\x78\x18\xFB\x80\xFE";
  rom.replace(0, code.size(), code);
  const std::string title = "ROMSCRIBER JUEGO     ";  // 21 characters
  rom.replace(0x7FC0, title.size(), title);
  rom[0x7FD5] = '\x20';  // LoROM, slow
  rom[0x7FD6] = '\x00';  // ROM only
  rom[0x7FD7] = '\x08';  // 256 KiB
  rom[0x7FD8] = '\x00';  // no SRAM
  rom[0x7FD9] = '\x08';  // Spain
  rom[0x7FDA] = '\x00';
  rom[0x7FDB] = '\x00';        // version 1.0
  Put16(rom, 0x7FFC, 0x8000);  // reset vector

  const std::vector<int> targets = PointerTargets();
  made.PointerCount = targets.size();
  std::size_t at = kPointerTable + 2 * targets.size();
  std::vector<std::size_t> placed;
  for (const char* text : kDialogue) {
    const std::string bytes = Encode(entries, text);
    rom.replace(at, bytes.size(), bytes);
    placed.push_back(at);
    at += bytes.size();
  }
  if (at > kFreeStart) throw std::runtime_error("the dialogue runs into the free region");
  for (std::size_t i = 0; i < targets.size(); ++i)
    Put16(rom, kPointerTable + 2 * i, targets[i] < 0 ? 0 : LoRomPlace(placed[targets[i]]));
  // The free region is zeroed, as a translator clearing room would leave it.
  rom.replace(kFreeStart, kFreeEnd - kFreeStart + 1, kFreeEnd - kFreeStart + 1, '\0');

  at = kMenusStart;
  for (const char* text : kMenus) {
    const std::string bytes = Encode(entries, text);
    rom.replace(at, bytes.size(), bytes);
    at += bytes.size();
  }
  made.MenusEnd = at - 1;

  // Checksum over the whole image, with the complement and checksum fields
  // counted as FFFF and 0000 (they then add up to the same sum).
  Put16(rom, 0x7FDC, 0xFFFF);
  Put16(rom, 0x7FDE, 0x0000);
  unsigned sum = 0;
  for (const char c : rom)
    sum += static_cast<unsigned char>(c);
  sum &= 0xFFFF;
  Put16(rom, 0x7FDC, sum ^ 0xFFFF);
  Put16(rom, 0x7FDE, sum);
  return made;
}

std::string Hex(std::size_t value) {
  char text[16];
  std::snprintf(text, sizeof text, "0x%zX", value);
  return text;
}

std::string ProjectText(const Made& made) {
  return "# The sample project: a 256 KiB LoROM game whose dialogue is reached\n"
         "# through a pointer table and whose menus lie in one range.\n"
         "rom = \"juego.sfc\"\n"
         "\n"
         "[map]\n"
         "kind = \"lorom\"\n"
         "\n"
         "[[table]]\n"
         "name = \"juego\"\n"
         "file = \"juego.tbl\"\n"
         "format = \"extended\"\n"
         "\n"
         "# 2-byte pointers in bank 03, the bank of the table itself.\n"
         "[[block]]\n"
         "name = \"dialogo\"\n"
         "table = \"juego\"\n"
         "pointers = { offset = " +
         Hex(kPointerTable) + ", count = " + std::to_string(made.PointerCount) +
         ", size = 2, endian = \"little\" }\n"
         "until = \"end\"\n"
         "free = [ { start = " +
         Hex(kFreeStart) + ", end = " + Hex(kFreeEnd) +
         " } ]\n"
         "\n"
         "[[block]]\n"
         "name = \"menus\"\n"
         "table = \"juego\"\n"
         "range = { start = " +
         Hex(kMenusStart) + ", end = " + Hex(made.MenusEnd) + " }\n";
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "Uso: %s CARPETA\n", argv[0]);
    return 2;
  }
  const std::filesystem::path folder = argv[1];
  const std::vector<Entry> entries = Entries();
  const Made made = Rom(entries);
  std::ofstream(folder / "juego.sfc", std::ios::binary) << made.Rom;
  std::ofstream(folder / "juego.tbl", std::ios::binary) << TableText(entries);
  std::ofstream(folder / "juego.toml", std::ios::binary) << ProjectText(made);
  return 0;
}
