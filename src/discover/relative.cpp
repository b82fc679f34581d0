#include "discover/relative.h"

#include "base/text.h"

#include <algorithm>
#include <optional>

#include "base/app_error.h"
#include "hex/hex.h"

namespace romscriber {

namespace {

// The basic kana in gojūon order, as the games' fonts lay them out.
constexpr std::string_view kHiragana =
    "あいうえおかきくけこさしすせそたちつてとなにぬねのはひふへほまみむめもやゆよらりるれろわをん";
constexpr std::string_view kKatakana =
    "アイウエオカキクケコサシスセソタチツテトナニヌネノハヒフヘホマミムメモヤユヨラリルレロワヲン";
constexpr int kKana = 46;

// Where a kana stands in its row order, or -1.
int KanaOrdinal(std::string_view kana, char32_t cp) {
  static const std::vector<char32_t> hiragana = DecodeUtf8(kHiragana);
  static const std::vector<char32_t> katakana = DecodeUtf8(kKatakana);
  const std::vector<char32_t>& list = kana == kHiragana ? hiragana : katakana;
  const auto at = std::find(list.begin(), list.end(), cp);
  return at == list.end() ? -1 : static_cast<int>(at - list.begin());
}

struct Classified {
  LetterClass Class;
  int Ordinal;
};

std::optional<Classified> Classify(char32_t cp, bool kana) {
  if (cp >= 'A' && cp <= 'Z') return Classified{LetterClass::kUpper, static_cast<int>(cp - 'A')};
  if (cp >= 'a' && cp <= 'z') return Classified{LetterClass::kLower, static_cast<int>(cp - 'a')};
  if (cp >= '0' && cp <= '9') return Classified{LetterClass::kDigit, static_cast<int>(cp - '0')};
  if (!kana) return std::nullopt;
  if (const int at = KanaOrdinal(kHiragana, cp); at >= 0)
    return Classified{LetterClass::kHiragana, at};
  if (const int at = KanaOrdinal(kKatakana, cp); at >= 0)
    return Classified{LetterClass::kKatakana, at};
  return std::nullopt;
}

// One test of a hit: the value at byte `At` of the word less the value at
// byte `Ref` must be `Delta`.
struct Check {
  std::int64_t At;
  std::int64_t Ref;
  std::int32_t Delta;
};

template <int W, bool Big>
inline std::int32_t ValueAt(const std::uint8_t* p) {
  if constexpr (W == 1) {
    return p[0];
  } else if constexpr (Big) {
    return p[0] << 8 | p[1];
  } else {
    return p[0] | p[1] << 8;
  }
}

template <int W, bool Big>
RelativeResult Scan(std::span<const std::uint8_t> rom, const RelativeQuery& query,
                    const std::vector<Check>& checks, const SearchControl& control,
                    std::size_t maxHits) {
  RelativeResult result;
  const auto span = static_cast<std::int64_t>(query.Characters) * W;
  const std::int64_t last = static_cast<std::int64_t>(rom.size()) - span;
  // The first letter of each class present, where it stands in the word.
  std::array<std::int64_t, kLetterClasses> firstAt{};
  std::array<std::int32_t, kLetterClasses> firstOrdinal{};
  std::array<bool, kLetterClasses> present{};
  for (std::size_t c = 0; c < kLetterClasses; ++c) {
    present[c] = !query.Letters[c].empty();
    if (!present[c]) continue;
    firstAt[c] = static_cast<std::int64_t>(query.Letters[c][0].Index) * W;
    firstOrdinal[c] = query.Letters[c][0].Ordinal;
  }
  const Check head = checks.front();
  const std::span<const Check> rest(checks.data() + 1, checks.size() - 1);
  constexpr std::int64_t kChunk = 1 << 20;
  for (std::int64_t from = 0; from <= last; from += kChunk) {
    if (control.StopRequested()) {
      result.Stopped = true;
      return result;
    }
    control.Report(static_cast<double>(from) / static_cast<double>(last + 1));
    const std::int64_t to = std::min(last, from + kChunk - 1);
    for (std::int64_t o = from; o <= to; ++o) {
      const std::uint8_t* p = rom.data() + o;
      if (ValueAt<W, Big>(p + head.At) - ValueAt<W, Big>(p + head.Ref) != head.Delta) continue;
      bool fits = true;
      for (const Check& c : rest) {
        if (ValueAt<W, Big>(p + c.At) - ValueAt<W, Big>(p + c.Ref) != c.Delta) {
          fits = false;
          break;
        }
      }
      if (!fits) continue;
      if (result.Hits.size() == maxHits) {
        result.Truncated = true;
        return result;
      }
      RelativeHit hit;
      hit.Offset = o;
      for (std::size_t c = 0; c < kLetterClasses; ++c)
        if (present[c]) hit.First[c] = ValueAt<W, Big>(p + firstAt[c]) - firstOrdinal[c];
      result.Hits.push_back(hit);
    }
  }
  control.Report(1.0);
  return result;
}

}  // namespace

std::string_view ClassLabel(LetterClass c) {
  switch (c) {
    case LetterClass::kUpper:
      return "A";
    case LetterClass::kLower:
      return "a";
    case LetterClass::kDigit:
      return "0";
    case LetterClass::kHiragana:
      return kHiragana.substr(0, 3);
    case LetterClass::kKatakana:
      return kKatakana.substr(0, 3);
  }
  return "";
}

int ClassSize(LetterClass c) {
  switch (c) {
    case LetterClass::kUpper:
    case LetterClass::kLower:
      return 26;
    case LetterClass::kDigit:
      return 10;
    case LetterClass::kHiragana:
    case LetterClass::kKatakana:
      return kKana;
  }
  return 0;
}

std::string ClassLetter(LetterClass c, int ordinal) {
  switch (c) {
    case LetterClass::kUpper:
      return std::string(1, static_cast<char>('A' + ordinal));
    case LetterClass::kLower:
      return std::string(1, static_cast<char>('a' + ordinal));
    case LetterClass::kDigit:
      return std::string(1, static_cast<char>('0' + ordinal));
    case LetterClass::kHiragana:
      // Every basic kana takes three bytes in UTF-8.
      return std::string(kHiragana.substr(3 * static_cast<std::size_t>(ordinal), 3));
    case LetterClass::kKatakana:
      return std::string(kKatakana.substr(3 * static_cast<std::size_t>(ordinal), 3));
  }
  return {};
}

RelativeQuery ParseRelativeQuery(std::string_view text, bool kana, int width, Endian order) {
  if (width != 1 && width != 2)
    throw AppError(kErrBadSetting, "El ancho debe ser 1 o 2 bytes por letra: " +
                                       std::to_string(width) + ".");
  if (const auto bad = FirstInvalidUtf8(text))
    throw AppError(kErrBadSetting, "El texto buscado no es UTF-8 válido (byte " +
                                       std::to_string(*bad + 1) + ").");
  RelativeQuery query;
  query.Text = std::string(text);
  query.Width = width;
  query.Order = order;
  const std::vector<char32_t> characters = DecodeUtf8(text);
  query.Characters = characters.size();
  for (std::size_t i = 0; i < characters.size(); ++i) {
    if (const auto letter = Classify(characters[i], kana))
      query.Letters[static_cast<std::size_t>(letter->Class)].push_back(
          {static_cast<int>(i), letter->Ordinal});
  }
  const bool anyPair = std::any_of(query.Letters.begin(), query.Letters.end(),
                                   [](const auto& letters) { return letters.size() >= 2; });
  if (!anyPair) {
    throw AppError(kErrBadSetting,
                   "El texto «" + query.Text +
                       "» no tiene dos letras de una misma clase (A-Z, a-z, 0-9" +
                       (kana ? ", hiragana, katakana" : "") +
                       "): coincidiría casi en cualquier sitio. Escriba una palabra más larga" +
                       (kana ? "." : " o use --kana para un texto en kana."));
  }
  return query;
}

RelativeResult FindRelative(std::span<const std::uint8_t> rom, const RelativeQuery& query,
                            const SearchControl& control, std::size_t maxHits) {
  // Each letter after the first of its class against that first letter.
  std::vector<Check> checks;
  for (const auto& letters : query.Letters) {
    for (std::size_t i = 1; i < letters.size(); ++i) {
      checks.push_back({static_cast<std::int64_t>(letters[i].Index) * query.Width,
                        static_cast<std::int64_t>(letters[0].Index) * query.Width,
                        letters[i].Ordinal - letters[0].Ordinal});
    }
  }
  if (checks.empty()) return {};  // a query ParseRelativeQuery refuses
  if (query.Width == 1) return Scan<1, false>(rom, query, checks, control, maxHits);
  if (query.Order == Endian::kBig) return Scan<2, true>(rom, query, checks, control, maxHits);
  return Scan<2, false>(rom, query, checks, control, maxHits);
}

std::string RelativeTableText(const RelativeQuery& query, const RelativeHit& hit) {
  std::string word = query.Text;
  std::replace_if(word.begin(), word.end(), [](char c) { return c == '\n' || c == '\r'; }, ' ');
  std::string text = "# Búsqueda relativa de «" + word + "» en " + OffsetHex(hit.Offset) + ", " +
                     (query.Width == 1 ? std::string("1 byte por letra")
                                       : std::string("2 bytes por letra, ") +
                                             (query.Order == Endian::kBig ? "big" : "little") +
                                             " endian") +
                     ".\n";
  // Classes the hit confirms (two letters or more) first, then the others.
  std::vector<std::size_t> classes;
  for (const bool confirmed : {true, false}) {
    for (std::size_t c = 0; c < kLetterClasses; ++c) {
      const std::size_t letters = query.Letters[c].size();
      if (confirmed ? letters >= 2 : letters == 1) classes.push_back(c);
    }
  }
  const std::int64_t limit = query.Width == 1 ? 0xFF : 0xFFFF;
  std::vector<bool> given(static_cast<std::size_t>(limit) + 1, false);
  for (const std::size_t c : classes) {
    const auto letterClass = static_cast<LetterClass>(c);
    for (int ordinal = 0; ordinal < ClassSize(letterClass); ++ordinal) {
      const std::int64_t value = std::int64_t{hit.First[c]} + ordinal;
      if (value < 0 || value > limit || given[static_cast<std::size_t>(value)]) continue;
      given[static_cast<std::size_t>(value)] = true;
      const auto high = static_cast<std::uint8_t>(value >> 8);
      const auto low = static_cast<std::uint8_t>(value);
      if (query.Width == 1) {
        AppendByteHex(text, low);
      } else if (query.Order == Endian::kBig) {
        AppendByteHex(text, high);
        AppendByteHex(text, low);
      } else {
        AppendByteHex(text, low);
        AppendByteHex(text, high);
      }
      text += '=';
      text += ClassLetter(letterClass, ordinal);
      text += '\n';
    }
  }
  return text;
}

}  // namespace romscriber
