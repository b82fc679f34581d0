// Text finding: the strings of a ROM that are likely to be text through a
// table. A string is a run of items, as the dump decodes them (the longest
// key that matches wins), that holds no raw byte (a byte that begins no key),
// is closed by an end token, and holds at least a given number of ordinary
// entries. Line breaks, control codes with their parameter bytes and end
// tokens stand inside a run without counting.
//
//   (found texts show as project dumps show them: ProjectStyle)
//   FindTexts   the strings of a range, in offset order, none overlapping
//
// Where strings could start at several places (a run that reads as text from
// an earlier byte on reads so from every later item boundary too), the
// earliest start wins and the search goes on after its end token: a string
// preceded by bytes that read as ordinary entries is found from the first of
// them.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "discover/search_control.h"
#include "table/compiled.h"

namespace romscriber {

struct TextSearchOptions {
  std::int64_t MinEntries = 4;     // ordinary entries a string must hold; at least 1
  std::int64_t Start = 0;          // first offset of the range
  std::optional<std::int64_t> End;  // last offset, inclusive; the ROM's last byte when not given
  bool WithText = true;            // decode each string's text (not needed for its offset)
};

struct FoundText {
  std::int64_t Offset = 0;
  std::int64_t Length = 0;  // bytes through its end token
  std::string Text;         // as the table shows it, the end token's text included
};

struct TextSearchResult {
  std::vector<FoundText> Texts;  // in offset order
  // Stopped on request: the strings chosen before the stop are given, none
  // when it came during the first pass over the range (which runs from its
  // end back to its start).
  bool Stopped = false;
};

// The strings of [Start, End] of `rom`: each lies wholly in the range, its
// keys and parameter bytes included. A range outside the ROM is cut to it.
TextSearchResult FindTexts(const CompiledTable& table, std::span<const std::uint8_t> rom,
                           const TextSearchOptions& options, const SearchControl& control = {});

}  // namespace romscriber
