#include "insert_bench_project.h"

#include <cstdio>
#include <random>
#include <set>
#include <string>
#include <string_view>
#include <vector>

#include "base/file_io.h"
#include "sample_translation.h"
#include "session/session.h"

namespace romscriber::bench {
namespace {

constexpr std::int64_t kTextStart = 0x40000;
constexpr int kEntries = 10000;

// Letters 41-5A and 61-7A as themselves, a blank, an end token; then
// two-byte keys 80xx-A6xx for syllables of two to four letters.
struct Generated {
  std::string Table;
  std::vector<std::string> KeyOf;   // bytes of each entry
  std::vector<std::string> TextOf;  // its text
};

Generated MakeTable(std::mt19937& rng) {
  Generated g;
  g.Table = "# bench table\n/00=<fin>\n20= \n*0A\n";
  char line[64];
  const auto add = [&](const std::string& key, const std::string& text) {
    std::string hex;
    for (unsigned char c : key) {
      std::snprintf(line, sizeof line, "%02X", c);
      hex += line;
    }
    g.Table += hex + "=" + text + "\n";
    g.KeyOf.push_back(key);
    g.TextOf.push_back(text);
  };
  for (int c = 'A'; c <= 'z'; ++c)
    if (c <= 'Z' || c >= 'a') add(std::string(1, static_cast<char>(c)), std::string(1, static_cast<char>(c)));
  std::set<std::string> texts;
  while (static_cast<int>(g.KeyOf.size()) < kEntries) {
    std::string syllable;
    for (int n = std::uniform_int_distribution<int>(2, 4)(rng); n > 0; --n)
      syllable.push_back(static_cast<char>('a' + std::uniform_int_distribution<int>(0, 25)(rng)));
    if (!texts.insert(syllable).second) continue;
    const int i = static_cast<int>(g.KeyOf.size());
    add(std::string{static_cast<char>(0x80 + i / 256), static_cast<char>(i % 256)}, syllable);
  }
  return g;
}

std::uint32_t LoRomAddress(std::int64_t o) {
  return static_cast<std::uint32_t>(((o << 1) & 0x7F0000) | 0x8000 | (o & 0x7FFF));
}

}  // namespace

std::filesystem::path WriteInsertBenchProject(const std::filesystem::path& folder) {
  std::mt19937 rng(1);
  const Generated table = MakeTable(rng);
  std::vector<std::uint8_t> rom(static_cast<std::size_t>(kInsertRomSize), 0xFF);
  std::int64_t at = kTextStart;
  for (int i = 0; i < kInsertStrings; ++i) {
    const std::uint32_t address = LoRomAddress(at);
    for (int k = 0; k < 3; ++k)
      rom[static_cast<std::size_t>(kInsertPointers + 3 * i + k)] = static_cast<std::uint8_t>(address >> (8 * k));
    for (int n = std::uniform_int_distribution<int>(3, 12)(rng); n > 0; --n) {
      const std::string& key = table.KeyOf[static_cast<std::size_t>(
          std::uniform_int_distribution<int>(0, kEntries - 1)(rng))];
      for (char c : key)
        rom[static_cast<std::size_t>(at++)] = static_cast<std::uint8_t>(c);
      if (n > 1) rom[static_cast<std::size_t>(at++)] = 0x20;
    }
    rom[static_cast<std::size_t>(at++)] = 0x00;
  }
  WriteFileWhole(folder / "game.sfc", {std::string_view(reinterpret_cast<const char*>(rom.data()), rom.size())});
  WriteFileWhole(folder / "game.tbl", {table.Table});
  WriteFileWhole(folder / "game.toml",
                 {"rom = \"game.sfc\"\n[map]\nkind = \"lorom\"\n[[table]]\nname = \"t\"\nfile = "
                  "\"game.tbl\"\n[[block]]\nname = \"b\"\ntable = \"t\"\npointers = { offset = " +
                  std::to_string(kInsertPointers) + ", count = " + std::to_string(kInsertStrings) +
                  ", size = 3 }\nfree = [ { start = " + std::to_string(at + 16) + ", end = " +
                  std::to_string(kInsertRomSize - 1) + " } ]\n"});
  return folder / "game.toml";
}

void GiveOtherStringsTexts(BlockScript& script) {
  for (std::size_t i = 0; i < script.Strings.size(); ++i)
    script.Strings[i].Translation = script.Strings[(i * 7919 + 1) % script.Strings.size()].Original;
}

void WriteTranslatedScripts(const std::filesystem::path& projectFile,
                            const std::filesystem::path& scripts) {
  Session session = Session::Open(projectFile, {});
  TranslateBlocks(session, GiveOtherStringsTexts);
  std::filesystem::create_directories(scripts);
  for (const ScriptFile& file : session.ScriptFiles(ScriptFormat::kTsv))
    WriteFileWhole(scripts / file.Name, {file.Text});
}

}  // namespace romscriber::bench
