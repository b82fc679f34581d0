// romscriber-dict's choice, timed, and the bytes it saves against the
// most-frequent-pair method (tests/fit/pair_reference.h) on two projects:
//
//   large    a project written to the temporary folder whose 12,000-odd
//            strings are translated into 1 MiB of generated dialogue
//            (English words at the frequencies of speech, sentences,
//            speakers' names, line breaks, a colour code now and then)
//            through a table like the sample's (letters, punctuation, some
//            two-byte words), codes 80-FF: max length 8 (target 30 s) and 2
//   sample   examples/project with the benches' translation of it
//            (sample_translation.h), codes 80-FF, max length 2, 4 and 8
//
// Each run opens the project, gives the strings their translations, and
// chooses the dictionary as romscriber-dict does (the lines and the data
// made too); it prints the time of each step, the peak memory, the bytes
// before and after, and what the most frequent pairs leave on the same
// codes. Exits 1 when the 1 MiB run takes 30 s or more, or when the pairs
// save more on any run.
//
//   romscriber_dict_bench [--only large|sample] [--size-kib N] [--runs N]
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "base/file_io.h"
#include "bench_folder.h"
#include "bench_memory.h"
#include "fit/project_dictionary.h"
#include "fit/pair_reference.h"
#include "insert/insertion.h"
#include "sample_translation.h"
#include "session/session.h"

