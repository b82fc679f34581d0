#include "table/extended_loader.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <iconv.h>

#include <chrono>
#include <cstdio>
#include <map>
#include <ostream>
#include <random>
#include <set>
#include <sstream>

#include "base/app_error.h"
#include "extract/temp_folder.h"
#include "table/kept_converters.h"

namespace romscriber {

// Readable failures for entry comparisons.
void PrintTo(const Entry& e, std::ostream* os) {
  *os << "{line " << e.Line << ", kind " << static_cast<int>(e.Kind) << ", key ";
  for (unsigned char c : e.Key)
    *os << "0123456789ABCDEF"[c >> 4] << "0123456789ABCDEF"[c & 15];
  *os << ", params " << e.Params << ", text \"" << e.Text << "\"}";
}

namespace testing {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using K = EntryKind;
using namespace std::string_literals;

struct Loaded {
  std::vector<Entry> entries;
  std::vector<std::string> warnings;
};

Loaded Load(std::string_view bytes, std::string_view encoding = "") {
  Loaded out;
  out.entries = LoadExtendedTable(bytes, encoding, "t.tbl", [&](const std::string& w) {
                  out.warnings.push_back(w);
                }).Entries;
  return out;
}

Entry E(std::string key, std::string text, int line, K kind = K::kText, int params = 0) {
  return Entry{std::move(key), std::move(text), kind, params, line};
}

// Line numbers named by each warning, in order.
std::vector<int> WarnedLines(const std::vector<std::string>& warnings) {
  std::vector<int> lines;
  const std::string named = "t.tbl, línea ";
  for (const auto& w : warnings) {
    const std::size_t at = w.find(named);
    lines.push_back(at == std::string::npos ? -1 : std::stoi(w.substr(at + named.size())));
  }
  return lines;
}

// The AppError a load throws (number 0 when it loads).
AppError LoadError(std::string_view bytes, std::string_view encoding) {
  try {
    Load(bytes, encoding);
  } catch (const AppError& e) {
    return e;
  }
  return AppError(0, "");
}

// UTF-8 text converted to `encoding` by iconv, to make fixtures in other
// encodings from readable ones.
std::string Encode(std::string_view utf8, const char* encoding) {
  iconv_t cd = iconv_open(encoding, "UTF-8");
  EXPECT_NE(cd, reinterpret_cast<iconv_t>(-1)) << encoding;
  std::string out(utf8.size() * 4 + 8, '\0');
  char* in = const_cast<char*>(utf8.data());
  std::size_t inLeft = utf8.size();
  char* outPos = out.data();
  std::size_t outLeft = out.size();
  EXPECT_NE(iconv(cd, &in, &inLeft, &outPos, &outLeft), static_cast<std::size_t>(-1)) << encoding;
  iconv_close(cd);
  out.resize(out.size() - outLeft);
  return out;
}

// --- Line kinds ---------------------------------------------------------------

TEST(ExtendedLoader, EveryLineKind) {
  // Comments of three kinds and blank lines leave nothing; `/<END>` has no key
  // and is passed over silently; everything else is one entry of its kind.
  const Loaded t = Load(
      "# comment\n"
      "; comment\n"
      "// comment\n"
      "\n"
      "41=A\n"
      "8140=全角\n"
      "/FF=[end]\n"
      "/FE\n"
      "*0A=<br>\n"
      "*0B\n"
      "$F0=[area],1\n"
      "$F1=[item], lo , hi \n"
      "$F2=[nl]\n"
      "/<END>\n"
      "/\n");
  EXPECT_TRUE(t.warnings.empty());
  EXPECT_THAT(
      t.entries,
      ElementsAre(E("A", "A", 5), E("\x81\x40", "全角", 6), E("\xFF", "[end]", 7, K::kEnd),
                  E("\xFE", "", 8, K::kEnd), E("\x0A", "<br>", 9, K::kLineBreak),
                  E("\x0B", "", 10, K::kLineBreak), E("\xF0", "[area]", 11, K::kControl, 1),
                  E("\xF1", "[item]", 12, K::kControl, 2), E("\xF2", "[nl]", 13, K::kControl, 0)));
}

TEST(ExtendedLoader, LineEndsOfEveryKindGiveTheSameLines) {
  // LF, CR LF, lone CR, a mix, and no end after the last line: same entries,
  // same line numbers (line 3 is blank, line 4 a bad line).
  const std::vector<std::string> lines = {"41=A", "*0A", "", "bad", "42=B "};
  const std::vector<std::vector<std::string>> ends = {
      {"\n", "\n", "\n", "\n", "\n"}, {"\r\n", "\r\n", "\r\n", "\r\n", "\r\n"},
      {"\r", "\r", "\r", "\r", "\r"}, {"\r\n", "\n", "\r", "\r\n", ""},
      {"\n", "\n", "\r", "\n", ""},   {"\r", "\r\n", "\n", "\r", "\n"},
  };
  for (const auto& e : ends) {
    std::string file;
    for (std::size_t i = 0; i < lines.size(); ++i)
      file += lines[i] + e[i];
    const Loaded t = Load(file);
    EXPECT_THAT(t.entries,
                ElementsAre(E("A", "A", 1), E("\x0A", "", 2, K::kLineBreak), E("B", "B ", 5)))
        << ::testing::PrintToString(file);
    EXPECT_THAT(WarnedLines(t.warnings), ElementsAre(4));
  }
  // CR CR LF is a lone CR, then a CR LF: an empty line between.
  EXPECT_THAT(WarnedLines(Load("41=A\r\r\nbad").warnings), ElementsAre(3));
  EXPECT_TRUE(Load("").entries.empty());
}

TEST(ExtendedLoader, TextIsEverythingAfterTheFirstEqualsSign) {
  // Spaces count, later "=" belong to the text, an empty text is a text,
  // and bytes such as NUL are kept.
  const Loaded t = Load("41= a = b \n42==\n43=\n44=x\0y\n"s);
  EXPECT_THAT(t.entries,
              ElementsAre(E("A", " a = b ", 1), E("B", "=", 2), E("C", "", 3), E("D", "x\0y"s, 4)));
}

TEST(ExtendedLoader, BackslashNIsTheOnlyEscape) {
  // \n is a line break in every kind of text; \t, \r and a lone backslash stay.
  const Loaded t = Load(
      "41=a\\nb\\n\n"
      "42=\\t\\r\\\n"
      "43=\\\\n\n"
      "/FF=[end]\\n\\n\n"
      "$F6=[person]\\n,id\n");
  EXPECT_THAT(t.entries, ElementsAre(E("A", "a\nb\n", 1), E("B", "\\t\\r\\", 2), E("C", "\\\n", 3),
                                     E("\xFF", "[end]\n\n", 4, K::kEnd),
                                     E("\xF6", "[person]\n", 5, K::kControl, 1)));
}

TEST(ExtendedLoader, KeysOfTwoToSixtyFourHexDigits) {
  // Either letter case gives the same bytes; 64 digits is the longest key.
  const std::string longest(64, 'a');
  const Loaded t = Load("aBcD=x\n" + longest + "=long\n" + longest + "00=too long\n123=odd\n");
  EXPECT_THAT(t.entries, ElementsAre(E("\xAB\xCD", "x", 1), E(std::string(32, '\xAA'), "long", 2)));
  ASSERT_EQ(t.warnings.size(), 2u);
  EXPECT_THAT(t.warnings[0], HasSubstr("t.tbl, línea 3"));
  EXPECT_THAT(t.warnings[0], HasSubstr("64"));
  EXPECT_THAT(t.warnings[1], HasSubstr("t.tbl, línea 4"));
  EXPECT_THAT(t.warnings[1], HasSubstr("123"));
}

TEST(ExtendedLoader, ControlCodesCountNumberOrNames) {
  // ",N" is a count 0..255 (spaces around it do not count); anything else
  // after the label is a list of names of one byte each; no comma, none.
  const Loaded t = Load(
      "$10=[a], 3 \n"
      "$11=[b],0\n"
      "$12=[c],255\n"
      "$13=[d],lo,hi\n"
      "$14=[e], 2 , 3\n"
      "$15=[f] x\n"
      "$16=\n"
      "$17=[g],x2\n"
      "$20=[bad],256\n"
      "$21=[bad],lo,,hi\n"
      "$22=[bad],\n"
      "$23\n"
      "$=[bad]\n");
  EXPECT_THAT(
      t.entries,
      ElementsAre(E("\x10", "[a]", 1, K::kControl, 3), E("\x11", "[b]", 2, K::kControl, 0),
                  E("\x12", "[c]", 3, K::kControl, 255), E("\x13", "[d]", 4, K::kControl, 2),
                  E("\x14", "[e]", 5, K::kControl, 2), E("\x15", "[f] x", 6, K::kControl, 0),
                  E("\x16", "", 7, K::kControl, 0), E("\x17", "[g]", 8, K::kControl, 1)));
  EXPECT_THAT(WarnedLines(t.warnings), ElementsAre(9, 10, 11, 12, 13));
}

TEST(ExtendedLoader, EndAndLineBreakTokensWithAndWithoutText) {
  // "/" with no key is an end text of no bytes (silent); "*" needs a key.
  const Loaded t = Load("/00\n/01=\n/02=x\n*0D\n*0E=y\n/end\n/FFx\n/=x\n*\n*br\n*0=x\n");
  EXPECT_THAT(t.entries,
              ElementsAre(E(std::string(1, '\0'), "", 1, K::kEnd), E("\x01", "", 2, K::kEnd),
                          E("\x02", "x", 3, K::kEnd), E("\x0D", "", 4, K::kLineBreak),
                          E("\x0E", "y", 5, K::kLineBreak)));
  EXPECT_THAT(WarnedLines(t.warnings), ElementsAre(8, 9, 10, 11));
}

TEST(ExtendedLoader, LinesThatAreNoEntryAreReportedAndPassedOver) {
  // Table switches, directives, a space before the key or the "=", a key
  // with no "=", digits that are not hex: one warning each, nothing stored.
  const Loaded t = Load(
      "41=A\n!42=x\n@43=y\n.format\n 44=z\n45 =z\n46\n4G=z\nG1=z\n=z\n"
      "#ok\n47=B");
  EXPECT_THAT(t.entries, ElementsAre(E("A", "A", 1), E("G", "B", 12)));
  EXPECT_THAT(WarnedLines(t.warnings), ElementsAre(2, 3, 4, 5, 6, 7, 8, 9, 10));
  for (const auto& w : t.warnings)
    EXPECT_TRUE(w.starts_with("t.tbl, línea ")) << w;
}

TEST(ExtendedLoader, KeyDefinedTwiceKeepsItsFirstDefinition) {
  // All kinds share one key space; each later definition is reported with
  // both line numbers, and the key in upper-case hex.
  const Loaded t = Load("0a=A\n/0A\n*0a=x\n$0A=y,1\n8140=a\n0A=z\n8140=b\n814000=c\n");
  EXPECT_THAT(t.entries,
              ElementsAre(E("\x0A", "A", 1), E("\x81\x40", "a", 5), E("\x81\x40\x00"s, "c", 8)));
  ASSERT_THAT(WarnedLines(t.warnings), ElementsAre(2, 3, 4, 6, 7));
  EXPECT_THAT(t.warnings[0], HasSubstr("0A ya está definida en la línea 1"));
  EXPECT_THAT(t.warnings[4], HasSubstr("8140 ya está definida en la línea 5"));
  // A line passed over defines nothing: the next definition is the first.
  EXPECT_THAT(Load("123=bad\n$12=x,999\n12=ok\n").entries, ElementsAre(E("\x12", "ok", 3)));
}

// --- Text of the file -----------------------------------------------------------

TEST(ExtendedLoader, ByteOrderMarkDecidesTheEncoding) {
  const std::string original = "41=é\n8740=①\n/FF=[fin]\n";
  const std::vector<Entry> expected = Load(original).entries;
  ASSERT_EQ(expected.size(), 3u);
  // The mark is not part of line 1 (else "\uFEFF41" would be no entry), and
  // it wins over the name given.
  for (const char* named : {"", "windows-1251", "shift_jis", "utf-16be"}) {
    EXPECT_EQ(Load("\xEF\xBB\xBF" + original, named).entries, expected) << named;
    EXPECT_EQ(Load("\xFF\xFE" + Encode(original, "UTF-16LE"), named).entries, expected) << named;
    EXPECT_EQ(Load("\xFE\xFF" + Encode(original, "UTF-16BE"), named).entries, expected) << named;
  }
  // Without a mark, "utf-16" is little-endian, in any letter case.
  EXPECT_EQ(Load(Encode(original, "UTF-16LE"), "UTF-16").entries, expected);
  EXPECT_EQ(Load(Encode(original, "UTF-16BE"), "utf-16be").entries, expected);
}

TEST(ExtendedLoader, ShiftJisIsReadAsCp932) {
  // 87 40 is ①, an NEC symbol of CP932 that plain Shift-JIS lacks.
  const std::string bytes = "8740=\x87\x40\r\n82A0=\x82\xA0\\n\r\n";
  for (const char* name : {"shift_jis", "Shift_JIS", "shift-jis", "SJIS", "cp932"}) {
    EXPECT_THAT(Load(bytes, name).entries,
                ElementsAre(E("\x87\x40", "①", 1), E("\x82\xA0", "あ\n", 2)))
        << name;
  }
}

TEST(ExtendedLoader, OtherEightBitAndMultiByteEncodings) {
  // The same table in each encoding loads to the same entries.
  EXPECT_THAT(Load("C0=\xC0\n", "windows-1251").entries, ElementsAre(E("\xC0", "А", 1)));
  EXPECT_THAT(Load("E9=\xE9\n", "ISO-8859-1").entries, ElementsAre(E("\xE9", "é", 1)));
  EXPECT_THAT(Load("A4A2=\xA4\xA2\n", "EUC-JP").entries, ElementsAre(E("\xA4\xA2", "あ", 1)));
}

TEST(ExtendedLoader, BytesInvalidInTheEncodingRefuseTheTableNamingTheLine) {
  struct Case {
    std::string bytes;
    const char* encoding;
    int line;
  };
  const std::vector<Case> cases = {
      {"41=A\n42=\xC0\x80\n", "", 2},               // overlong UTF-8
      {"41=A\r\n\r\n43=\xED\xA0\x80", "", 3},       // a surrogate
      {"41=A\r42=\xF4\x90\x80\x80\n", "utf-8", 2},  // above U+10FFFF
      {"41=\xF8\x88\x80\x80\x80", "UTF8", 1},       // a five-byte form
      {"41=A\r\n42=\x80", "", 2},                   // a lone continuation byte
      {"41=A\n42=B\n43=\xE3\x81", "", 3},           // cut off by the end of the file
      {"\xEF\xBB\xBF"
       "41=A\n\xFF",
       "shift_jis", 2},                         // UTF-8 by its mark
      {"41=A\n42=\x81\x20\n", "shift_jis", 2},  // a lead byte without its trail
      {"41=A\n42=\x98\n", "windows-1251", 2},   // a byte with no character
      {"\xFF\xFE" + Encode("41=A\n\n", "UTF-16LE") + std::string("\x00\xD8", 2), "", 3},
      {Encode("41=A\r\n42=B", "UTF-16BE") + '\0', "utf-16be", 2},  // odd length
  };
  for (const Case& c : cases) {
    const AppError e = LoadError(c.bytes, c.encoding);
    EXPECT_EQ(e.Number(), kErrBadInput) << ::testing::PrintToString(c.bytes);
    EXPECT_THAT(e.Description(), HasSubstr("t.tbl, línea " + std::to_string(c.line) + ","))
        << ::testing::PrintToString(c.bytes);
  }
}

TEST(ExtendedLoader, UnknownEncodingIsARefusedSetting) {
  for (const char* name : {"klingon", "utf-8//IGNORE", "UTF-8//TRANSLIT", "sjis "}) {
    EXPECT_FALSE(IsKnownEncoding(name)) << name;
    const AppError e = LoadError("41=A\n", name);
    EXPECT_EQ(e.Number(), kErrBadSetting) << name;
    EXPECT_THAT(e.Description(), HasSubstr(std::string("«") + name + "»"));
  }
  for (const char* name : {"", "utf-8", "UTF-8", "Shift_JIS", "sjis", "shift-jis", "CP932",
                           "euc-jp", "Windows-1251", "iso-8859-1", "utf-16", "UTF-16BE"})
    EXPECT_TRUE(IsKnownEncoding(name)) << name;
  // Refused before the file is read: a missing file gives no error 53.
  try {
    LoadExtendedTableFile("/nonexistent/t.tbl", "klingon", {});
    FAIL() << "no error";
  } catch (const AppError& e) {
    EXPECT_EQ(e.Number(), kErrBadSetting);
  }
}

// --- Properties -------------------------------------------------------------------

// A random table of good and bad lines, every character of it in `alphabet`
// (so that it can be written in the encoding under test).
std::string RandomTable(std::mt19937& rng, const std::vector<std::string>& alphabet) {
  static const std::vector<std::string> heads = {"",  "",  "",  "",   "/", "/", "*", "*",  "$", "$",
                                                 "$", "#", ";", "//", " ", "!", "=", "/=", "@"};
  static const std::vector<std::string> keys = {"41",  "41", "8140", "0a", "0A", "FFFFFF",
                                                "123", "",   "4G",   "00", "c3", "C3A9"};
  static const std::vector<std::string> tails = {",2", ", 1 ",    ",lo,hi", ",300",
                                                 ",",  ",lo,,hi", ",0255"};
  static const std::vector<std::string> ends = {"\n", "\r\n", "\r"};
  auto pick = [&](const auto& list) -> const auto& {
    return list[rng() % list.size()];
  };
  std::string file;
  const int lines = 1 + rng() % 12;
  for (int i = 0; i < lines; ++i) {
    file += pick(heads);
    file += pick(keys);
    if (rng() % 6) file += "=";
    const int chars = rng() % 6;
    for (int c = 0; c < chars; ++c)
      file += pick(alphabet);
    if (rng() % 3 == 0) file += pick(tails);
    if (i + 1 < lines || rng() % 2) file += pick(ends);
  }
  return file;
}

TEST(ExtendedLoaderProperty, RandomTablesLoadAlikeInEveryEncoding) {
  const std::vector<std::string> common = {"a", "Z", " ", "=", ",", "\\n", "\\", "1", "[x]"};
  struct Target {
    const char* iconvName;  // to write the file
    std::string mark;
    const char* named;  // as the user names it
    std::vector<std::string> extra;
  };
  const std::vector<Target> targets = {
      {"UTF-8", "\xEF\xBB\xBF", "", {"é", "あ", "①", "Я", "😀"}},
      {"UTF-16LE", "\xFF\xFE", "", {"é", "あ", "①", "😀"}},
      {"UTF-16BE", "\xFE\xFF", "windows-1251", {"é", "あ", "😀"}},
      {"UTF-16LE", "", "utf-16", {"あ", "①", "😀"}},
      {"CP932", "", "shift_jis", {"あ", "①", "漢", "ｱ"}},
      {"EUC-JP", "", "euc-jp", {"あ", "漢"}},
      {"WINDOWS-1251", "", "windows-1251", {"Я", "ж"}},
  };
  KeepConvertersLoaded();
  std::mt19937 rng(20240611);
  for (int round = 0; round < 40; ++round) {
    for (const Target& target : targets) {
      std::vector<std::string> alphabet = common;
      alphabet.insert(alphabet.end(), target.extra.begin(), target.extra.end());
      const std::string utf8 = RandomTable(rng, alphabet);
      const Loaded original = Load(utf8);
      const Loaded converted = Load(target.mark + Encode(utf8, target.iconvName), target.named);
      ASSERT_EQ(converted.entries, original.entries) << target.iconvName << "\n" << utf8;
      ASSERT_EQ(converted.warnings, original.warnings) << target.iconvName << "\n" << utf8;
    }
  }
}

// The rules written once more, another way round, as a reference for the
// loader: each line is cut at its first "=", and the part before it must be
// a prefix and nothing but hex digits.
Loaded ReferenceLoad(const std::string& utf8) {
  Loaded out;
  std::vector<std::string> lines(1);
  for (std::size_t i = 0; i < utf8.size(); ++i) {
    if (utf8[i] == '\r' || utf8[i] == '\n') {
      if (utf8[i] == '\r' && i + 1 < utf8.size() && utf8[i + 1] == '\n') ++i;
      lines.emplace_back();
    } else {
      lines.back() += utf8[i];
    }
  }
  const auto allOf = [](const std::string& s, const char* set) {
    return s.find_first_not_of(set) == std::string::npos;
  };
  const char* hexDigits = "0123456789abcdefABCDEF";
  std::set<std::string> defined;
  for (std::size_t n = 0; n < lines.size(); ++n) {
    const std::string& line = lines[n];
    const int number = static_cast<int>(n) + 1;
    const auto warn = [&] { out.warnings.push_back("t.tbl, línea " + std::to_string(number)); };
    if (line.empty() || line[0] == '#' || line[0] == ';' || line.starts_with("//")) continue;
    const std::size_t eq = line.find('=');
    const bool hasEq = eq != std::string::npos;
    const std::string head = line.substr(0, eq);
    std::string text = hasEq ? line.substr(eq + 1) : "";
    const char prefix =
        !head.empty() && std::string("/*$").find(head[0]) != std::string::npos ? head[0] : 0;
    const std::string hex = prefix ? head.substr(1) : head;
    const bool hexKey = !hex.empty() && allOf(hex, hexDigits);
    K kind = K::kText;
    int params = 0;
    if (prefix == '/') {
      if (!hexKey && !(hex.empty() && hasEq)) continue;  // an end text of no bytes
      kind = K::kEnd;
    } else if (prefix == '*') {
      kind = K::kLineBreak;
    } else if (prefix == '$') {
      kind = K::kControl;
      if (!hasEq) {
        warn();
        continue;
      }
      const std::size_t comma = text.find(',');
      if (comma != std::string::npos) {
        std::vector<std::string> items(1);
        for (char c : text.substr(comma + 1)) {
          if (c == ',') {
            items.emplace_back();
          } else if (c != ' ' && c != '\t') {
            items.back() += c;
          }
        }
        std::string digits = items[0];
        if (items.size() == 1 && !digits.empty() && allOf(digits, "0123456789")) {
          digits.erase(0, std::min(digits.find_first_not_of('0'), digits.size() - 1));
          params = digits.size() > 3 ? 999 : std::stoi(digits);
        } else {
          params = static_cast<int>(items.size());
          for (const auto& item : items)
            if (item.empty()) params = 999;
        }
        text.resize(comma);
      }
    } else if (!hasEq) {
      warn();
      continue;
    }
    if (!hexKey || hex.size() % 2 || hex.size() > 64 || params > 255) {
      warn();
      continue;
    }
    std::string key;
    for (std::size_t i = 0; i < hex.size(); i += 2)
      key += static_cast<char>(std::stoi(hex.substr(i, 2), nullptr, 16));
    if (!defined.insert(key).second) {
      warn();
      continue;
    }
    for (std::size_t at; (at = text.find("\\n")) != std::string::npos;)
      text.replace(at, 2, "\n");
    out.entries.push_back(E(key, text, number, kind, params));
  }
  return out;
}

TEST(ExtendedLoaderProperty, AgreesWithALineByLineReference) {
  std::mt19937 rng(77);
  const std::vector<std::string> alphabet = {"a", " ", "=", ",", ",", "\\n", "\\", "7", "300", "é"};
  for (int round = 0; round < 400; ++round) {
    const std::string file = RandomTable(rng, alphabet);
    const Loaded got = Load(file);
    const Loaded expected = ReferenceLoad(file);
    ASSERT_EQ(got.entries, expected.entries) << file;
    ASSERT_EQ(WarnedLines(got.warnings), WarnedLines(expected.warnings)) << file;
  }
}

// --- Real tables -------------------------------------------------------------------

Loaded LoadData(const char* name, std::string_view encoding = "") {
  Loaded out;
  out.entries = LoadExtendedTableFile(std::filesystem::path(ROMSCRIBER_TEST_DATA) / name, encoding,
                                      [&](const std::string& w) { out.warnings.push_back(w); })
                    .Entries;
  return out;
}

std::map<std::size_t, int> KeyLengths(const std::vector<Entry>& entries) {
  std::map<std::size_t, int> lengths;
  for (const auto& e : entries)
    ++lengths[e.Key.size()];
  return lengths;
}

const Entry* Find(const std::vector<Entry>& entries, std::string_view key) {
  for (const auto& e : entries)
    if (e.Key == key) return &e;
  return nullptr;
}

TEST(ExtendedLoaderRealTables, MgsgbLzNamedControlParametersAndLowerCaseKeys) {
  const Loaded t = LoadData("mgsgblz.tbl");
  EXPECT_TRUE(t.warnings.empty());
  ASSERT_EQ(t.entries.size(), 175u);
  EXPECT_EQ(t.entries[10], E("\x0A", "A", 11));
  EXPECT_EQ(*Find(t.entries, "\x26"), E("\x26", "▼", 39));
  EXPECT_EQ(*Find(t.entries, "\x60"), E("\x60", "А", 80));  // Cyrillic
  EXPECT_EQ(*Find(t.entries, "\xF0"), E("\xF0", "[area]", 162, K::kControl, 1));
  EXPECT_EQ(*Find(t.entries, "\xF6"), E("\xF6", "[person]\n", 167, K::kControl, 1));
  EXPECT_EQ(*Find(t.entries, "\xF8"), E("\xF8", "[clr]\n", 168, K::kControl, 0));
  EXPECT_EQ(t.entries.back(), E("\xFF", "[end]\n\n", 175, K::kEnd));
}

TEST(ExtendedLoaderRealTables, OtogirisouKeysOfTwoToTenBytes) {
  const Loaded t = LoadData("otogirisou-font.tbl");
  EXPECT_TRUE(t.warnings.empty());
  EXPECT_EQ(KeyLengths(t.entries),
            (std::map<std::size_t, int>{{2, 277}, {4, 17}, {6, 11}, {8, 5}, {10, 1}}));
  EXPECT_EQ(t.entries.front(), E(std::string(2, '\0'), "\u3000", 1));
  EXPECT_EQ(*Find(t.entries, "\x10\x0F\x00\x01"s), E("\x10\x0F\x00\x01"s, "<KUN>", 227));
  const std::string longest("\x00\xC0\x00\xBD\x00\xBE\x10\x13\x00\x6C", 10);
  EXPECT_EQ(*Find(t.entries, longest), E(longest, "<AUTO ADV 13>?!ʼ”", 324));
}

TEST(ExtendedLoaderRealTables, ZeldaReduxWithAByteOrderMark) {
  const Loaded t = LoadData("zelda-redux.tbl");
  EXPECT_TRUE(t.warnings.empty());
  ASSERT_EQ(t.entries.size(), 52u);
  EXPECT_EQ(t.entries.front(), E(std::string(1, '\0'), "0", 1));
  EXPECT_EQ(t.entries.back(), E("\xE6", "#", 52));
}

TEST(ExtendedLoaderRealTables, TelefangCrLfAndAKeyDefinedTwice) {
  const Loaded t = LoadData("telefang-patch.tbl");
  ASSERT_EQ(t.entries.size(), 98u);
  ASSERT_EQ(t.warnings.size(), 1u);
  EXPECT_THAT(t.warnings[0], HasSubstr("telefang-patch.tbl, línea 8"));
  EXPECT_THAT(t.warnings[0], HasSubstr("27 ya está definida en la línea 7"));
  EXPECT_EQ(*Find(t.entries, "\x27"), E("\x27", "’", 7));
  EXPECT_EQ(*Find(t.entries, "\xE0"), E("\xE0", "«END»", 97));
  EXPECT_EQ(t.entries.back(), E("\xE2", "\n", 99));
}

TEST(ExtendedLoaderRealTables, FinalFantasyIvTwoAndThreeByteEntries) {
  const Loaded t = LoadData("ffiv-psp-ptbr.tbl");
  EXPECT_TRUE(t.warnings.empty());
  EXPECT_EQ(KeyLengths(t.entries), (std::map<std::size_t, int>{{1, 171}, {2, 2026}, {3, 17}}));
  EXPECT_EQ(t.entries[2], E("\xFE", "\n", 3));
  EXPECT_EQ(t.entries[3], E("\xFF", "<clear>\n\n", 4));
  EXPECT_EQ(*Find(t.entries, "\xF1\xF5\x02"), E("\xF1\xF5\x02", "<Cecil>", 8));
  EXPECT_EQ(t.entries.back(), E("\xD0\x56", "蔵", 2214));
}

TEST(ExtendedLoaderRealTables, LargeTableLoadsQuickly) {
  // 10,000 lines of two- and three-byte keys, with UTF-8 texts; well under
  // the time a quadratic duplicate search or per-line copies would take.
  std::string file;
  for (int i = 0; i < 10000; ++i) {
    char line[48];
    std::snprintf(line, sizeof line, i % 10 ? "%04X=テキスト%d\n" : "%06X=long text %d\n", i, i);
    file += line;
  }
  const auto start = std::chrono::steady_clock::now();
  const Loaded t = Load(file);
  const auto took = std::chrono::steady_clock::now() - start;
  EXPECT_EQ(t.entries.size(), 10000u);
  EXPECT_TRUE(t.warnings.empty());
  EXPECT_EQ(t.entries[9999], E("\x27\x0F", "テキスト9999", 10000));
  EXPECT_LT(took, std::chrono::milliseconds(100));
}

}  // namespace
}  // namespace testing
}  // namespace romscriber
