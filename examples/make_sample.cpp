// Writes the sample ROM and its table: a small ROM-like file with a bank of
// Spanish dialogue in a made-up one-byte encoding, with two- and three-byte
// entries for common words and names, line breaks, a pause, control codes
// that have no table entry, and a block indicator before each text.
//
//   romscriber_make_sample FOLDER    writes FOLDER/sample.rom, FOLDER/sample.tbl
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

namespace {

// The encoding: ASCII letters, digits, blank and punctuation as themselves;
// Spanish letters in 80-87; 00 ends a text, 0A breaks a line, FE pauses;
// FF starts a block; E0 xx are words, F1 F5 xx names.
const char* const kTable =
    "00=/\r\n"  // written as an entry: its text "/" makes it an end entry
    "*0A\r\n"
    "FE=&\r\n"
    "\r\n"
    "20= \r\n21=!\r\n2C=,\r\n2E=.\r\n3A=:\r\n3F=?\r\n"
    "80=\xC3\xA1\r\n81=\xC3\xA9\r\n82=\xC3\xAD\r\n83=\xC3\xB3\r\n84=\xC3\xBA\r\n"
    "85=\xC3\xB1\r\n86=\xC2\xBF\r\n87=\xC2\xA1\r\n"
    "E001=castillo\r\n"
    "E002=princesa\r\n"
    "E003=espada\r\n"
    "F1F500=<H\xC3\xA9roe>\r\n"
    "F1F501=<Rey>\r\n";

std::string Letters() {
  std::string lines;
  for (char c = '0'; c <= '9'; ++c)
    lines += std::string(1, c) + "=" + c + "\r\n";
  for (char c = 'A'; c <= 'Z'; ++c) {
    char code[3];
    std::snprintf(code, sizeof code, "%02X", static_cast<unsigned char>(c));
    lines += std::string(code) + "=" + c + "\r\n";
  }
  for (char c = 'a'; c <= 'z'; ++c) {
    char code[3];
    std::snprintf(code, sizeof code, "%02X", static_cast<unsigned char>(c));
    lines += std::string(code) + "=" + c + "\r\n";
  }
  return lines;
}

std::string Rom() {
  std::string rom = "ROMSCRIBER-SAMPL";  // a 16-byte header
  rom += std::string(16, '\x00');
  // The text bank starts at 20 (hex).
  using namespace std::string_literals;  // keeps the NUL bytes in the texts
  const std::vector<std::string> texts = {
      // Bienvenido al castillo. / La princesa te espera. (pause) ¿Estás listo?
      "\xFF"
      "Bienvenido al \xE0\x01.\x0A"
      "La \xE0\x02 te espera.\xFE\x86"
      "Est\x80s listo?\x00"s,
      // Soy <Héroe>, y busco la espada.
      "\xFF"
      "Soy \xF1\xF5\x00, y busco la \xE0\x03.\x00"s,
      // A control code (9C 03) the table does not know, then: ¡Cofre vacío!
      "\xFF\x9C\x03\x87"
      "Cofre vac\x82o!\x00"s,
      // <Rey>: ¡Ganaste! / Fin.
      "\xFF\xF1\xF5\x01: \x87"
      "Ganaste!\x0A"
      "Fin.\x00"s,
  };
  for (const std::string& t : texts)
    rom += t;
  rom += std::string(8, '\xEA');  // filler that belongs to no text
  return rom;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "Uso: %s CARPETA\n", argv[0]);
    return 2;
  }
  const std::filesystem::path folder = argv[1];
  std::ofstream(folder / "sample.rom", std::ios::binary) << Rom();
  std::ofstream(folder / "sample.tbl", std::ios::binary) << kTable << Letters();
  return 0;
}
