#include "insert/encoder.h"
#include "insert/encode_text.h"

#include <gtest/gtest.h>

#include <optional>
#include <random>
#include <unordered_map>

#include "extract/engine.h"
#include "hex/hex.h"
#include "table/loader.h"

namespace romscriber::testing {
namespace {

using namespace std::string_literals;

// An extended table from lines "KEY=text" (an entry), "/KEY=text" (an end
// token), "*KEY=text" (a line break) and "$KEY=text,N" (a control code with N
// parameters), one per line; "\n" in a text is a line break.
CompiledTable Extended(const std::string& lines) {
  EntryList t;
  std::size_t at = 0;
  while (at < lines.size()) {
    const std::size_t end = lines.find('\n', at);
    std::string line = lines.substr(at, end - at);
    at = end + 1;
    Entry e;
    if (line[0] == '/' || line[0] == '*' || line[0] == '$') {
      e.Kind = line[0] == '/'   ? EntryKind::kEnd
               : line[0] == '*' ? EntryKind::kLineBreak
                                : EntryKind::kControl;
      line.erase(0, 1);
    }
    const std::size_t equals = std::min(line.find('='), line.size());
    for (std::size_t d = 0; d + 1 < equals; d += 2)
      e.Key.push_back(static_cast<char>(HexDigitValue(line[d]) * 16 + HexDigitValue(line[d + 1])));
    e.Text = equals < line.size() ? line.substr(equals + 1) : "";
    if (e.Kind == EntryKind::kControl) {
      const std::size_t comma = e.Text.find(',');
      e.Params = std::stoi(e.Text.substr(comma + 1));
      e.Text.erase(comma);
    }
    for (std::size_t b = e.Text.find("\\n"); b != std::string::npos; b = e.Text.find("\\n"))
      e.Text.replace(b, 2, "\n");
    t.Entries.push_back(e);
  }
  return CompiledTable::Compile(t, ProjectStyle());
}

CompiledTable Classic(const std::string& tbl) {
  Table t;
  LoadTable(tbl, t);
  return CompiledTable::FromClassic(t, ProjectStyle());
}

// What the dump reads from exactly these bytes.
DecodedString Decode(const CompiledTable& table, const std::string& bytes) {
  const auto size = static_cast<std::int64_t>(bytes.size());
  return DecodeString(table, {reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size()}, 0,
                      StringLimits{size - 1, size, true});
}

std::string Bytes(const std::variant<std::string, EncodeFailure>& result) {
  if (const auto* failure = std::get_if<EncodeFailure>(&result))
    return "failure at " + std::to_string(failure->Column) + ": " + failure->Character;
  return std::get<std::string>(result);
}

EncodeFailure Failure(const std::variant<std::string, EncodeFailure>& result) {
  const auto* failure = std::get_if<EncodeFailure>(&result);
  return failure ? *failure : EncodeFailure{0, "encoded as " + std::get<std::string>(result)};
}

// --- Named cases -----------------------------------------------------------

TEST(EncodeText, KeysThatCombineIntoALongerKeyAreAvoided) {
  // 41 42 reads as X: "AB" has no other way and is refused at its first character.
  const CompiledTable plain = Extended("41=A\n42=B\n4142=X\n");
  EXPECT_EQ(Failure(EncodeText(plain, "AB")), (EncodeFailure{1, "A"}));
  EXPECT_EQ(Bytes(EncodeText(plain, "X")), "\x41\x42");
  EXPECT_EQ(Bytes(EncodeText(plain, "BA")), "\x42\x41");
  // A second, longer way to give B is taken instead.
  const CompiledTable other = Extended("41=A\n42=B\n4142=X\n4300=B\n");
  EXPECT_EQ(Bytes(EncodeText(other, "AB")), "\x41\x43\x00"s);
  // A classic entry without text separates the two keys.
  const CompiledTable silent = Classic("41=A\n42=B\n4142=X\n00=\n");
  EXPECT_EQ(Bytes(EncodeText(silent, "AB")), "\x41\x00\x42"s);
}

TEST(EncodeText, FewestBytesRatherThanLongestTextFirst) {
  // Longest text first takes ab, c, d (3 bytes); a, bcd takes 2.
  const CompiledTable table = Extended("01=a\n02=ab\n03=bcd\n04=c\n05=d\n");
  EXPECT_EQ(Bytes(EncodeText(table, "abcd")), "\x01\x03");
  // Equal lengths: the first item that covers more text wins (ab, c over a, bc).
  const CompiledTable tie = Extended("01=a\n02=ab\n03=bc\n04=c\n");
  EXPECT_EQ(Bytes(EncodeText(tie, "abc")), "\x02\x04");
  // Same text, same length: the entry listed first.
  const CompiledTable twice = Extended("07=a\n05=a\n");
  EXPECT_EQ(Bytes(EncodeText(twice, "a")), "\x07");
}

TEST(EncodeText, RawTokensInEitherCase) {
  const CompiledTable table = Extended("41=A\n2F00=Z\n");
  EXPECT_EQ(Bytes(EncodeText(table, "A<$20><$2f>A<$C3>")), "\x41\x20\x2F\x41\xC3");
  // 2F then 00 would read as Z: a raw 2F may not come before a raw 00.
  EXPECT_EQ(Failure(EncodeText(table, "A<$2f><$00>")), (EncodeFailure{2, "<$2f>"}));
  // 41 has an entry, so it never reads raw.
  EXPECT_EQ(Failure(EncodeText(table, "A<$41>")), (EncodeFailure{2, "<$41>"}));
  // An entry without text shows its key raw, and gives it back.
  const CompiledTable empty = Extended("0701=\n");
  EXPECT_EQ(Bytes(EncodeText(empty, "<$07><$01>")), "\x07\x01");
  EXPECT_EQ(Bytes(EncodeText(empty, "<$07>")), "\x07");
}

TEST(EncodeText, UnknownCharacterNamedByItsColumnInCharacters) {
  // Columns count UTF-8 characters: é is the third, after two-byte á.
  const CompiledTable table = Extended("41=á\n42=b\n");
  EXPECT_EQ(Failure(EncodeText(table, "ábéb")), (EncodeFailure{3, "é"}));
  EXPECT_EQ(Failure(EncodeText(table, "ááb\nb")), (EncodeFailure{4, "\n"}));
}

TEST(EncodeText, EndTokensOnlyAtTheEnd) {
  const CompiledTable table = Extended("41=A\n/FF=<END>\n3C=<\n45=E\n4E=N\n44=D\n3E=>\n");
  // A text that ends with the end token's text ends with its key.
  EXPECT_EQ(Bytes(EncodeText(table, "AA<END>")), "\x41\x41\xFF");
  // In the middle the same text is spelled out.
  EXPECT_EQ(Bytes(EncodeText(table, "<END>A")), "\x3C\x45\x4E\x44\x3E\x41");
  // An end token that a longer key would swallow cannot end the string.
  const CompiledTable swallowed = Extended("41=A\n/FF\n41FF=B\n");
  EXPECT_EQ(Failure(EncodeText(swallowed, "A<$FF>")).Column, 1u);
  EXPECT_EQ(Bytes(EncodeText(swallowed, "B<$FF>")), "\x41\xFF\xFF");
}

TEST(EncodeText, ControlCodesLineBreaksAndLongKeys) {
  // A control code takes its parameters from the raw tokens after its text,
  // whatever their bytes mean elsewhere; fewer only at the end.
  const CompiledTable table = Extended("41=A\n$10=[c],2\n*0A\n");
  EXPECT_EQ(Bytes(EncodeText(table, "[c]<$41><$0a>A\nA")), "\x10\x41\x0A\x41\x0A\x41");
  EXPECT_EQ(Bytes(EncodeText(table, "A[c]<$41>")), "\x41\x10\x41");
  EXPECT_EQ(Failure(EncodeText(table, "[c]<$41>A")).Column, 1u);
  // A long key kept whole in the state: 01 02 03 04 would read as the long key.
  const CompiledTable longKey = Extended("01=a\n02=b\n03=c\n04=d\n01020304=X\n0509=d\n");
  EXPECT_EQ(Bytes(EncodeText(longKey, "abcd")), "\x01\x02\x03\x05\x09");
  EXPECT_EQ(Bytes(EncodeText(longKey, "Xabc")), "\x01\x02\x03\x04\x01\x02\x03");
}

// --- Against a brute-force search ------------------------------------------

// The bytes keys use, and one byte that begins no key.
constexpr std::uint8_t kKeyBytes[] = {0x10, 0x11, 0x12, 0x13};
constexpr std::uint8_t kFreeByte = 0x20;

std::string RandomKey(std::mt19937& rng, std::size_t values) {
  std::string key(1 + rng() % 3, '\0');
  for (char& c : key)
    c = static_cast<char>(kKeyBytes[rng() % values]);
  return key;
}

std::string RandomText(std::mt19937& rng, int maxPieces) {
  static const char* const kPieces[] = {"a", "b", "c", "ab", "\n", "<$10>", "<$20>", "<$11>"};
  std::string text;
  const int pieces = 1 + static_cast<int>(rng() % static_cast<unsigned>(maxPieces));
  for (int i = 0; i < pieces; ++i)
    text += kPieces[rng() % 8];
  return text;
}

// An extended table of 1 to 6 entries of every kind over 3 or 4 byte values.
CompiledTable RandomExtended(std::mt19937& rng, std::size_t values) {
  EntryList t;
  const int count = 1 + static_cast<int>(rng() % 6);
  for (int i = 0; i < count; ++i) {
    Entry e;
    e.Key = RandomKey(rng, values);
    const unsigned textKind = rng() % 4;
    e.Text = textKind == 0 ? "" : RandomText(rng, 2).substr(0, textKind == 1 ? 1 : 2);
    if (e.Text.find('<') != std::string::npos) e.Text = "c";
    const unsigned kind = rng() % 8;
    if (kind == 0) e.Kind = EntryKind::kEnd;
    if (kind == 1) e.Kind = EntryKind::kLineBreak;
    if (kind == 2) {
      e.Kind = EntryKind::kControl;
      e.Params = 1;
    }
    t.Entries.push_back(e);
  }
  return CompiledTable::Compile(t, ProjectStyle());
}

// A classic table of 1 to 6 entries, some without text.
CompiledTable RandomClassic(std::mt19937& rng, std::size_t values) {
  static const char* const kTexts[] = {"a", "b", "ab", "", "/", "*", "c"};
  std::string tbl;
  const int count = 1 + static_cast<int>(rng() % 6);
  for (int i = 0; i < count; ++i) {
    const std::string key = RandomKey(rng, values);
    std::string text = kTexts[rng() % 7];
    // Classic end and line-break texts belong to one-byte codes only.
    if (key.size() > 1 && (text == "/" || text == "*")) text = "a";
    for (char c : key) {
      static const char kDigits[] = "0123456789ABCDEF";
      tbl += kDigits[static_cast<std::uint8_t>(c) >> 4];
      tbl += kDigits[c & 15];
    }
    tbl += "=" + text + "\n";
  }
  return Classic(tbl);
}

bool EndsWithEndText(const CompiledTable& table, const std::string& text) {
  for (const TableEntry& e : table.Entries()) {
    const std::string_view end = table.Shown(e);
    if (e.Kind == TokenKind::kEnd && end.size() <= text.size() &&
        text.compare(text.size() - end.size(), end.size(), end) == 0)
      return true;
  }
  return false;
}

// The shortest byte string (the first in order of length, then of bytes) that
// reads back as each text: every string of up to `maxLength` bytes over the
// key bytes and the free byte, decoded whole.
std::unordered_map<std::string, std::string> ShortestByText(const CompiledTable& table,
                                                            std::size_t values,
                                                            std::size_t maxLength) {
  std::vector<std::uint8_t> alphabet(kKeyBytes, kKeyBytes + values);
  alphabet.push_back(kFreeByte);
  std::unordered_map<std::string, std::string> shortest;
  shortest.emplace("", "");
  for (std::size_t length = 1; length <= maxLength; ++length) {
    std::vector<std::size_t> digits(length, 0);
    for (;;) {
      std::string bytes;
      for (std::size_t d : digits)
        bytes.push_back(static_cast<char>(alphabet[d]));
      const DecodedString decoded = Decode(table, bytes);
      if (decoded.Length == static_cast<std::int64_t>(length) &&
          decoded.Ended == EndsWithEndText(table, decoded.Text))
        shortest.emplace(decoded.Text, bytes);
      std::size_t d = length;
      while (d > 0 && ++digits[d - 1] == alphabet.size())
        digits[--d] = 0;
      if (d == 0) break;
    }
  }
  return shortest;
}

TEST(EncodeText, MatchesBruteForceOnSmallTables) {
  std::mt19937 rng(20240611);
  constexpr std::size_t kMaxLength = 5;
  int encoded = 0;
  int refused = 0;
  for (int round = 0; round < 120; ++round) {
    const std::size_t values = 3 + round % 2;
    const CompiledTable table =
        round % 3 == 2 ? RandomClassic(rng, values) : RandomExtended(rng, values);
    const auto shortest = ShortestByText(table, values, kMaxLength);
    TextEncoder encoder(table);
    for (int t = 0; t < 30; ++t) {
      std::string text;
      if (t % 2 == 0) {
        std::string bytes(1 + rng() % 7, '\0');
        for (char& c : bytes)
          c = static_cast<char>(rng() % 5 == 0 ? kFreeByte : kKeyBytes[rng() % values]);
        text = Decode(table, bytes).Text;
      } else {
        text = RandomText(rng, 4);
      }
      SCOPED_TRACE("round " + std::to_string(round) + " text \"" + text + "\"");
      const auto found = shortest.find(text);
      const auto result = encoder.Encode(text);
      if (const auto* bytes = std::get_if<std::string>(&result)) {
        ++encoded;
        if (!bytes->empty()) {
          const DecodedString back = Decode(table, *bytes);
          EXPECT_EQ(back.Text, text);
          EXPECT_EQ(back.Length, static_cast<std::int64_t>(bytes->size()));
          EXPECT_EQ(back.Ended, EndsWithEndText(table, text));
        }
        if (bytes->size() <= kMaxLength) {
          ASSERT_NE(found, shortest.end()) << "no byte string this short reads back";
          EXPECT_EQ(bytes->size(), found->second.size());
        } else {
          EXPECT_EQ(found, shortest.end()) << "a shorter one exists: " << found->second;
        }
      } else {
        ++refused;
        EXPECT_EQ(found, shortest.end())
            << "refused, yet it reads back from " << TextToHex(found->second);
        const EncodeFailure failure = std::get<EncodeFailure>(result);
        EXPECT_GE(failure.Column, 1u);
        EXPECT_LE(failure.Column, text.size());
        EXPECT_NE(text.find(failure.Character), std::string::npos);
      }
    }
  }
  // Both outcomes are exercised.
  EXPECT_GT(encoded, 1000);
  EXPECT_GT(refused, 200);
}

// Encoding a list in runs on several cores gives what encoding each text in
// turn gives: the same bytes in order, and the same first text refused.
TEST(EncodeAll, RunsAtOnceGiveWhatOneAtATimeGives) {
  std::mt19937 rng(77);
  int failures = 0;
  for (int round = 0; round < 40; ++round) {
    const CompiledTable table = round % 3 == 2 ? RandomClassic(rng, 3) : RandomExtended(rng, 3);
    TextEncoder single(table);
    std::vector<std::string> owned(static_cast<std::size_t>(rng() % 300));
    // Texts read from bytes, which can all be given, and now and then one
    // that may not.
    for (std::string& text : owned) {
      if (rng() % 100 == 0) {
        text = RandomText(rng, 6);
        continue;
      }
      std::string from(1 + rng() % 7, '\0');
      for (char& c : from)
        c = static_cast<char>(rng() % 5 == 0 ? kFreeByte : kKeyBytes[rng() % 3]);
      text = Decode(table, from).Text;
    }
    const std::vector<std::string_view> texts(owned.begin(), owned.end());
    // One at a time, up to the first refusal.
    std::string bytes;
    std::vector<std::size_t> ends;
    std::optional<std::pair<std::size_t, EncodeFailure>> first;
    for (std::size_t k = 0; k < texts.size() && !first; ++k) {
      const auto result = single.Encode(texts[k]);
      if (const auto* failure = std::get_if<EncodeFailure>(&result)) {
        first = {k, *failure};
      } else {
        bytes += std::get<std::string>(result);
        ends.push_back(bytes.size());
      }
    }
    if (first) ++failures;
    for (const std::size_t runs : {1u, 2u, 3u, 7u, 0u}) {
      SCOPED_TRACE("round " + std::to_string(round) + ", " + std::to_string(runs) + " runs");
      TextEncoder encoder(table);
      const EncodedTexts all = EncodeAll(encoder, texts, runs);
      EXPECT_EQ(all.Bytes, bytes);
      EXPECT_EQ(all.Ends, ends);
      ASSERT_EQ(all.Failure.has_value(), first.has_value());
      if (first) {
        EXPECT_EQ(all.Failed, first->first);
        EXPECT_EQ(*all.Failure, first->second);
      }
    }
  }
  // Lists with and without a refusal are both met.
  EXPECT_GT(failures, 5);
  EXPECT_LT(failures, 35);
}

}  // namespace
}  // namespace romscriber::testing