namespace romscriber::bench {
namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;

constexpr double kTargetSeconds = 30;

double Seconds(Clock::duration d) {
  return std::chrono::duration<double>(d).count();
}

// --- The large project ------------------------------------------------------------

// Common words of English dialogue, most frequent first.
const char* const kWords[] = {
    "the",   "you",    "to",     "and",    "a",      "of",     "I",      "it",     "is",
    "that",  "in",     "we",     "me",     "my",     "this",   "have",   "your",   "for",
    "be",    "not",    "what",   "are",    "on",     "with",   "do",     "he",     "was",
    "can",   "but",    "all",    "here",   "go",     "know",   "there",  "will",   "so",
    "if",    "they",   "just",   "get",    "no",     "like",   "come",   "at",     "she",
    "him",   "his",    "her",    "now",    "one",    "up",     "out",    "about",  "right",
    "don't", "let",    "think",  "see",    "want",   "how",    "back",   "who",    "well",
    "good",  "from",   "time",   "must",   "king",   "castle", "dragon", "sword",  "village",
    "north", "cave",   "door",   "key",    "gold",   "coins",  "inn",    "rest",   "night",
    "road",  "forest", "magic",  "power",  "light",  "dark",   "father", "mother", "friend",
    "help",  "never",  "again",  "only",   "still",  "long",   "old",    "young",  "find",
    "take",  "give",   "tell",   "leave",  "bring",  "fight",  "before", "after",  "where",
    "could", "would",  "should", "these",  "those",  "other",  "people", "world",  "great",
    "little", "house", "hand",   "head",   "thing",  "place",  "way",    "day",    "man",
    "woman", "child",  "water",  "fire",   "stone",  "tower",  "bridge", "river",  "mountain",
    "kingdom", "princess", "knight", "guard", "monster", "treasure", "journey", "danger",
    "remember", "something", "nothing", "everyone", "thank",  "sorry",  "please", "wait",
};

// Speakers, each a two-byte entry with its line break.
const char* const kSpeakers[] = {"Rey", "Leonor", "Guardia", "Anciana"};

// A table like the sample's: letters at ASCII less 0x20, punctuation,
// two-byte words, speakers, a colour code, a line break, an end token.
std::string LargeTable() {
  std::string t = "20= \n";
  const auto hex = [](int b) {
    char s[3];
    std::snprintf(s, sizeof s, "%02X", b);
    return std::string(s);
  };
  for (int c = 'A'; c <= 'Z'; ++c)
    t += hex(c - 0x20) + "=" + std::string(1, static_cast<char>(c)) + "\n";
  for (int c = 'a'; c <= 'z'; ++c)
    t += hex(c - 0x20) + "=" + std::string(1, static_cast<char>(c)) + "\n";
  const char* punctuation[] = {".", ",", "!", "?", "'", "-", ":", ";"};
  for (int k = 0; k < 8; ++k)
    t += hex(0x6A + k) + "=" + punctuation[k] + "\n";
  const char* common[] = {"the ", "you", "and ", "ing", "princess", "castle", "dragon", "knight"};
  for (int k = 0; k < 8; ++k)
    t += "E0" + hex(k + 1) + "=" + common[k] + "\n";
  for (int k = 0; k < 4; ++k)
    t += "FA" + hex(k + 1) + "=" + kSpeakers[k] + ":\\n\n";
  return t + "$F0=[color],1\n*FE=\n/FF=<fin>\n";
}

std::string Generated(std::mt19937& rng, std::discrete_distribution<std::size_t>& word) {
  std::uniform_int_distribution<int> percent(0, 99);
  std::string text;
  if (percent(rng) < 40) text += std::string(kSpeakers[rng() % 4]) + ":\n";
  const std::size_t target = 40 + rng() % 120;
  std::size_t line = 0;
  bool capital = true;
  while (text.size() < target) {
    std::string w = kWords[word(rng)];
    if (capital) w[0] = static_cast<char>(std::toupper(static_cast<unsigned char>(w[0])));
    capital = false;
    if (line + w.size() > 28) {
      text.back() = '\n';  // the blank before becomes the line's end
      line = 0;
    }
    text += w;
    line += w.size();
    const int r = percent(rng);
    const char* after = r < 8 ? ". " : r < 11 ? "! " : r < 13 ? "? " : r < 18 ? ", " : " ";
    capital = r < 13;
    if (percent(rng) < 2) text += "[color]<$0" + std::to_string(rng() % 8) + ">";
    text += after;
    line += std::strlen(after);
  }
  while (text.back() == ' ' || text.back() == '\n')
    text.pop_back();
  return text + "<fin>";
}

struct LargeProject {
  fs::path File;
  std::vector<std::string> Translations;
};

// A LoROM image whose pointer table reaches one short original per
// translation, its table and project file, written into `folder`; the
// translations, about `size` bytes in all.
LargeProject WriteLargeProject(const fs::path& folder, std::size_t size) {
  LargeProject p;
  std::mt19937 rng(1);
  std::vector<double> weights;
  for (std::size_t k = 0; k < std::size(kWords); ++k)
    weights.push_back(1.0 / std::pow(static_cast<double>(k + 1), 0.9));
  std::discrete_distribution<std::size_t> word(weights.begin(), weights.end());
  std::size_t total = 0;
  while (total < size) {
    p.Translations.push_back(Generated(rng, word));
    total += p.Translations.back().size();
  }
  const std::size_t count = p.Translations.size();
  std::vector<std::uint8_t> rom(4 << 20, 0);
  const std::size_t pointers = 0x10000;
  std::size_t at = 0x40000;
  for (std::size_t i = 0; i < count; ++i) {
    const auto address = static_cast<std::uint32_t>(((at << 1) & 0x7F0000) | 0x8000 | (at & 0x7FFF));
    for (int k = 0; k < 3; ++k)
      rom[pointers + 3 * i + static_cast<std::size_t>(k)] = static_cast<std::uint8_t>(address >> (8 * k));
    // "Xy<fin>": two letters by the string's number, and the end token.
    rom[at++] = static_cast<std::uint8_t>(0x21 + i % 26);
    rom[at++] = static_cast<std::uint8_t>(0x41 + i / 26 % 26);
    rom[at++] = 0xFF;
  }
  WriteFileWhole(folder / "game.sfc",
                 {std::string_view(reinterpret_cast<const char*>(rom.data()), rom.size())});
  WriteFileWhole(folder / "game.tbl", {LargeTable()});
  p.File = folder / "game.toml";
  WriteFileWhole(p.File, {"rom = \"game.sfc\"\n[map]\nkind = \"lorom\"\n[[table]]\nname = \"t\"\n"
                          "file = \"game.tbl\"\n[[block]]\nname = \"b\"\ntable = \"t\"\n"
                          "pointers = { offset = " + std::to_string(pointers) + ", count = " +
                          std::to_string(count) + ", size = 3 }\n"});
  return p;
}

// --- Runs -----------------------------------------------------------------------

struct Run {
  const char* Name;
  fs::path Project;
  std::function<void(Session&)> Translate;
  std::string Table;
  int MaxLength;
  bool Timed;  // the 30 s target applies
};

// Runs one choice; false when a target is missed or the pairs save more.
bool Measure(const Run& run, int runs) {
  double open = 1e9, choose = 1e9;
  long extraKiB = 0;
  ProjectDictionary result;
  std::vector<std::string> texts;
  const CompiledTable* table = nullptr;
  std::optional<Session> kept;
  for (int r = 0; r < runs; ++r) {
    kept.reset();
    ResetPeak();
    const long before = StatusKiB("VmRSS:");
    const auto t0 = Clock::now();
    Session session = Session::Open(run.Project, {});
    run.Translate(session);
    const auto t1 = Clock::now();
    DictionaryRequest request{run.Table, {}, {testing::Codes(0x80, 0xFF), run.MaxLength}};
    result = BuildProjectDictionary(session, request);
    const std::string lines = TableLines(result.Entries);
    const std::string data = DictionaryData(result.Entries, 0x80, 0xFF, run.MaxLength, 0);
    const auto t2 = Clock::now();
    open = std::min(open, Seconds(t1 - t0));
    choose = std::min(choose, Seconds(t2 - t1));
    extraKiB = std::max(extraKiB, StatusKiB("VmHWM:") - before);
    kept.emplace(std::move(session));
  }
  // The texts counted, for the reference.
  for (const SessionBlock& b : kept->Blocks()) {
    if (b.Table->Settings->Name != run.Table) continue;
    table = &b.Table->Table;
    for (const StringRecord& s : b.Strings) {
      const TextToInsert t = TextOf(s, *table);
      if (t.Changed) texts.push_back(t.Text);
    }
  }
  std::size_t bytes = 0;
  for (const std::string& t : texts)
    bytes += t.size();
  const auto r0 = Clock::now();
  const std::size_t codes = 128 - result.Taken.size() - result.Raw.size();
  const auto pairs = testing::MostFrequentPairs(*table, texts, codes, run.MaxLength);
  std::vector<DictionaryEntry> entries;
  std::size_t k = 0;
  for (int c = 0x80; c <= 0xFF && k < pairs.size(); ++c) {
    const auto code = static_cast<std::uint8_t>(c);
    if (std::count(result.Taken.begin(), result.Taken.end(), code) ||
        std::count(result.Raw.begin(), result.Raw.end(), code))
      continue;
    entries.push_back({code, pairs[k].Text, pairs[k].Bytes});
    ++k;
  }
  const CompiledTable enlarged = EnlargedTable(*table, entries);
  TextEncoder encoder(enlarged);
  std::int64_t reference = 0;
  for (const std::string& t : texts) {
    const auto e = encoder.Encode(t);
    reference += static_cast<std::int64_t>(std::get<std::string>(e).size());
  }
  const double referenceSeconds = Seconds(Clock::now() - r0);

  const std::int64_t saved = result.Before - result.After;
  const std::int64_t pairSaved = result.Before - reference;
  std::printf("%s, max length %d: %zu texts, %.2f MiB of text; %zu codes free of 128\n", run.Name,
              run.MaxLength, texts.size(), static_cast<double>(bytes) / (1 << 20), codes);
  std::printf("  open %.2f s, choose %.2f s (best of %d), %.1f MiB of memory beyond what was in use\n",
              open, choose, runs, extraKiB / 1024.0);
  std::printf("  bytes %lld -> %lld with %zu entries: %lld saved (%.1f%%)\n",
              static_cast<long long>(result.Before), static_cast<long long>(result.After),
              result.Entries.size(), static_cast<long long>(saved),
              100.0 * static_cast<double>(saved) / static_cast<double>(result.Before));
  std::printf("  most frequent pairs: %lld saved (%.1f%%; made in %.2f s); the choice saves %+lld bytes more (%+.1f%%)\n",
              static_cast<long long>(pairSaved),
              100.0 * static_cast<double>(pairSaved) / static_cast<double>(result.Before),
              referenceSeconds, static_cast<long long>(saved - pairSaved),
              pairSaved > 0 ? 100.0 * static_cast<double>(saved - pairSaved) / static_cast<double>(pairSaved) : 0.0);
  std::fflush(stdout);
  bool ok = saved >= pairSaved;
  if (!ok) std::printf("  THE PAIRS SAVE MORE\n");
  if (run.Timed) {
    const bool fast = open + choose < kTargetSeconds;
    std::printf("  under %.0f s: %s\n", kTargetSeconds, fast ? "met" : "NOT MET");
    ok = ok && fast;
  }
  return ok;
}

}  // namespace
}  // namespace romscriber::bench

