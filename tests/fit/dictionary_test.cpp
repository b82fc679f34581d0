// The dictionary builder's contract on random tables and texts, on real
// tables and a real game's text: every entry is spelt by one-byte entries
// on a code free to take, every text takes no more bytes with the
// dictionary and reads back exactly, the data holds each entry's bytes at
// its code's slot, the table lines read back as the entries; and on every
// corpus it saves at least as many bytes as the most-frequent-pair method
// (pair_reference.h), more in all.
#include "fit/dictionary.h"

#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <iterator>
#include <map>
#include <random>
#include <set>
#include <variant>

#include "base/app_error.h"
#include "corpora.h"
#include "extract/engine.h"
#include "insert/encoder.h"
#include "pair_reference.h"
#include "table/extended_loader.h"
#include "table/loader.h"

namespace romscriber::testing {
namespace {

namespace fs = std::filesystem;

struct Figures {
  std::int64_t Before = 0;
  std::int64_t After = 0;      // with the builder's dictionary
  std::int64_t Reference = 0;  // with the most frequent pairs
  std::size_t Entries = 0;
};

// The list's entries with the dictionary's after them, compiled: the
// enlarged table made here from the list itself.
CompiledTable WithEntries(const EntryList& list, const std::vector<std::pair<std::uint8_t, std::string>>& entries) {
  EntryList all = list;
  for (const auto& [code, text] : entries) {
    Entry e;
    e.Key = std::string(1, static_cast<char>(code));
    e.Text = text;
    all.Entries.push_back(e);
  }
  return CompiledTable::Compile(all, ProjectStyle());
}

std::string Encode(TextEncoder& encoder, const std::string& text) {
  auto bytes = encoder.Encode(text);
  EXPECT_TRUE(std::holds_alternative<std::string>(bytes)) << text;
  return std::holds_alternative<std::string>(bytes) ? std::get<std::string>(bytes) : std::string();
}

std::string Decode(const CompiledTable& table, const std::string& bytes) {
  if (bytes.empty()) return {};
  const auto size = static_cast<std::int64_t>(bytes.size());
  return DecodeString(table, {reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()}, 0,
                      {size - 1, size, true})
      .Text;
}

// Runs the builder on `texts` through `list` and checks every promise
// against the list itself; gives the bytes before, after, and after the
// most-frequent-pair method's dictionary on the same codes.
void CheckInto(Figures& f, const EntryList& list, const std::vector<std::string>& texts,
               const DictionaryOptions& options, bool exactPaths, const std::string& what) {
  SCOPED_TRACE(what);
  const CompiledTable table = CompiledTable::Compile(list, ProjectStyle());
  const std::vector<std::string_view> views(texts.begin(), texts.end());
  const DictionaryResult result = ChooseDictionary(table, views, options);
  EXPECT_FALSE(result.Failure.has_value());
  EXPECT_FALSE(result.Stopped);

  // Codes: offered, each once, none that a key begins with or that stands raw.
  std::set<std::uint8_t> firstBytes;
  std::map<char, const Entry*> byKey;  // one-byte keys, first definitions
  for (const Entry& e : list.Entries) {
    firstBytes.insert(static_cast<std::uint8_t>(e.Key[0]));
    if (e.Key.size() == 1) byKey.emplace(e.Key[0], &e);
  }
  std::set<std::uint8_t> raw;
  for (const std::string& t : texts)
    for (std::size_t at = t.find("<$"); at != std::string::npos; at = t.find("<$", at + 1))
      if (at < 3 || t.compare(at - 3, 3, "[c]") != 0) raw.insert(static_cast<std::uint8_t>(std::stoi(t.substr(at + 2, 2), nullptr, 16)));
  std::set<std::uint8_t> codes, entryTexts;
  std::set<std::string> seenTexts;
  std::vector<std::pair<std::uint8_t, std::string>> pairs;
  std::size_t free = 0;
  for (const std::uint8_t c : options.Codes)
    free += !firstBytes.count(c) && !raw.count(c);
  EXPECT_LE(result.Entries.size(), free);
  for (const DictionaryEntry& e : result.Entries) {
    EXPECT_NE(std::find(options.Codes.begin(), options.Codes.end(), e.Code), options.Codes.end());
    EXPECT_TRUE(codes.insert(e.Code).second) << "code given twice";
    EXPECT_FALSE(firstBytes.count(e.Code)) << "a key begins with " << int{e.Code};
    EXPECT_FALSE(raw.count(e.Code)) << int{e.Code} << " stands raw";
    EXPECT_TRUE(seenTexts.insert(e.Text).second) << "text given twice: " << e.Text;
    // Spelt by 2 to MaxLength one-byte ordinary entries, no line break.
    EXPECT_GE(e.Bytes.size(), 2u);
    EXPECT_LE(e.Bytes.size(), static_cast<std::size_t>(options.MaxLength));
    std::string spelt;
    for (const char b : e.Bytes) {
      const auto found = byKey.find(b);
      ASSERT_NE(found, byKey.end());
      EXPECT_EQ(found->second->Kind, EntryKind::kText);
      EXPECT_FALSE(found->second->Text.empty());
      spelt += found->second->Text;
    }
    EXPECT_EQ(spelt, e.Text);
    EXPECT_EQ(e.Text.find('\n'), std::string::npos);
    pairs.emplace_back(e.Code, e.Text);
  }
  for (const std::uint8_t c : result.Taken)
    EXPECT_TRUE(firstBytes.count(c));
  for (const std::uint8_t c : result.Raw)
    EXPECT_TRUE(raw.count(c));
  EXPECT_EQ(result.Taken.size() + result.Raw.size() + free, options.Codes.size());

  // Every text: no more bytes than before, and it reads back, through the
  // enlarged table made here.
  f.Entries = result.Entries.size();
  const CompiledTable enlarged = WithEntries(list, pairs);
  TextEncoder plain(table), with(enlarged);
  EXPECT_EQ(result.Before.size(), texts.size());
  EXPECT_EQ(result.After.size(), texts.size());
  for (std::size_t i = 0; i < texts.size() && i < result.After.size(); ++i) {
    const std::string before = Encode(plain, texts[i]);
    const std::string after = Encode(with, texts[i]);
    EXPECT_EQ(result.Before[i], static_cast<std::int64_t>(before.size())) << texts[i];
    EXPECT_EQ(result.After[i], static_cast<std::int64_t>(after.size())) << texts[i];
    EXPECT_LE(after.size(), before.size()) << texts[i];
    EXPECT_EQ(Decode(enlarged, after), texts[i]);
    f.Before += result.Before[i];
    f.After += result.After[i];
  }
  if (exactPaths) {
    EXPECT_EQ(result.PathAfter, f.After);
  } else {
    EXPECT_LE(result.PathAfter, f.After);
  }

  // The data: each entry's bytes at its code's slot, the rest padding.
  const std::uint8_t first = options.Codes.front(), last = options.Codes.back();
  const std::string data = DictionaryData(result.Entries, first, last, options.MaxLength, 0xEE);
  EXPECT_EQ(data.size(), static_cast<std::size_t>(last - first + 1) * static_cast<std::size_t>(options.MaxLength));
  for (std::size_t code = first; code <= last; ++code) {
    std::string slot(static_cast<std::size_t>(options.MaxLength), '\xEE');
    for (const DictionaryEntry& e : result.Entries)
      if (e.Code == code) slot.replace(0, e.Bytes.size(), e.Bytes);
    EXPECT_EQ(data.substr((code - first) * slot.size(), slot.size()), slot) << "slot " << code;
  }

  // The lines read back as the entries.
  const EntryList lines = LoadExtendedTable(TableLines(result.Entries), "", "lines.tbl",
                                            [](const std::string& w) { ADD_FAILURE() << w; });
  ASSERT_EQ(lines.Entries.size(), result.Entries.size());
  for (std::size_t k = 0; k < lines.Entries.size(); ++k) {
    EXPECT_EQ(lines.Entries[k].Kind, EntryKind::kText);
    EXPECT_EQ(lines.Entries[k].Key.size(), 1u);
    const auto entry = std::find_if(result.Entries.begin(), result.Entries.end(), [&](const DictionaryEntry& e) {
      return e.Code == static_cast<std::uint8_t>(lines.Entries[k].Key[0]);
    });
    ASSERT_NE(entry, result.Entries.end());
    EXPECT_EQ(lines.Entries[k].Text, entry->Text);
  }

  // The reference on the same codes, measured the same way.
  const auto reference = MostFrequentPairs(table, texts, free, options.MaxLength);
  std::vector<std::pair<std::uint8_t, std::string>> referencePairs;
  std::size_t k = 0;
  for (const std::uint8_t c : options.Codes)
    if (!firstBytes.count(c) && !raw.count(c) && k < reference.size())
      referencePairs.emplace_back(c, reference[k++].Text);
  const CompiledTable referenceTable = WithEntries(list, referencePairs);
  TextEncoder referenceEncoder(referenceTable);
  for (const std::string& t : texts)
    f.Reference += static_cast<std::int64_t>(Encode(referenceEncoder, t).size());
  EXPECT_LE(f.After, f.Reference) << "the most frequent pairs save more";
}

Figures Check(const EntryList& list, const std::vector<std::string>& texts, const DictionaryOptions& options,
              bool exactPaths, const std::string& what) {
  Figures f;
  CheckInto(f, list, texts, options, exactPaths, what);
  return f;
}

void Print(const char* what, const Figures& f) {
  std::cout << what << ": " << f.Before << " bytes; " << f.Entries << " entries save " << f.Before - f.After
            << ", the most frequent pairs " << f.Before - f.Reference << "\n";
}

TEST(Dictionary, RandomTablesAndTextsKeepEveryPromiseAndBeatThePairs) {
  std::mt19937 rng(3);
  Figures all;
  for (int round = 0; round < 24; ++round) {
    const bool prefixFree = round % 3 != 2;
    const Corpus c = RandomCorpus(rng, {prefixFree, 18 + round % 20, 10}, 30 + round * 5, 40 + round % 5 * 20);
    // Texts the table cannot give (keys that begin others) are left out.
    std::vector<std::string> texts;
    const CompiledTable table = CompiledTable::Compile(c.List, ProjectStyle());
    TextEncoder encoder(table);
    for (const std::string& t : c.Texts)
      if (std::holds_alternative<std::string>(encoder.Encode(t))) texts.push_back(t);
    DictionaryOptions options;
    const int first = static_cast<int>(rng() % 200);
    options.Codes = Codes(first, first + 2 + static_cast<int>(rng() % 50));
    options.MaxLength = std::array{2, 3, 4, 6, 8, 16}[round % 6];
    const Figures f = Check(c.List, texts, options, prefixFree, "round " + std::to_string(round));
    all.Before += f.Before;
    all.After += f.After;
    all.Reference += f.Reference;
    all.Entries += f.Entries;
  }
  Print("random tables", all);
  EXPECT_LT(all.After, all.Reference);
}

// With one code the entry is the piece that saves most, found here by
// trying every piece of the texts through the encoder itself.
TEST(Dictionary, OneCodeTakesThePieceThatSavesMostOfAll) {
  std::mt19937 rng(13);
  for (int round = 0; round < 12; ++round) {
    const Corpus c = RandomCorpus(rng, {true, 12 + round, 6}, 8 + round, 30);
    const CompiledTable table = CompiledTable::Compile(c.List, ProjectStyle());
    const int length = 2 + round % 4;
    const auto units = SpellingEntries(table);
    // Every piece of 2 to `length` one-byte entries, as the texts spell them.
    std::set<std::string> pieces;
    for (const std::string& t : c.Texts)
      for (std::size_t from = 0; from < t.size(); ++from) {
        std::string piece;
        std::size_t at = from;
        for (int n = 1; n <= length; ++n) {
          const std::pair<std::string, char>* unit = nullptr;
          for (const auto& u : units)
            if (t.compare(at, u.first.size(), u.first) == 0 && (!unit || u.first.size() > unit->first.size())) unit = &u;
          if (!unit) break;
          piece += unit->first;
          at += unit->first.size();
          if (n >= 2 && piece.find("<$") == std::string::npos) pieces.insert(piece);
        }
      }
    // The code: a byte no key begins and no text holds raw.
    std::vector<bool> used(256, false);
    for (const Entry& e : c.List.Entries)
      used[static_cast<std::uint8_t>(e.Key[0])] = true;
    for (const std::uint8_t b : c.RawBytes)
      used[b] = true;
    std::size_t code = 0;
    while (used[code])
      ++code;
    std::int64_t before = 0;
    TextEncoder plain(table);
    for (const std::string& t : c.Texts)
      before += static_cast<std::int64_t>(Encode(plain, t).size());
    std::int64_t best = 0;
    for (const std::string& piece : pieces) {
      const CompiledTable with = WithEntries(c.List, {{static_cast<std::uint8_t>(code), piece}});
      TextEncoder encoder(with);
      std::int64_t after = 0;
      for (const std::string& t : c.Texts)
        after += static_cast<std::int64_t>(Encode(encoder, t).size());
      best = std::max(best, before - after);
    }
    const std::vector<std::string_view> views(c.Texts.begin(), c.Texts.end());
    const DictionaryResult result =
        ChooseDictionary(table, views, {{static_cast<std::uint8_t>(code)}, length});
    std::int64_t after = 0;
    for (const std::int64_t a : result.After)
      after += a;
    EXPECT_EQ(before - after, best) << "round " << round;
  }
}

// Concentration Room's dialogue, through a table of its plain ASCII.
std::vector<std::string> CroomTexts() {
  std::ifstream in(fs::path(ROMSCRIBER_TEST_DATA) / "croom.nes", std::ios::binary);
  const std::string rom((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::vector<std::string> texts(1);
  for (std::size_t at = 0x24C2; at <= 0x27C4; ++at) {
    if (rom[at] == 0) {
      texts.back() += "<end>";
      texts.emplace_back();
    } else {
      texts.back() += rom[at];
    }
  }
  texts.pop_back();
  return texts;
}

EntryList AsciiTable() {
  EntryList list;
  for (int b = 0x20; b <= 0x7E; ++b)
    list.Entries.push_back({std::string(1, static_cast<char>(b)), std::string(1, static_cast<char>(b)), EntryKind::kText, 0, 0});
  list.Entries.push_back({"\x0A", "", EntryKind::kLineBreak, 0, 0});
  list.Entries.push_back({std::string(1, '\0'), "<end>", EntryKind::kEnd, 0, 0});
  return list;
}

EntryList TestTable(const char* name) {
  std::ifstream in(fs::path(ROMSCRIBER_TEST_DATA) / name, std::ios::binary);
  const std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  return LoadExtendedTable(text, "", name, {});
}

TEST(Dictionary, RealTablesAndARealGamesTextBeatThePairs) {
  Figures all;
  const auto add = [&](const char* what, const Figures& f) {
    Print(what, f);
    all.Before += f.Before;
    all.After += f.After;
    all.Reference += f.Reference;
    all.Entries += f.Entries;
  };
  const std::vector<std::string> croom = CroomTexts();
  ASSERT_EQ(croom.size(), 14u);
  for (const int length : {2, 4, 8}) {
    DictionaryOptions options{Codes(0x80, 0xFF), length};
    add(("croom.nes, up to " + std::to_string(length)).c_str(), Check(AsciiTable(), croom, options, true, "croom"));
    options.Codes = Codes(0x80, 0x8F);
    add(("croom.nes, 16 codes, up to " + std::to_string(length)).c_str(),
        Check(AsciiTable(), croom, options, true, "croom, 16 codes"));
  }
  std::mt19937 rng(5);
  for (const char* name : {"mgsgblz.tbl", "telefang-patch.tbl", "zelda-redux.tbl", "ffiv-psp-ptbr.tbl"}) {
    const EntryList list = TestTable(name);
    const std::vector<std::string> texts = TextsThrough(list, rng, 120, 60);
    for (const int length : {2, 6}) {
      const DictionaryOptions options{Codes(0x00, 0xFF), length};
      add(name, Check(list, texts, options, false, name));
    }
  }
  Print("real tables", all);
  EXPECT_LT(all.After, all.Reference);
}

TEST(Dictionary, CodesThatAKeyBeginsOrThatStandRawAreNotUsed) {
  EntryList list = AsciiTable();
  list.Entries.push_back({"\x92\x01", "dos", EntryKind::kText, 0, 0});
  list.Entries.push_back({"\x94", "[c]", EntryKind::kControl, 1, 0});
  const CompiledTable table = CompiledTable::Compile(list, ProjectStyle());
  // 90 stands raw; 91 is a control code's parameter, not raw; 93 stands raw elsewhere.
  const std::vector<std::string> texts(20, "the cat and the hat<$90> and [c]<$91>the rat<end>");
  const std::vector<std::string_view> views(texts.begin(), texts.end());
  const std::uint8_t elsewhere[] = {0x93};
  const DictionaryResult result = ChooseDictionary(table, views, {Codes(0x90, 0x95), 4}, {}, elsewhere);
  EXPECT_EQ(result.Taken, (std::vector<std::uint8_t>{0x92, 0x94}));
  EXPECT_EQ(result.Raw, (std::vector<std::uint8_t>{0x90, 0x93}));
  ASSERT_EQ(result.Entries.size(), 2u);
  EXPECT_EQ(result.Entries[0].Code, 0x91);
  EXPECT_EQ(result.Entries[1].Code, 0x95);
  // The first chosen saves most: " the " or "the " or similar; both are used.
  EXPECT_LT(result.After[0], result.Before[0]);
}

// A raw byte read within its own text: 42 stands raw at the start of the
// second text, though the first text's last byte and it together make the
// key 4142. Taking 42 as a code would make that text read "AB".
TEST(Dictionary, ARawByteCountsWithinItsOwnTextNotAcrossTheEndOfTheLast) {
  EntryList list;
  list.Entries.push_back({"\x41", "A", EntryKind::kText, 0, 0});
  list.Entries.push_back({"\x43", "B", EntryKind::kText, 0, 0});
  list.Entries.push_back({"\x41\x42", "X", EntryKind::kText, 0, 0});
  const CompiledTable table = CompiledTable::Compile(list, ProjectStyle());
  const std::vector<std::string_view> texts = {"A", "<$42>", "ABABABAB"};
  const DictionaryResult result = ChooseDictionary(table, texts, {Codes(0x42, 0x42), 2});
  EXPECT_EQ(result.Raw, (std::vector<std::uint8_t>{0x42}));
  EXPECT_TRUE(result.Entries.empty());
  EXPECT_EQ(result.After, result.Before);
}

TEST(Dictionary, ATextTheTableCannotGiveIsNamedAndNothingIsChosen) {
  const CompiledTable table = CompiledTable::Compile(AsciiTable(), ProjectStyle());
  const std::vector<std::string_view> texts = {"fine<end>", "fine too", "caf\xC3\xA9 no<end>"};
  const DictionaryResult result = ChooseDictionary(table, texts, {Codes(0x80, 0x8F), 2});
  ASSERT_TRUE(result.Failure.has_value());
  EXPECT_EQ(result.Failure->first, 2u);
  EXPECT_EQ(result.Failure->second.Column, 4u);
  EXPECT_EQ(result.Failure->second.Character, "\xC3\xA9");
  EXPECT_TRUE(result.Entries.empty());
}

TEST(Dictionary, LengthsOutOfRangeAreRefused) {
  const CompiledTable table = CompiledTable::Compile(AsciiTable(), ProjectStyle());
  const std::vector<std::string_view> texts = {"abab"};
  for (const int length : {-1, 0, 1, kMaxDictionaryLength + 1}) {
    try {
      ChooseDictionary(table, texts, {Codes(0x80, 0x8F), length});
      ADD_FAILURE() << length;
    } catch (const AppError& e) {
      EXPECT_EQ(e.Number(), kErrBadSetting);
    }
  }
}

TEST(Dictionary, AStopGivesTheEntriesChosenSoFarMeasured) {
  const std::vector<std::string> croom = CroomTexts();
  const std::vector<std::string_view> views(croom.begin(), croom.end());
  const CompiledTable table = CompiledTable::Compile(AsciiTable(), ProjectStyle());
  const DictionaryResult whole = ChooseDictionary(table, views, {Codes(0x80, 0xFF), 4});
  std::atomic<bool> stop{false};
  SearchControl control;
  control.Stop = &stop;
  double last = 0;
  int reports = 0;
  control.Progress = [&](double done) {
    EXPECT_GE(done, last);  // never goes back
    last = done;
    // Stops once some entries are chosen.
    if (++reports == 6) stop = true;
  };
  const DictionaryResult part = ChooseDictionary(table, views, {Codes(0x80, 0xFF), 4}, control);
  EXPECT_TRUE(part.Stopped);
  EXPECT_FALSE(whole.Stopped);
  EXPECT_GT(part.Entries.size(), 0u);
  EXPECT_LT(part.Entries.size(), whole.Entries.size());
  std::int64_t after = 0;
  for (std::size_t i = 0; i < croom.size(); ++i) {
    EXPECT_LE(part.After[i], part.Before[i]);
    after += part.After[i];
  }
  EXPECT_EQ(after, part.PathAfter);
}

// A table with the dictionary's entries, and with none, decodes any bytes
// as the table itself (classic tables, whose end and pause entries and empty
// texts show differently, included).
TEST(Dictionary, TheEnlargedTableReadsEveryByteAsTheTableDoes) {
  std::mt19937 rng(9);
  const std::vector<DictionaryEntry> entries = {{0xC0, "th", "\x54\x48"}, {0xC1, "e ", "\x45\x20"}};
  std::vector<std::pair<std::string, CompiledTable>> tables;
  tables.emplace_back("ascii", CompiledTable::Compile(AsciiTable(), ProjectStyle()));
  tables.emplace_back("random", CompiledTable::Compile(RandomCorpus(rng, {false, 30, 10}, 1, 10).List, ProjectStyle()));
  for (const char* name : {"mgsgblz.tbl", "ffiv-psp-ptbr.tbl"})
    tables.emplace_back(name, CompiledTable::Compile(TestTable(name), ProjectStyle()));
  Table classic;
  LoadTable("41=A\r\n42=\r\n/00\r\n*0A\r\nFE=&\r\n8140=the\r\n", classic);
  tables.emplace_back("classic", CompiledTable::FromClassic(classic, ProjectStyle()));
  for (const auto& [name, table] : tables) {
    SCOPED_TRACE(name);
    const CompiledTable same = EnlargedTable(table, {});
    for (int round = 0; round < 200; ++round) {
      std::string bytes(static_cast<std::size_t>(1 + rng() % 40), '\0');
      for (char& b : bytes)
        b = static_cast<char>(rng() % 4 == 0 ? 0xC0 + rng() % 2 : rng());
      const auto size = static_cast<std::int64_t>(bytes.size());
      const std::span<const std::uint8_t> span(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
      for (const bool stop : {true, false}) {
        const DecodedString a = DecodeString(table, span, 0, {size - 1, size, stop});
        const DecodedString b = DecodeString(same, span, 0, {size - 1, size, stop});
        ASSERT_EQ(a.Text, b.Text);
        ASSERT_EQ(a.Length, b.Length);
        ASSERT_EQ(a.Ended, b.Ended);
      }
    }
    // With entries on codes that begin no key, only those codes read otherwise.
    bool free = true;
    for (const TableEntry& e : table.Entries())
      free = free && (static_cast<std::uint8_t>(table.Key(e)[0]) & 0xFE) != 0xC0;
    if (!free) continue;
    const CompiledTable enlarged = EnlargedTable(table, entries);
    const std::uint8_t th[] = {0xC0};
    EXPECT_EQ(DecodeString(enlarged, th, 0, {0, 1, true}).Text, "th");
  }
}

}  // namespace
}  // namespace romscriber::testing
