#include "bench_tables.h"

#include <algorithm>
#include <random>
#include <set>

#include "hex/hex.h"

namespace romscriber::bench {

namespace {
std::string Code(std::uint32_t value, int bytes) {
  std::string code;
  for (int i = bytes - 1; i >= 0; --i)
    AppendByteHex(code, static_cast<std::uint8_t>(value >> (8 * i)));
  return code;
}

std::string Hex(std::string_view bytes) {
  std::string code;
  for (char c : bytes)
    AppendByteHex(code, static_cast<std::uint8_t>(c));
  return code;
}

std::string Bytes(std::string_view code) {
  std::string bytes;
  for (std::size_t i = 0; i + 1 < code.size(); i += 2)
    bytes.push_back(static_cast<char>(HexDigitValue(code[i]) * 16 + HexDigitValue(code[i + 1])));
  return bytes;
}

// UTF-8 of a code point below U+10000.
std::string Utf8(std::uint32_t cp) {
  std::string s;
  if (cp < 0x80) {
    s.push_back(static_cast<char>(cp));
  } else if (cp < 0x800) {
    s.push_back(static_cast<char>(0xC0 | (cp >> 6)));
    s.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  } else {
    s.push_back(static_cast<char>(0xE0 | (cp >> 12)));
    s.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
    s.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
  }
  return s;
}
}  // namespace

Table FullTable(std::uint32_t seed) {
  std::mt19937 rng(seed);
  Table table;
  for (std::uint32_t b = 0; b < kSingleSlots; ++b) {
    table.SingleCodes[b] = Code(b, 1);
    table.SingleTexts[b] = std::string(1 + b % 2, static_cast<char>('a' + b % 26));
  }
  table.SingleTexts[0x00] = std::string(kEndText);
  table.SingleTexts[0x0A] = std::string(kLineBreakText);
  table.SingleTexts[0xFE] = std::string(kPauseText);
  for (int bytes : {2, 3}) {
    auto& codes = bytes == 2 ? table.DoubleCodes : table.TripleCodes;
    auto& texts = bytes == 2 ? table.DoubleTexts : table.TripleTexts;
    std::set<std::uint32_t> used;
    const std::uint32_t mask = bytes == 2 ? 0xFFFF : 0xFFFFFF;
    for (std::size_t row = 0; row < kMultiRows; ++row) {
      std::uint32_t value;
      do
        value = rng() & mask;
      while (!used.insert(value).second);
      codes[row] = Code(value, bytes);
      texts[row] = "<" + codes[row] + ">";
    }
  }
  return table;
}

std::string ClassicTableFile(const Table& table) {
  std::string file;
  const auto line = [&](const std::string& code, const std::string& text) {
    if (!code.empty()) file += code + "=" + text + "\r\n";
  };
  for (std::size_t b = 0; b < kSingleSlots; ++b)
    line(table.SingleCodes[b], table.SingleTexts[b]);
  for (std::size_t row = 0; row < UsedRows(table.DoubleCodes); ++row)
    line(table.DoubleCodes[row], table.DoubleTexts[row]);
  for (std::size_t row = 0; row < UsedRows(table.TripleCodes); ++row)
    line(table.TripleCodes[row], table.TripleTexts[row]);
  return file;
}

std::string RandomRom(std::size_t size, std::uint32_t seed) {
  std::mt19937 rng(seed);
  std::string rom(size, '\0');
  for (char& c : rom)
    c = static_cast<char>(rng() & 0xFF);
  return rom;
}

TextAlphabet ClassicAlphabet(const Table& table, std::uint32_t seed) {
  TextAlphabet alphabet;
  for (std::size_t b = 0; b < kSingleSlots; ++b) {
    const std::string& text = table.SingleTexts[b];
    if (text != kEndText && text != kLineBreakText && text != kPauseText)
      alphabet.Words.push_back(Bytes(table.SingleCodes[b]));
  }
  for (std::size_t row = 0; row < UsedRows(table.DoubleCodes); ++row)
    alphabet.Words.push_back(Bytes(table.DoubleCodes[row]));
  for (std::size_t row = 0; row < UsedRows(table.TripleCodes); ++row)
    alphabet.Words.push_back(Bytes(table.TripleCodes[row]));
  std::mt19937 rng(seed);
  std::shuffle(alphabet.Words.begin(), alphabet.Words.end(), rng);
  alphabet.End.assign(1, '\0');
  alphabet.LineBreak.assign(1, '\n');
  return alphabet;
}

std::string ExtendedBenchTable(TextAlphabet& alphabet, std::uint32_t seed) {
  std::mt19937 rng(seed);
  std::string file = "# Tabla de prueba: 10.000 entradas\n/00\n*0A\n";
  std::set<std::string> keys = {std::string(1, '\0'), "\n"};
  std::vector<std::string> words;
  std::vector<std::string> texts;  // of each word usable in a long key
  std::vector<std::string> controls;
  for (std::uint32_t b = 1; b <= 8; ++b) {
    const int params = 1 + static_cast<int>(b % 3);
    file += '$';
    file += Code(b, 1) + "=[ctl" + std::to_string(b) + "]," + std::to_string(params) + "\n";
    std::string word(1, static_cast<char>(b));
    for (int p = 0; p < params; ++p)
      word.push_back(static_cast<char>(0x20 + rng() % 0x5F));
    controls.push_back(word);
    keys.insert(word.substr(0, 1));
  }
  for (std::uint32_t b = 0x20; b < 0x7F; ++b) {
    const std::string key(1, static_cast<char>(b));
    file += Code(b, 1) + "=" + key + "\n";
    keys.insert(key);
    words.push_back(key);
    texts.push_back(key);
  }
  while (words.size() < 95 + 6000) {
    const std::uint32_t code = (0x80 + rng() % 0x20) << 8 | (0x40 + rng() % 0xBD);
    const std::string key = Bytes(Code(code, 2));
    if (!keys.insert(key).second) continue;
    const std::string text = Utf8(0x4E00 + static_cast<std::uint32_t>(words.size()));
    file += Code(code, 2) + "=" + text + "\n";
    words.push_back(key);
    texts.push_back(text);
  }
  const std::size_t shortWords = words.size();
  std::vector<std::string> longKeys;
  while (longKeys.size() < 10000 - 2 - controls.size() - shortWords) {
    const std::size_t target = 3 + rng() % 20;
    std::string key;
    std::string text;
    while (key.size() < target) {
      // Words and phrases are made of the common letters and characters.
      const std::size_t w = rng() % 2 ? rng() % 95 : rng() % 400;
      if (key.size() + words[w].size() > 22) break;
      key += words[w];
      text += texts[w];
    }
    if (key.size() < 3 || !keys.insert(key).second) continue;
    file += Hex(key) + "=" + text + "\n";
    longKeys.push_back(key);
  }
  alphabet.Words = words;
  alphabet.Words.insert(alphabet.Words.end(), longKeys.begin(), longKeys.end());
  alphabet.Words.insert(alphabet.Words.end(), controls.begin(), controls.end());
  std::shuffle(alphabet.Words.begin(), alphabet.Words.end(), rng);
  alphabet.End.assign(1, '\0');
  alphabet.LineBreak.assign(1, '\n');
  return file;
}

std::string GameTextRom(std::size_t size, const TextAlphabet& alphabet, std::uint32_t seed) {
  std::mt19937 rng(seed);
  std::vector<double> weights(alphabet.Words.size());
  for (std::size_t r = 0; r < weights.size(); ++r)
    weights[r] = 1.0 / static_cast<double>(r + 1);
  std::discrete_distribution<std::size_t> zipf(weights.begin(), weights.end());
  std::string rom;
  rom.reserve(size + 4096);
  while (rom.size() < size) {
    const std::size_t scriptEnd = rom.size() + 256 + rng() % (4096 - 256 + 1);
    std::size_t wordsLeft = 20 + rng() % 41;
    while (rom.size() < scriptEnd) {
      rom += alphabet.Words[zipf(rng)];
      if (--wordsLeft == 0) {
        rom += alphabet.LineBreak;
        wordsLeft = 20 + rng() % 41;
      }
    }
    rom += alphabet.End;
  }
  rom.resize(size);
  return rom;
}

}  // namespace romscriber::bench
