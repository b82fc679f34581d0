// The shortest path through a text's items against the encoder itself: the
// same bytes when no key begins another, never more otherwise, and with
// extra one-byte entries the same as the encoder through the table that has
// them.
#include "fit/item_graph.h"

#include <gtest/gtest.h>

#include <random>
#include <variant>

#include "corpora.h"
#include "insert/encoder.h"

namespace romscriber::testing {
namespace {

std::int64_t EncodedSize(const CompiledTable& table, const std::string& text) {
  TextEncoder encoder(table);
  const auto bytes = encoder.Encode(text);
  return std::holds_alternative<std::string>(bytes)
             ? static_cast<std::int64_t>(std::get<std::string>(bytes).size())
             : -1;
}

// Pieces of the texts (2 to 6 bytes of letters) as extra entries, on bytes
// that begin no key and stand raw nowhere.
std::vector<std::pair<std::uint8_t, std::string>> ExtraEntries(std::mt19937& rng, const Corpus& c) {
  std::vector<bool> used(256, false);
  for (const Entry& e : c.List.Entries)
    used[static_cast<std::uint8_t>(e.Key[0])] = true;
  for (const std::uint8_t b : c.RawBytes)
    used[b] = true;
  std::vector<std::pair<std::uint8_t, std::string>> out;
  for (std::size_t b = 0; b < 256 && out.size() < 12; ++b) {
    if (used[b]) continue;
    const std::string& text = c.Texts[rng() % c.Texts.size()];
    const std::size_t at = rng() % text.size();
    std::string piece = text.substr(at, 2 + rng() % 5);
    if (piece.size() < 2 || piece.find_first_of("<>[]$\n") != std::string::npos) continue;
    // Whole UTF-8 characters only.
    if ((static_cast<std::uint8_t>(piece[0]) & 0xC0) == 0x80 ||
        (at + piece.size() < text.size() && (static_cast<std::uint8_t>(text[at + piece.size()]) & 0xC0) == 0x80))
      continue;
    out.emplace_back(static_cast<std::uint8_t>(b), piece);
  }
  return out;
}

TEST(ItemGraph, ShortestPathIsTheEncodersBytesWhenNoKeyBeginsAnother) {
  std::mt19937 rng(7);
  for (int round = 0; round < 30; ++round) {
    const Corpus c = RandomCorpus(rng, {true, 20 + round, 8}, 40, 60);
    const CompiledTable table = CompiledTable::Compile(c.List, ProjectStyle());
    const ItemModel model(table);
    EntryList enlargedList = c.List;
    std::vector<std::string> extra;
    for (const auto& [code, text] : ExtraEntries(rng, c)) {
      Entry e;
      e.Key = std::string(1, static_cast<char>(code));
      e.Text = text;
      enlargedList.Entries.push_back(e);
      extra.push_back(text);
    }
    const CompiledTable enlarged = CompiledTable::Compile(enlargedList, ProjectStyle());
    for (const std::string& text : c.Texts) {
      SCOPED_TRACE(text);
      const std::int64_t plain = EncodedSize(table, text);
      ASSERT_GE(plain, 0);
      EXPECT_EQ(FewestBytes(model, text), plain);
      EXPECT_EQ(FewestBytes(model, text, extra), EncodedSize(enlarged, text));
    }
  }
}

TEST(ItemGraph, ShortestPathNeverExceedsTheEncodersBytes) {
  std::mt19937 rng(11);
  int shorter = 0;
  for (int round = 0; round < 30; ++round) {
    const Corpus c = RandomCorpus(rng, {false, 20 + round, 8}, 40, 60);
    const CompiledTable table = CompiledTable::Compile(c.List, ProjectStyle());
    const ItemModel model(table);
    for (const std::string& text : c.Texts) {
      SCOPED_TRACE(text);
      const std::int64_t encoded = EncodedSize(table, text);
      const std::int64_t path = FewestBytes(model, text);
      if (encoded < 0) continue;
      ASSERT_GE(path, 0);
      EXPECT_LE(path, encoded);
      shorter += path < encoded;
    }
  }
  // The tables' keys that begin others do bite somewhere.
  EXPECT_GT(shorter, 0);
}

TEST(ItemGraph, EndTokensControlCodesAndRawBytesAsTheEncoderTakesThem) {
  EntryList list;
  const auto add = [&](std::string key, std::string text, EntryKind kind, int params = 0) {
    Entry e;
    e.Key = std::move(key);
    e.Text = std::move(text);
    e.Kind = kind;
    e.Params = params;
    list.Entries.push_back(e);
  };
  add("\x41", "a", EntryKind::kText);
  add("\x42", "b", EntryKind::kText);
  add("\xFF", "<fin>", EntryKind::kEnd);
  add("\xF0", "[c]", EntryKind::kControl, 2);
  add("\xE0\x01", "ab", EntryKind::kText);
  add("\xFE", "", EntryKind::kLineBreak);
  const CompiledTable table = CompiledTable::Compile(list, ProjectStyle());
  const ItemModel model(table);
  for (const std::string text :
       {"ab<fin>", "a<fin>b", "a[c]<$01><$02>b", "a[c]<$01>", "a[c]<$01>b", "<$10>a", "<$41>",
        "<$4a>", "a\nb<fin>", "<fin>", "", "ab<$e0><fin>", "[c]"}) {
    SCOPED_TRACE(text);
    EXPECT_EQ(FewestBytes(model, text), EncodedSize(table, text));
  }
}

}  // namespace
}  // namespace romscriber::testing
