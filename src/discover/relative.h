// Relative search: where in a ROM the values (bytes, or 16-bit values read
// at every offset) differ from each other as the letters of a word seen on
// screen do, whatever value the game gives the letter A.
//
//   LetterClass          A-Z, a-z, 0-9, and with kana the 46 basic hiragana
//                        and the 46 basic katakana in gojūon order
//   ParseRelativeQuery   the word split into characters and its letters by
//                        class; refused when no class holds two letters
//   FindRelative         every offset where each class keeps its distances
//   RelativeTableText    an extended table of every letter of each class
//                        present, as one hit gives their values
//
// Letters of one class must lie as far apart in value as in their class, as
// plain integers (no wrap-around); the classes are independent of each other
// (upper and lower case may lie anywhere); any other character matches any
// value.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "address/pointers.h"
#include "discover/search_control.h"

namespace romscriber {

enum class LetterClass : std::uint8_t { kUpper, kLower, kDigit, kHiragana, kKatakana };
inline constexpr std::size_t kLetterClasses = 5;

// How the class's first letter is written: "A", "a", "0", "あ", "ア".
std::string_view ClassLabel(LetterClass c);
// Letters in the class: 26, 26, 10, 46, 46.
int ClassSize(LetterClass c);
// The letter of the class at `ordinal` (0 is its first), in UTF-8.
std::string ClassLetter(LetterClass c, int ordinal);

struct RelativeLetter {
  int Index = 0;    // its place among the word's characters, from 0
  int Ordinal = 0;  // its place in its class, from 0
};

struct RelativeQuery {
  std::string Text;                     // the word, UTF-8
  std::size_t Characters = 0;           // characters in it: each is one value
  int Width = 1;                        // bytes per value: 1 or 2
  Endian Order = Endian::kLittle;       // of 2-byte values
  std::array<std::vector<RelativeLetter>, kLetterClasses> Letters;  // by class, in word order

  bool Present(LetterClass c) const { return !Letters[static_cast<std::size_t>(c)].empty(); }
};

// Splits `text` into characters and letters. `kana` adds the two kana
// classes. AppError kErrBadSetting (a refused option) for a text that is not
// UTF-8, a width other than 1 or 2, or a text in which no class holds two
// letters: it would match almost everywhere.
RelativeQuery ParseRelativeQuery(std::string_view text, bool kana, int width, Endian order);

struct RelativeHit {
  std::int64_t Offset = 0;  // of the word's first value
  // By class present: the value its first letter (A, a, 0...) stands for,
  // the value of its first letter in the word less that letter's ordinal. It
  // may be negative, or above the width, when the class lies near an edge.
  std::array<std::int32_t, kLetterClasses> First{};
};

struct RelativeResult {
  std::vector<RelativeHit> Hits;  // in offset order
  bool Truncated = false;         // more hits than the limit: the first ones only
  bool Stopped = false;
};

// Every offset of `rom` where the word's values fit, at most `maxHits` of
// them.
RelativeResult FindRelative(std::span<const std::uint8_t> rom, const RelativeQuery& query,
                            const SearchControl& control = {}, std::size_t maxHits = 1000000);

// An extended table (UTF-8, LF line ends) with a comment line naming the
// word and the hit, then for each class present every letter whose value
// fits the width, `KEY=letter`, the key in the query's width and byte order.
// Classes with two letters or more come first; a key that an earlier line
// already gave is left out.
std::string RelativeTableText(const RelativeQuery& query, const RelativeHit& hit);

}  // namespace romscriber