int main(int argc, char** argv) {
  using namespace romscriber;
  using namespace romscriber::bench;
  std::string only;
  std::size_t sizeKiB = 1024;
  int runs = 1;
  for (int i = 1; i < argc; ++i) {
    if (std::strcmp(argv[i], "--only") == 0 && i + 1 < argc) {
      only = argv[++i];
    } else if (std::strcmp(argv[i], "--size-kib") == 0 && i + 1 < argc) {
      sizeKiB = static_cast<std::size_t>(std::max(1, std::atoi(argv[++i])));
    } else if (std::strcmp(argv[i], "--runs") == 0 && i + 1 < argc) {
      runs = std::max(1, std::atoi(argv[++i]));
    } else {
      std::fprintf(stderr, "usage: %s [--only large|sample] [--size-kib N] [--runs N]\n", argv[0]);
      return 2;
    }
  }
  try {
    bool ok = true;
    if (only.empty() || only == "sample") {
      const auto translate = [](Session& session) { TranslateBlocks(session, TranslateSample); };
      for (const int length : {2, 4, 8})
        ok = Measure({"sample project", ROMSCRIBER_SAMPLE_PROJECT, translate, "juego", length, false}, runs) && ok;
    }
    if (only.empty() || only == "large") {
      const TempFolder folder("romscriber-dict-bench");
      const LargeProject large = WriteLargeProject(folder.Path(), sizeKiB << 10);
      const auto translate = [&](Session& session) {
        std::vector<StringRecord>& strings = session.Blocks()[0].Strings;
        for (std::size_t i = 0; i < strings.size(); ++i)
          strings[i].Translation = large.Translations[i];
      };
      for (const int length : {8, 2})
        ok = Measure({"large project", large.File, translate, "t", length, length == 8 && sizeKiB == 1024}, runs) && ok;
    }
    return ok ? 0 : 1;
  } catch (const std::exception& e) {
    std::fprintf(stderr, "%s\n", e.what());
    return 1;
  }
}
