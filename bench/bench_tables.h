// Generated tables and ROMs for the benchmarks.
//
//   FullTable / ClassicTableFile    the full classic table, and its .tbl text
//   RandomRom                       random bytes (the worst case for lookups)
//   ExtendedBenchTable              10,000 extended entries, keys of 1 to 22 bytes
//   GameTextRom                     a ROM laid out as game text through a table
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "table/table.h"

namespace romscriber::bench {

// 256 single-byte entries (byte 00 ends a script, 0A breaks a line, FE
// pauses, the rest one or two letters), 5000 two-byte and 5000 three-byte
// entries with distinct random codes.
Table FullTable(std::uint32_t seed = 7);

// The text of a classic table file (CR LF lines) that loads as `table`.
std::string ClassicTableFile(const Table& table);

// `size` random bytes.
std::string RandomRom(std::size_t size, std::uint32_t seed = 11);

// What a text ROM is made of: the byte runs that text is written with, most
// used first, and the bytes that end a script and break a line.
struct TextAlphabet {
  std::vector<std::string> Words;
  std::string End;
  std::string LineBreak;
};

// The alphabet of a classic table: its text entries (one-, two- and
// three-byte keys mixed, in a fixed random order), end 00, line break 0A.
TextAlphabet ClassicAlphabet(const Table& table, std::uint32_t seed = 5);

// An extended table of 10,000 entries in the dialect's text (UTF-8, LF):
// end token /00, line-break token *0A, eight control codes 01-08 with 1 to 3
// parameter bytes, ASCII letters 20-7E, 6,000 two-byte codes (lead 80-9F)
// shown as CJK characters, and 3,895 long keys of 3 to 22 bytes, each a run
// of the shorter keys (a dictionary of words and phrases, as translation
// tables of Japanese games have) shown as the run's texts. `alphabet`
// receives the table's words (control codes with parameter bytes).
std::string ExtendedBenchTable(TextAlphabet& alphabet, std::uint32_t seed = 13);

// `size` bytes laid out as real game text looks: scripts of 256 to 4096
// bytes (uniformly), each a run of words drawn with Zipf's law (the word of
// rank r with weight 1/r, so a few hundred words make up half the text), a
// line break after every 20 to 60 words, and the end bytes. A 32 MiB ROM
// has some 15,000 scripts.
std::string GameTextRom(std::size_t size, const TextAlphabet& alphabet, std::uint32_t seed = 17);

}  // namespace romscriber::bench
