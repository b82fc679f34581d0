// Tables and texts for the dictionary tests: random tables in the extended
// dialect's model (one-byte letters, two-byte words, a line break, an end
// token, a control code with parameters, raw bytes), and texts through them
// that read like dialogue: words of a vocabulary at Zipf frequencies,
// sentences, speaker lines, line breaks, control codes, raw bytes.
#pragma once

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "hex/hex.h"
#include "table/compiled.h"
#include "table/entries.h"

namespace romscriber::testing {

struct TableShape {
  // No key begins another, and raw bytes in the texts begin no key: the
  // shortest paths are then exactly the encoder's bytes.
  bool PrefixFree = true;
  int Letters = 40;  // one-byte letters (at most the alphabet's size)
  int Words = 12;    // two-byte entries for common words
};

struct Corpus {
  EntryList List;
  std::vector<std::string> Texts;
  std::vector<std::uint8_t> RawBytes;  // bytes the texts hold raw
};

// Characters of the letters, some of them two bytes of UTF-8.
inline std::vector<std::string> Alphabet() {
  std::vector<std::string> out;
  for (char c = 'a'; c <= 'z'; ++c)
    out.emplace_back(1, c);
  for (const char* s : {" ", ".", ",", "!", "?", "'", "A", "E", "L", "R", "T", "é", "ñ", "ó", "¡"})
    out.emplace_back(s);
  return out;
}

// A random table and `count` texts through it of about `length` bytes each.
inline Corpus RandomCorpus(std::mt19937& rng, const TableShape& shape, std::size_t count,
                           std::size_t length) {
  Corpus c;
  std::vector<std::uint8_t> bytes(256);
  for (std::size_t b = 0; b < 256; ++b)
    bytes[b] = static_cast<std::uint8_t>(b);
  std::shuffle(bytes.begin(), bytes.end(), rng);
  std::size_t next = 0;
  const auto take = [&] { return bytes[next++]; };
  const auto add = [&](std::string key, std::string text, EntryKind kind, int params = 0) {
    Entry e;
    e.Key = std::move(key);
    e.Text = std::move(text);
    e.Kind = kind;
    e.Params = params;
    c.List.Entries.push_back(std::move(e));
  };

  // Letters: the space and a-e always (texts are made of them), then others.
  std::vector<std::string> alphabet = Alphabet();
  std::vector<std::string> letters = {" ", "a", "e", "o", "s", "t", "n", "r", "."};
  std::shuffle(alphabet.begin(), alphabet.end(), rng);
  for (const std::string& l : alphabet)
    if (static_cast<int>(letters.size()) < shape.Letters &&
        std::find(letters.begin(), letters.end(), l) == letters.end())
      letters.push_back(l);
  std::vector<std::uint8_t> oneByte;
  for (const std::string& l : letters) {
    oneByte.push_back(take());
    add(std::string(1, static_cast<char>(oneByte.back())), l, EntryKind::kText);
  }
  // A letter written twice: the first key wins among equal texts.
  add(std::string(1, static_cast<char>(take())), letters[1], EntryKind::kText);
  add(std::string(1, static_cast<char>(take())), "", EntryKind::kLineBreak);  // "\n"
  const std::uint8_t end = take();
  add(std::string(1, static_cast<char>(end)), "<end>", EntryKind::kEnd);
  add(std::string(1, static_cast<char>(take())), "[c]", EntryKind::kControl, 1);

  // Words of the vocabulary, and speaker names with their line break.
  std::vector<std::string> vocabulary;
  std::set<std::string> seen;
  while (vocabulary.size() < 300) {
    std::string w;
    for (int n = std::uniform_int_distribution<int>(1, 7)(rng); n > 0; --n) {
      std::string l;
      do {
        l = letters[std::uniform_int_distribution<std::size_t>(1, letters.size() - 1)(rng)];
      } while (l == "." || l == " ");
      w += l;
    }
    if (seen.insert(w).second) vocabulary.push_back(w);
  }
  const std::uint8_t lead = take();
  const std::uint8_t otherLead = shape.PrefixFree ? take() : oneByte[2];
  for (int k = 0; k < shape.Words; ++k) {
    const std::string& w = vocabulary[static_cast<std::size_t>(k)];
    if (w.size() < 2) continue;
    add(std::string{static_cast<char>(k % 2 ? lead : otherLead), static_cast<char>(k + 1)}, w,
        EntryKind::kText);
  }
  add(std::string{static_cast<char>(lead), static_cast<char>(0x80)}, "Rey:\n", EntryKind::kText);
  if (!shape.PrefixFree) {
    // Keys that begin others, and a longer key over a letter.
    add(std::string{static_cast<char>(oneByte[1]), static_cast<char>(oneByte[2])}, "ZZ",
        EntryKind::kText);
    add(std::string{static_cast<char>(lead), static_cast<char>(0x81), static_cast<char>(0x82)},
        vocabulary[40], EntryKind::kText);
  }
  // Bytes free for raw tokens: no key begins with them.
  for (int k = 0; k < 4; ++k)
    c.RawBytes.push_back(take());
  if (!shape.PrefixFree) c.RawBytes.push_back(lead);  // a raw byte that begins keys

  // Texts: Zipf-weighted words in sentences.
  std::vector<double> weights;
  for (std::size_t k = 0; k < vocabulary.size(); ++k)
    weights.push_back(1.0 / static_cast<double>(k + 1));
  std::discrete_distribution<std::size_t> word(weights.begin(), weights.end());
  std::uniform_int_distribution<int> percent(0, 99);
  for (std::size_t t = 0; t < count; ++t) {
    std::string text;
    if (percent(rng) < 20) text += "Rey:\n";
    while (text.size() < length) {
      const std::string& w = vocabulary[word(rng)];
      text += w;
      const int r = percent(rng);
      if (r < 8) {
        text += ". ";
      } else if (r < 11) {
        text += "\n";
      } else if (r < 13) {
        text += "[c]<$";
        AppendByteHex(text, static_cast<std::uint8_t>(rng()));
        text += ">";
      } else if (r < 15) {
        text += "<$";
        AppendByteHex(text, c.RawBytes[static_cast<std::size_t>(rng() % c.RawBytes.size())]);
        text += ">";
      } else {
        text += " ";
      }
    }
    if (percent(rng) < 70) text += "<end>";
    c.Texts.push_back(text);
  }
  return c;
}

// `count` texts of about `length` bytes through a table of the wild: words of
// its one-byte letters at Zipf frequencies (lower case when it has it), a
// capital to start a sentence, its blank and full stop when it has them, a
// line break now and then when an entry gives one, its end token's text at
// the end when it has one.
inline std::vector<std::string> TextsThrough(const EntryList& list, std::mt19937& rng,
                                             std::size_t count, std::size_t length) {
  std::set<std::string> keys;
  std::vector<std::string> lower, upper;
  std::string blank, stop, lineBreak, end;
  for (const Entry& e : list.Entries) {
    if (!keys.insert(e.Key).second) continue;
    if (e.Kind == EntryKind::kEnd && !e.Text.empty() && end.empty()) end = e.Text;
    if ((e.Kind == EntryKind::kLineBreak && e.Text.empty()) || (e.Kind == EntryKind::kText && e.Text == "\n"))
      lineBreak = "\n";
    if (e.Key.size() != 1 || e.Kind != EntryKind::kText || e.Text.size() != 1) continue;
    const char c = e.Text[0];
    if (c >= 'a' && c <= 'z') lower.push_back(e.Text);
    if (c >= 'A' && c <= 'Z') upper.push_back(e.Text);
    if (c == ' ') blank = " ";
    if (c == '.') stop = ".";
  }
  if (lower.empty()) lower = upper;
  std::vector<std::string> vocabulary;
  std::set<std::string> seen;
  while (vocabulary.size() < 400) {
    std::string w;
    for (int n = std::uniform_int_distribution<int>(1, 8)(rng); n > 0; --n)
      w += lower[rng() % lower.size()];
    if (seen.insert(w).second) vocabulary.push_back(w);
  }
  std::vector<double> weights;
  for (std::size_t k = 0; k < vocabulary.size(); ++k)
    weights.push_back(1.0 / static_cast<double>(k + 1));
  std::discrete_distribution<std::size_t> word(weights.begin(), weights.end());
  std::vector<std::string> texts;
  for (std::size_t t = 0; t < count; ++t) {
    std::string text = upper.empty() ? std::string() : upper[rng() % upper.size()];
    while (text.size() < length) {
      text += vocabulary[word(rng)];
      const unsigned r = rng() % 100;
      if (r < 8 && !stop.empty()) text += stop;
      if (r < 4 && !lineBreak.empty()) {
        text += "\n";
      } else {
        text += blank;
      }
    }
    texts.push_back(text + end);
  }
  return texts;
}

}  // namespace romscriber::testing
