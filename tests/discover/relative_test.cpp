// Relative search against a literal reference kept here (every offset, every
// class: each letter's value less its place in its class must give the
// class one base), and its round trip on words written through random
// alphabets: found at their offset with each class's value, and the table
// written from the hit reads the letters back.
#include "discover/relative.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "base/app_error.h"
#include "extract/engine.h"
#include "table/compiled.h"
#include "table/extended_loader.h"

namespace romscriber::testing {
namespace {

using Bytes = std::vector<std::uint8_t>;

// The kana of each class in row order, written out again here.
const std::vector<std::string>& Kana(bool katakana) {
  static const auto split = [](std::string_view all) {
    std::vector<std::string> out;
    for (std::size_t i = 0; i < all.size(); i += 3) out.emplace_back(all.substr(i, 3));
    return out;
  };
  static const std::vector<std::string> hiragana = split(
      "あいうえおかきくけこさしすせそたちつてとなにぬねのはひふへほまみむめもやゆよらりるれろわをん");
  static const std::vector<std::string> katakana_ = split(
      "アイウエオカキクケコサシスセソタチツテトナニヌネノハヒフヘホマミムメモヤユヨラリルレロワヲン");
  return katakana ? katakana_ : hiragana;
}

// Characters of a UTF-8 text, each as its bytes.
std::vector<std::string> Characters(const std::string& text) {
  std::vector<std::string> out;
  for (std::size_t i = 0; i < text.size();) {
    const auto c = static_cast<unsigned char>(text[i]);
    const std::size_t n = c < 0x80 ? 1 : c < 0xE0 ? 2 : c < 0xF0 ? 3 : 4;
    out.push_back(text.substr(i, n));
    i += n;
  }
  return out;
}

// Class (0 upper, 1 lower, 2 digit, 3 hiragana, 4 katakana) and place of a
// character, or nothing.
std::optional<std::pair<int, int>> ClassOf(const std::string& ch, bool kana) {
  if (ch.size() == 1) {
    const char c = ch[0];
    if (c >= 'A' && c <= 'Z') return std::pair{0, c - 'A'};
    if (c >= 'a' && c <= 'z') return std::pair{1, c - 'a'};
    if (c >= '0' && c <= '9') return std::pair{2, c - '0'};
    return std::nullopt;
  }
  if (!kana) return std::nullopt;
  for (int k = 0; k < 2; ++k) {
    const auto& list = Kana(k == 1);
    const auto at = std::find(list.begin(), list.end(), ch);
    if (at != list.end()) return std::pair{3 + k, static_cast<int>(at - list.begin())};
  }
  return std::nullopt;
}

struct LiteralHit {
  std::int64_t Offset;
  std::map<int, std::int64_t> First;  // by class present
  bool operator==(const LiteralHit&) const = default;
};

// Every offset, every class, nothing skipped.
std::vector<LiteralHit> LiteralRelative(const Bytes& rom, const std::string& text, bool kana,
                                        int width, Endian order) {
  const std::vector<std::string> chars = Characters(text);
  std::vector<LiteralHit> hits;
  const auto value = [&](std::int64_t at) -> std::int64_t {
    if (width == 1) return rom[static_cast<std::size_t>(at)];
    const std::int64_t a = rom[static_cast<std::size_t>(at)];
    const std::int64_t b = rom[static_cast<std::size_t>(at) + 1];
    return order == Endian::kBig ? a * 256 + b : b * 256 + a;
  };
  const auto length = static_cast<std::int64_t>(chars.size()) * width;
  for (std::int64_t o = 0; o + length <= static_cast<std::int64_t>(rom.size()); ++o) {
    std::map<int, std::int64_t> bases;
    bool fits = true;
    for (std::size_t i = 0; i < chars.size() && fits; ++i) {
      const auto c = ClassOf(chars[i], kana);
      if (!c) continue;
      const std::int64_t base = value(o + static_cast<std::int64_t>(i) * width) - c->second;
      const auto [at, added] = bases.emplace(c->first, base);
      fits = added || at->second == base;
    }
    if (fits) hits.push_back({o, bases});
  }
  return hits;
}

std::vector<LiteralHit> AsLiteral(const RelativeResult& result, const RelativeQuery& query) {
  std::vector<LiteralHit> out;
  for (const RelativeHit& h : result.Hits) {
    LiteralHit l{h.Offset, {}};
    for (int c = 0; c < 5; ++c)
      if (query.Present(static_cast<LetterClass>(c))) l.First[c] = h.First[static_cast<std::size_t>(c)];
    out.push_back(l);
  }
  return out;
}

// A random alphabet: each class at a random place, none overlapping, and
// the other characters the words use at values of their own.
struct Alphabet {
  std::array<std::int64_t, 5> Base{};
  std::map<std::string, std::int64_t> Others;
};

const std::vector<std::string> kOthers = {" ", ".", ",", "!", "?", "'", "-", "ñ", "é", "ー", "、"};

Alphabet RandomAlphabet(std::mt19937_64& random, int width, bool kana) {
  const std::int64_t values = width == 1 ? 256 : 65536;
  std::vector<std::pair<int, std::int64_t>> spans = {{0, 26}, {1, 26}, {2, 10}};
  if (kana) spans.insert(spans.end(), {{3, 46}, {4, 46}});
  std::shuffle(spans.begin(), spans.end(), random);
  Alphabet a;
  // Free room split at random between the classes, in a random order.
  std::int64_t used = 0;
  for (const auto& [c, size] : spans) used += size;
  const auto others = static_cast<std::int64_t>(kOthers.size());
  std::int64_t room = values - used - others;
  std::int64_t at = 0;
  for (const auto& [c, size] : spans) {
    const std::int64_t skip = std::uniform_int_distribution<std::int64_t>(0, room / 3)(random);
    at += skip;
    room -= skip;
    a.Base[static_cast<std::size_t>(c)] = at;
    at += size;
  }
  for (const std::string& o : kOthers) a.Others[o] = at++;
  return a;
}

std::string RandomWord(std::mt19937_64& random, bool kana) {
  std::string word;
  const int length = 2 + static_cast<int>(random() % 11);
  for (int i = 0; i < length; ++i) {
    const int pick = static_cast<int>(random() % (kana ? 6 : 4));
    switch (pick) {
      case 0:
        word += static_cast<char>('A' + random() % 26);
        break;
      case 1:
        word += static_cast<char>('a' + random() % 26);
        break;
      case 2:
        word += static_cast<char>('0' + random() % 10);
        break;
      case 3:
        word += kOthers[random() % kOthers.size()];
        break;
      default:
        word += Kana(pick == 5)[random() % 46];
        break;
    }
  }
  return word;
}

bool HasPair(const std::string& word, bool kana) {
  std::map<int, int> counts;
  for (const std::string& ch : Characters(word))
    if (const auto c = ClassOf(ch, kana)) ++counts[c->first];
  return std::any_of(counts.begin(), counts.end(), [](const auto& kv) { return kv.second >= 2; });
}

std::int64_t ValueOf(const Alphabet& a, const std::string& ch, bool kana) {
  if (const auto c = ClassOf(ch, kana)) return a.Base[static_cast<std::size_t>(c->first)] + c->second;
  return a.Others.at(ch);
}

void Write(Bytes& rom, std::int64_t at, std::int64_t value, int width, Endian order) {
  if (width == 1) {
    rom[static_cast<std::size_t>(at)] = static_cast<std::uint8_t>(value);
  } else if (order == Endian::kBig) {
    rom[static_cast<std::size_t>(at)] = static_cast<std::uint8_t>(value >> 8);
    rom[static_cast<std::size_t>(at) + 1] = static_cast<std::uint8_t>(value);
  } else {
    rom[static_cast<std::size_t>(at)] = static_cast<std::uint8_t>(value);
    rom[static_cast<std::size_t>(at) + 1] = static_cast<std::uint8_t>(value >> 8);
  }
}

// The bytes of a word written through an alphabet.
Bytes Encode(const Alphabet& a, const std::string& word, bool kana, int width, Endian order) {
  const std::vector<std::string> chars = Characters(word);
  Bytes out(chars.size() * static_cast<std::size_t>(width));
  for (std::size_t i = 0; i < chars.size(); ++i)
    Write(out, static_cast<std::int64_t>(i) * width, ValueOf(a, chars[i], kana), width, order);
  return out;
}

// --- The search against the literal reference ----------------------------

TEST(RelativeSearch, MatchesTheLiteralReferenceOnRandomRomsAndWords) {
  std::mt19937_64 random(77);
  int cases = 0;
  std::size_t hits = 0;
  while (cases < 400) {
    const bool kana = random() % 3 == 0;
    const int width = 1 + static_cast<int>(random() % 2);
    const Endian order = random() % 2 ? Endian::kBig : Endian::kLittle;
    const std::string word = RandomWord(random, kana);
    if (!HasPair(word, kana)) continue;
    ++cases;
    // Bytes from a narrow range, so that letters often lie a few values
    // apart by chance, and the word planted a few times through alphabets.
    Bytes rom(1024 + random() % 2048);
    const std::uint64_t spread = 1 + random() % 6;
    for (auto& b : rom) b = static_cast<std::uint8_t>(0x40 + random() % spread);
    for (int k = 0; k < 3; ++k) {
      const Bytes planted = Encode(RandomAlphabet(random, width, kana), word, kana, width, order);
      const std::size_t at = random() % (rom.size() - planted.size());
      std::copy(planted.begin(), planted.end(), rom.begin() + static_cast<std::ptrdiff_t>(at));
    }
    const RelativeQuery query = ParseRelativeQuery(word, kana, width, order);
    const RelativeResult result = FindRelative(rom, query);
    const auto expected = LiteralRelative(rom, word, kana, width, order);
    ASSERT_EQ(AsLiteral(result, query), expected)
        << "word «" << word << "» width " << width << (order == Endian::kBig ? " big" : " little")
        << (kana ? " kana" : "");
    hits += expected.size();
  }
  EXPECT_GT(hits, 1200u);  // the comparison saw hits, not just empty lists
}

TEST(RelativeSearch, StopsAtTheHitLimitAndOnRequest) {
  Bytes rom(4096, 0x10);  // "aa" fits at every offset
  const RelativeQuery query = ParseRelativeQuery("aa", false, 1, Endian::kLittle);
  const RelativeResult all = FindRelative(rom, query);
  EXPECT_EQ(all.Hits.size(), 4095u);
  EXPECT_FALSE(all.Truncated);
  const RelativeResult some = FindRelative(rom, query, {}, 100);
  EXPECT_EQ(some.Hits.size(), 100u);
  EXPECT_TRUE(some.Truncated);
  std::atomic<bool> stop{true};
  SearchControl control;
  control.Stop = &stop;
  EXPECT_TRUE(FindRelative(rom, query, control).Stopped);
}

// --- Round trip through random alphabets ---------------------------------

TEST(RelativeSearch, WordsThroughRandomAlphabetsAreFoundAndTheTableReadsThemBack) {
  std::mt19937_64 random(2024);
  int cases = 0;
  while (cases < 300) {
    const bool kana = random() % 2 == 0;
    const int width = 1 + static_cast<int>(random() % 2);
    const Endian order = random() % 2 ? Endian::kBig : Endian::kLittle;
    const std::string word = RandomWord(random, kana);
    if (!HasPair(word, kana)) continue;
    ++cases;
    const std::string name = "«" + word + "» width " + std::to_string(width) +
                             (order == Endian::kBig ? " big" : " little") + (kana ? " kana" : "");
    const Alphabet alphabet = RandomAlphabet(random, width, kana);
    const Bytes planted = Encode(alphabet, word, kana, width, order);
    Bytes rom(8192);
    for (auto& b : rom) b = static_cast<std::uint8_t>(random());
    const std::int64_t at = static_cast<std::int64_t>(random() % (rom.size() - planted.size()));
    std::copy(planted.begin(), planted.end(), rom.begin() + at);

    const RelativeQuery query = ParseRelativeQuery(word, kana, width, order);
    const RelativeResult result = FindRelative(rom, query);
    const auto hit = std::find_if(result.Hits.begin(), result.Hits.end(),
                                  [&](const RelativeHit& h) { return h.Offset == at; });
    ASSERT_NE(hit, result.Hits.end()) << name;
    for (std::size_t c = 0; c < kLetterClasses; ++c) {
      if (query.Present(static_cast<LetterClass>(c))) {
        EXPECT_EQ(hit->First[c], alphabet.Base[c]) << name << " class " << c;
      }
    }

    // The table from the hit: every letter of each class present reads back
    // as itself, and so does each letter of the word where it lies.
    const EntryList table = LoadExtendedTable(RelativeTableText(query, *hit), "", "t.tbl", {});
    const CompiledTable compiled = CompiledTable::Compile(table, DecodeStyle{});
    const auto read = [&](const Bytes& bytes) {
      return DecodeString(compiled, bytes, 0,
                          {static_cast<std::int64_t>(bytes.size()) - 1,
                           static_cast<std::int64_t>(bytes.size()), true})
          .Text;
    };
    std::size_t letters = 0;
    for (std::size_t c = 0; c < kLetterClasses; ++c) {
      const auto letterClass = static_cast<LetterClass>(c);
      if (!query.Present(letterClass)) continue;
      for (int ordinal = 0; ordinal < ClassSize(letterClass); ++ordinal) {
        Bytes key(static_cast<std::size_t>(width));
        Write(key, 0, alphabet.Base[c] + ordinal, width, order);
        EXPECT_EQ(read(key), ClassLetter(letterClass, ordinal)) << name;
        ++letters;
      }
    }
    EXPECT_EQ(table.Entries.size(), letters) << name;
    const std::vector<std::string> chars = Characters(word);
    for (std::size_t i = 0; i < chars.size(); ++i) {
      if (!ClassOf(chars[i], kana)) continue;
      const Bytes one(planted.begin() + static_cast<std::ptrdiff_t>(i) * width,
                      planted.begin() + static_cast<std::ptrdiff_t>(i + 1) * width);
      EXPECT_EQ(read(one), chars[i]) << name << " character " << i;
    }
  }
}

TEST(RelativeSearch, TheTableLeavesOutLettersThatDoNotFitAndKeysGivenTwice) {
  // "Hola" with a at F0: a to p fit a byte, q on do not. H alone puts A at
  // F0 too: the lower case, which the hit confirms with three letters, keeps
  // those keys.
  const Bytes rom = {0x33, 0xF7, 0xFE, 0xFB, 0xF0};
  const RelativeQuery query = ParseRelativeQuery("Hola", false, 1, Endian::kLittle);
  const RelativeResult result = FindRelative(rom, query);
  ASSERT_EQ(result.Hits.size(), 1u);
  EXPECT_EQ(result.Hits[0].Offset, 1);
  EXPECT_EQ(result.Hits[0].First[0], 0xF0);
  EXPECT_EQ(result.Hits[0].First[1], 0xF0);
  const EntryList table =
      LoadExtendedTable(RelativeTableText(query, result.Hits[0]), "", "t.tbl", {});
  ASSERT_EQ(table.Entries.size(), 16u);
  for (std::size_t i = 0; i < 16; ++i) {
    EXPECT_EQ(table.Entries[i].Key, std::string(1, static_cast<char>(0xF0 + i)));
    EXPECT_EQ(table.Entries[i].Text, std::string(1, static_cast<char>('a' + i)));
  }
}

TEST(RelativeSearch, ValuesDoNotWrapAround) {
  // a = 0xFE, b = 0xFF, c would be 0x100: bytes FE FF 00 are no "abc".
  const Bytes rom = {0xFE, 0xFF, 0x00, 0x11, 0xFE, 0xFF};
  const RelativeQuery query = ParseRelativeQuery("abc", false, 1, Endian::kLittle);
  EXPECT_TRUE(FindRelative(rom, query).Hits.empty());
  const RelativeQuery ab = ParseRelativeQuery("ab", false, 1, Endian::kLittle);
  EXPECT_EQ(FindRelative(rom, ab).Hits.size(), 2u);
}

TEST(RelativeSearch, WordsWithoutTwoLettersOfAClassAreRefused) {
  for (const char* word : {"", "A", "Ab1", "¡Ñ!", "あい", "A-b-3"}) {
    try {
      ParseRelativeQuery(word, false, 1, Endian::kLittle);
      ADD_FAILURE() << word;
    } catch (const AppError& e) {
      EXPECT_EQ(e.Number(), kErrBadSetting) << word;
    }
  }
  // With kana, a kana word is one; kana of different scripts are not.
  EXPECT_NO_THROW(ParseRelativeQuery("あい", true, 1, Endian::kLittle));
  EXPECT_THROW(ParseRelativeQuery("あア", true, 1, Endian::kLittle), AppError);
  EXPECT_THROW(ParseRelativeQuery("ab", false, 3, Endian::kLittle), AppError);
  EXPECT_THROW(ParseRelativeQuery("ab\xFF", false, 1, Endian::kLittle), AppError);
}

}  // namespace
}  // namespace romscriber::testing
