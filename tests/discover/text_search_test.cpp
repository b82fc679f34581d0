// Text finding against a literal reference kept here (from each offset in
// turn, items by a linear longest-match over the table's entries, until a raw
// byte, the range's end or an end token; the first offset that gives a
// string wins and the next search starts after it), and two properties:
// strings planted between random bytes are found, and random bytes alone
// give strings at the rate the table's make-up predicts.
#include "discover/text_search.h"

#include <gtest/gtest.h>

#include <cmath>
#include <optional>
#include <random>
#include <set>
#include <string>
#include <vector>

#include "table/compiled.h"
#include "table/extended_loader.h"

namespace romscriber::testing {
namespace {

using Bytes = std::vector<std::uint8_t>;

struct Text {
  std::int64_t Offset;
  std::int64_t Length;
  std::string Shown;
  bool operator==(const Text&) const = default;
};

std::ostream& operator<<(std::ostream& out, const Text& t) {
  return out << t.Offset << "+" << t.Length << " «" << t.Shown << "»";
}

TextSearchOptions Options(std::int64_t minimum, std::int64_t start = 0,
                          std::optional<std::int64_t> end = std::nullopt, bool withText = true) {
  TextSearchOptions options;
  options.MinEntries = minimum;
  options.Start = start;
  options.End = end;
  options.WithText = withText;
  return options;
}

std::vector<Text> Plain(const TextSearchResult& r) {
  std::vector<Text> out;
  for (const FoundText& f : r.Texts) out.push_back({f.Offset, f.Length, f.Text});
  return out;
}

// The longest key at `q` among all the table's entries, read one by one.
const TableEntry* Longest(const CompiledTable& table, const Bytes& rom, std::int64_t q,
                          std::int64_t bound) {
  const TableEntry* best = nullptr;
  for (const TableEntry& e : table.Entries()) {
    const std::string_view key = table.Key(e);
    if (q + static_cast<std::int64_t>(key.size()) > bound) continue;
    if (best && key.size() <= best->KeySize) continue;
    bool same = true;
    for (std::size_t i = 0; i < key.size() && same; ++i)
      same = static_cast<std::uint8_t>(key[i]) == rom[static_cast<std::size_t>(q) + i];
    if (same) best = &e;
  }
  return best;
}

std::vector<Text> LiteralTexts(const CompiledTable& table, const Bytes& rom, std::int64_t start,
                               std::int64_t end, std::int64_t minimum) {
  const std::int64_t bound = end + 1;
  const auto tryAt = [&](std::int64_t s) -> std::optional<Text> {
    std::int64_t q = s;
    std::int64_t ordinary = 0;
    std::string shown;
    while (q <= end) {
      const TableEntry* e = Longest(table, rom, q, bound);
      if (!e) return std::nullopt;
      q += e->KeySize;
      shown += table.Shown(*e);
      if (e->Kind == TokenKind::kControl) {
        if (q + e->Params > bound) return std::nullopt;
        for (int i = 0; i < e->Params; ++i) shown += RawText(table.Style(), std::string(1, static_cast<char>(rom[static_cast<std::size_t>(q + i)])));
        q += e->Params;
      }
      if (e->Kind == TokenKind::kEnd) {
        if (ordinary < minimum) return std::nullopt;
        return Text{s, q - s, shown};
      }
      if (e->Kind == TokenKind::kText) ++ordinary;
    }
    return std::nullopt;
  };
  std::vector<Text> out;
  std::int64_t pos = start;
  while (pos <= end) {
    std::optional<Text> found;
    for (std::int64_t s = pos; s <= end && !found; ++s) found = tryAt(s);
    if (!found) break;
    out.push_back(*found);
    pos = found->Offset + found->Length;
  }
  return out;
}

struct TableShape {
  double Ordinary = 0.4;  // share of byte values with a one-byte entry
  int Longer = 12;        // two- and three-byte keys
  int MostParams = 2;     // of control codes
};

// A random extended table: ordinary entries of one to three bytes (some
// with empty texts), one or two end tokens, a line break, control codes.
// Bytes in `keep` begin no key and stand in none.
EntryList RandomTable(std::mt19937_64& random, const TableShape& shape,
                          const std::set<std::uint8_t>& keep = {}) {
  EntryList t;
  const auto byte = [&]() {
    std::uint8_t b;
    do b = static_cast<std::uint8_t>(random()); while (keep.count(b));
    return static_cast<char>(b);
  };
  int line = 0;
  const auto add = [&](std::string key, std::string text, EntryKind kind, int params = 0) {
    t.Entries.push_back({std::move(key), std::move(text), kind, params, ++line});
  };
  const int ends = 1 + static_cast<int>(random() % 2);
  for (int i = 0; i < ends; ++i)
    add(random() % 4 ? std::string(1, byte()) : std::string{byte(), byte()}, "<fin>",
        EntryKind::kEnd);
  add(std::string(1, byte()), "<br>", EntryKind::kLineBreak);
  const int controls = static_cast<int>(random() % 3);
  for (int i = 0; i < controls; ++i)
    add(std::string(1, byte()), "[c]", EntryKind::kControl,
        static_cast<int>(random() % (shape.MostParams + 1)));
  for (int b = 0; b < 256; ++b) {
    if (keep.count(static_cast<std::uint8_t>(b))) continue;
    if (std::uniform_real_distribution<double>(0, 1)(random) < shape.Ordinary)
      add(std::string(1, static_cast<char>(b)), random() % 10 ? std::string(1, 'a' + b % 26) : "",
          EntryKind::kText);
  }
  for (int i = 0; i < shape.Longer; ++i) {
    std::string key(2 + random() % 2, ' ');
    for (char& c : key) c = byte();
    add(key, "w" + std::to_string(i), EntryKind::kText);
  }
  return t;  // repeated keys keep their first definition when compiled
}

// Every key of a table, to draw bytes that read as text.
std::vector<std::string> Keys(const CompiledTable& t) {
  std::vector<std::string> keys;
  for (const TableEntry& e : t.Entries()) keys.emplace_back(t.Key(e));
  return keys;
}

TEST(TextSearch, MatchesTheLiteralReferenceOnRandomTablesAndRoms) {
  std::mt19937_64 random(9);
  std::size_t strings = 0;
  for (int round = 0; round < 300; ++round) {
    TableShape shape;
    shape.Ordinary = 0.1 + 0.6 * std::uniform_real_distribution<double>(0, 1)(random);
    const CompiledTable table = CompiledTable::Compile(RandomTable(random, shape), ProjectStyle());
    const std::vector<std::string> keys = Keys(table);
    // Random bytes and runs of keys, so that strings of every kind occur.
    Bytes rom;
    const std::size_t size = 256 + random() % 1500;
    while (rom.size() < size) {
      if (random() % 3 == 0) {
        rom.push_back(static_cast<std::uint8_t>(random()));
      } else {
        for (const char c : keys[random() % keys.size()]) rom.push_back(static_cast<std::uint8_t>(c));
      }
    }
    TextSearchOptions options;
    options.MinEntries = 1 + static_cast<std::int64_t>(random() % 5);
    const auto last = static_cast<std::int64_t>(rom.size()) - 1;
    options.Start = random() % 4 ? 0 : static_cast<std::int64_t>(random() % rom.size());
    options.End = random() % 4 ? last : options.Start + static_cast<std::int64_t>(random() % (rom.size() - options.Start));
    const auto expected = LiteralTexts(table, rom, options.Start, *options.End, options.MinEntries);
    ASSERT_EQ(Plain(FindTexts(table, rom, options)), expected) << "round " << round;
    // Without the texts, the same offsets and lengths.
    options.WithText = false;
    const auto offsetsOnly = Plain(FindTexts(table, rom, options));
    ASSERT_EQ(offsetsOnly.size(), expected.size());
    for (std::size_t i = 0; i < expected.size(); ++i) {
      EXPECT_EQ(offsetsOnly[i].Offset, expected[i].Offset);
      EXPECT_EQ(offsetsOnly[i].Length, expected[i].Length);
    }
    strings += expected.size();
  }
  EXPECT_GT(strings, 800u);  // the comparison saw strings, not just empty lists
}

// Strings drawn from a table: enough ordinary entries, line breaks and
// control codes among them, an end token last.
Bytes RandomString(std::mt19937_64& random, const CompiledTable& table, std::int64_t minimum) {
  std::vector<const TableEntry*> ordinary, others, ends;
  for (const TableEntry& e : table.Entries()) {
    if (e.Kind == TokenKind::kText) ordinary.push_back(&e);
    else if (e.Kind == TokenKind::kEnd) ends.push_back(&e);
    else others.push_back(&e);
  }
  Bytes out;
  const auto put = [&](const TableEntry& e) {
    for (const char c : table.Key(e)) out.push_back(static_cast<std::uint8_t>(c));
    for (int i = 0; i < e.Params; ++i) out.push_back(static_cast<std::uint8_t>(random()));
  };
  const std::int64_t count = minimum + static_cast<std::int64_t>(random() % 20);
  for (std::int64_t i = 0; i < count; ++i) {
    put(*ordinary[random() % ordinary.size()]);
    if (!others.empty() && random() % 6 == 0) put(*others[random() % others.size()]);
  }
  put(*ends[random() % ends.size()]);
  return out;
}

TEST(TextSearch, StringsBetweenRandomBytesAreFound) {
  std::mt19937_64 random(31);
  int planted = 0;
  for (int round = 0; round < 60; ++round) {
    // A separator byte that no key holds: nothing reads across it but a
    // control code's one parameter byte, which ends right where the string
    // after it begins.
    const auto separator = static_cast<std::uint8_t>(random());
    TableShape shape;
    shape.Ordinary = 0.2 + 0.5 * std::uniform_real_distribution<double>(0, 1)(random);
    shape.MostParams = 1;
    const CompiledTable table =
        CompiledTable::Compile(RandomTable(random, shape, {separator}), ProjectStyle());
    const std::int64_t minimum = 1 + static_cast<std::int64_t>(random() % 6);
    Bytes rom;
    struct Planted {
      std::int64_t Start, End;
      std::string Shown;
    };
    std::vector<Planted> strings;
    for (int i = 0; i < 40; ++i) {
      for (int n = static_cast<int>(random() % 200); n > 0; --n)
        rom.push_back(static_cast<std::uint8_t>(random()));
      const Bytes s = RandomString(random, table, minimum);
      // Keys that follow each other may read as longer ones: only strings
      // that read back as one string are planted.
      const auto alone = LiteralTexts(table, s, 0, static_cast<std::int64_t>(s.size()) - 1, minimum);
      if (alone.size() != 1 || alone[0].Length != static_cast<std::int64_t>(s.size())) continue;
      rom.push_back(separator);
      const auto start = static_cast<std::int64_t>(rom.size());
      rom.insert(rom.end(), s.begin(), s.end());
      strings.push_back({start, static_cast<std::int64_t>(rom.size()), alone[0].Shown});
      rom.push_back(separator);
    }
    const TextSearchResult found = FindTexts(table, rom, Options(minimum));
    for (const Planted& p : strings) {
      ++planted;
      // The string that holds it: it may begin earlier, on bytes before the
      // separator that read as text through a control code's parameter.
      const auto it = std::find_if(found.Texts.begin(), found.Texts.end(), [&](const FoundText& f) {
        return f.Offset + f.Length == p.End;
      });
      ASSERT_NE(it, found.Texts.end()) << "round " << round << " string at " << p.Start;
      EXPECT_LE(it->Offset, p.Start);
      EXPECT_TRUE(it->Text.ends_with(p.Shown)) << it->Text << " / " << p.Shown;
    }
  }
  EXPECT_GT(planted, 1000);
}

// Random bytes through a table of `letters` one-byte entries and one end
// byte: a string is an end byte with at least `minimum` letters right before
// it, so n * (1/256) * (letters/256)^minimum strings are expected in n bytes.
TEST(TextSearch, RandomBytesGiveStringsAtTheRateTheTablePredicts) {
  std::mt19937_64 random(5);
  Bytes rom(1 << 20);
  for (auto& b : rom) b = static_cast<std::uint8_t>(random());
  for (const int letters : {32, 64, 96, 128}) {
    EntryList table;
    for (int b = 0; b < letters; ++b)
      table.Entries.push_back({std::string(1, static_cast<char>(b)), "x", EntryKind::kText, 0, b + 1});
    table.Entries.push_back({"\xFF", "<fin>", EntryKind::kEnd, 0, 999});
    const CompiledTable compiled = CompiledTable::Compile(table, ProjectStyle());
    for (const std::int64_t minimum : {2, 4, 6, 8}) {
      const double expected = static_cast<double>(rom.size()) / 256.0 *
                              std::pow(letters / 256.0, static_cast<double>(minimum));
      const auto found = static_cast<double>(
          FindTexts(compiled, rom, Options(minimum, 0, std::nullopt, false)).Texts.size());
      // Within four standard deviations of a Poisson count, and a little.
      EXPECT_NEAR(found, expected, 4 * std::sqrt(expected) + 3)
          << letters << " letters, minimum " << minimum;
    }
  }
}

// --- Rules, case by case ---------------------------------------------------

CompiledTable SmallTable() {
  // a-d letters, E0xx words, FE a line break, F0 a colour code with one
  // parameter, FF the end.
  const std::string text =
      "61=a\n62=b\n63=c\n64=d\nE001=castillo\n*FE=<br>\n$F0=[color],1\n/FF=<fin>\n";
  return CompiledTable::Compile(LoadExtendedTable(text, "", "t.tbl", {}), ProjectStyle());
}

TEST(TextSearch, OnlyOrdinaryEntriesCountTowardsTheMinimum) {
  const CompiledTable table = SmallTable();
  // a <br> [color]<$61> castillo b <fin>: three ordinary entries.
  const Bytes rom = {0x00, 0x61, 0xFE, 0xF0, 0x61, 0xE0, 0x01, 0x62, 0xFF, 0x00};
  const auto three = FindTexts(table, rom, Options(3));
  ASSERT_EQ(three.Texts.size(), 1u);
  EXPECT_EQ(three.Texts[0].Offset, 1);
  EXPECT_EQ(three.Texts[0].Length, 8);
  EXPECT_EQ(three.Texts[0].Text, "a<br>\n[color]<$61>castillob<fin>");
  EXPECT_TRUE(FindTexts(table, rom, Options(4)).Texts.empty());
}

TEST(TextSearch, StringsLieWhollyInTheRange) {
  const CompiledTable table = SmallTable();
  const Bytes rom = {0x61, 0x62, 0x63, 0xFF, 0x64, 0x64, 0x61, 0xF0, 0xFF, 0xFF};
  // Whole ROM: abc<fin>, then dda[color]<$FF><fin>.
  const auto all = FindTexts(table, rom, Options(2));
  ASSERT_EQ(all.Texts.size(), 2u);
  EXPECT_EQ(all.Texts[1].Text, "dda[color]<$FF><fin>");
  // Ending at 8, the colour code's parameter is the range's last byte: no
  // end token fits after it.
  EXPECT_EQ(FindTexts(table, rom, Options(2, 0, 8)).Texts.size(), 1u);
  // Starting at 1, "bc<fin>".
  const auto later = FindTexts(table, rom, Options(2, 1, 3));
  ASSERT_EQ(later.Texts.size(), 1u);
  EXPECT_EQ(later.Texts[0].Text, "bc<fin>");
  EXPECT_TRUE(FindTexts(table, rom, Options(2, 1, 2)).Texts.empty());
}

TEST(TextSearch, AStopRequestEndsTheSearch) {
  const CompiledTable table = SmallTable();
  const Bytes rom(1 << 18, 0x61);
  std::atomic<bool> stop{true};
  SearchControl control;
  control.Stop = &stop;
  EXPECT_TRUE(FindTexts(table, rom, {}, control).Stopped);
  stop = false;
  std::vector<double> reported;
  control.Progress = [&](double d) { reported.push_back(d); };
  EXPECT_FALSE(FindTexts(table, rom, {}, control).Stopped);
  ASSERT_FALSE(reported.empty());
  EXPECT_TRUE(std::is_sorted(reported.begin(), reported.end()));
  EXPECT_EQ(reported.back(), 1.0);
}

}  // namespace
}  // namespace romscriber::testing
