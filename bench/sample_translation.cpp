#include "sample_translation.h"

#include <algorithm>
#include <cstdint>
#include <iterator>
#include <string>
#include <string_view>

namespace romscriber::bench {
namespace {

// What a Spanish word of the sample becomes: one of these, picked by the
// word's hash, so that a word is always translated the same way.
const char* const kEnglish[] = {
    "the",    "king",    "castle", "young",   "knight",  "dragon", "took",   "princess", "bring",
    "her",    "back",    "thanks", "what",    "nobody",  "enters", "without", "leave",   "you",
    "are",    "go",      "ahead",  "sword",   "kingdom", "sleeps", "under",  "village",  "if",
    "seek",   "climb",   "to",     "mountain", "north",  "found",  "silver", "old",      "key",
    "door",   "is",      "locked", "chest",   "empty",   "cannot", "carry",  "more",     "items",
    "rest",   "at",      "inn",    "for",     "coins",   "feel",   "better", "enough",   "welcome",
    "well",   "dry",     "since",  "years",   "never",   "came",   "son",    "wants",    "like",
    "finally", "knew",   "would",  "come",    "deep",    "in",     "cave",   "make",     "noise",
    "father", "worried", "opens",  "an",      "eye",     "wakes",  "up",     "has",      "been",
    "beaten", "won",     "level",  "few",     "points",  "of",     "life",   "fell",     "battle",
};

// Names and words the translation keeps.
const char* const kKept[] = {"Leonor", "Álvaro", "Robledo", "Ñandú", "FIN"};

// Sentences added to every third string, which then outgrows its original.
const char* const kMore[] = {
    " Take care on the road, and come back soon.",
    " The old guard says so, and he is never wrong.",
    " Nobody in the village knows more than that.",
    " Keep your sword close and your coins closer.",
};

// Each fits the bytes of its original: the menus are a range block, whose
// strings stay where they are.
const char* const kMenus[] = {"Items", "Magic", "Gear", "Status", "Settings",
                              "Save",  "Quit",  "Ok",   "No",     "Save the game?"};

std::uint32_t Fnv1a(std::string_view text) {
  std::uint32_t h = 2166136261u;
  for (const char c : text)
    h = (h ^ static_cast<std::uint8_t>(c)) * 16777619u;
  return h;
}

bool IsLetterAt(const std::string& text, std::size_t i) {
  const auto c = static_cast<std::uint8_t>(text[i]);
  // ASCII letters, and the two-byte UTF-8 letters of Latin-1 (C3 xx).
  return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c == 0xC3 && i + 1 < text.size());
}

// The text with each word replaced by an English one, capitalised as it was;
// markup (<...>, [...]), speaker tags ("Rey:" before a line break), names,
// punctuation and blanks stay.
std::string Englished(const std::string& text) {
  std::string out;
  std::size_t i = 0;
  while (i < text.size()) {
    if (text[i] == '<' || text[i] == '[') {
      const std::size_t close = text.find(text[i] == '<' ? '>' : ']', i);
      out += text.substr(i, close + 1 - i);
      i = close + 1;
      continue;
    }
    if (!IsLetterAt(text, i)) {
      out += text[i++];
      continue;
    }
    std::size_t end = i;
    while (end < text.size() && IsLetterAt(text, end))
      end += static_cast<std::uint8_t>(text[end]) == 0xC3 ? 2 : 1;
    const std::string word = text.substr(i, end - i);
    const bool kept = std::find(std::begin(kKept), std::end(kKept), word) != std::end(kKept) ||
                      text.compare(end, 2, ":\n") == 0;
    if (kept) {
      out += word;
    } else {
      std::string english = kEnglish[Fnv1a(word) % std::size(kEnglish)];
      const auto first = static_cast<std::uint8_t>(word[0]);
      if ((first >= 'A' && first <= 'Z') || (first == 0xC3 && static_cast<std::uint8_t>(word[1]) < 0xA0))
        english[0] = static_cast<char>(english[0] - 'a' + 'A');
      out += english;
    }
    i = end;
  }
  return out;
}

}  // namespace

void TranslateSample(BlockScript& script) {
  if (script.Block == "menus") {
    for (std::size_t i = 0; i < script.Strings.size() && i < std::size(kMenus); ++i)
      script.Strings[i].Translation = std::string(kMenus[i]) + "<fin>";
    return;
  }
  const std::string end = "<fin>";
  for (StringRecord& s : script.Strings) {
    if (s.Id % 8 == 7) continue;  // left for later: most strings change, not all
    std::string text = s.Original;
    const bool ended = text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
    if (ended) text.resize(text.size() - end.size());
    text = Englished(text);
    if (s.Id % 3 == 1) text += kMore[static_cast<std::size_t>(s.Id / 3) % std::size(kMore)];
    s.Translation = ended ? text + end : text;
  }
  // The two edits the README shows.
  script.Strings[0].Translation = "Rey:\nWelcome to the castle, young knight.<fin>";
  script.Strings[2].Translation = "Thanks.";
}

}  // namespace romscriber::bench
