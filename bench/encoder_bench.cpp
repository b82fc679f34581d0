// Encoding speed: 65,536 strings of some 32 characters each (about 2 MiB of
// text) through a 10,000-entry table, as an insertion run encodes them.
// Prints strings/s and MiB/s, and the time to index the table.
//
// The table: one-byte keys for the printable ASCII characters and for
// accented letters (some of them twice), an end token 00 shown raw, a line
// break 0A, 5,000 two-byte and 5,000 three-byte keys of random bytes standing
// for short words. Random first bytes make most one-byte keys the start of
// longer keys, so most items need the look-ahead test.
#include <benchmark/benchmark.h>

#include <cstdio>
#include <random>
#include <set>

#include "insert/encoder.h"
#include "table/compiled.h"

namespace romscriber::bench {
namespace {

constexpr std::size_t kStrings = 65536;

std::string Word(std::mt19937& rng, std::size_t minSize, std::size_t maxSize) {
  std::string word(minSize + rng() % (maxSize - minSize + 1), 'a');
  for (char& c : word)
    c = static_cast<char>('a' + rng() % 26);
  if (rng() % 4 == 0) word.back() = ' ';
  return word;
}

// `overlapping`: keys of random bytes, so that most one-byte keys begin
// longer keys; otherwise two-byte keys begin with A0-DF and three-byte keys
// with E0-FF, bytes no one-byte key uses, as in most real tables.
CompiledTable MakeTable(bool overlapping) {
  std::mt19937 rng(5);
  EntryList t;
  const auto add = [&](std::string key, std::string text, EntryKind kind) {
    t.Entries.push_back({std::move(key), std::move(text), kind, 0, 0});
  };
  add(std::string(1, '\0'), "", EntryKind::kEnd);
  add("\n", "", EntryKind::kLineBreak);
  for (int b = 0x20; b < 0x7F; ++b)
    add(std::string(1, static_cast<char>(b)), std::string(1, static_cast<char>(b)),
        EntryKind::kText);
  static const char* const kAccented[] = {"á", "é", "í", "ó", "ú", "ñ", "ü", "¿", "¡", "à"};
  for (int b = 0x80; b < (overlapping ? 0x100 : 0xA0); ++b)
    add(std::string(1, static_cast<char>(b)), kAccented[b % 10], EntryKind::kText);
  for (std::size_t size : {2, 3}) {
    std::set<std::string> used;
    while (used.size() < 5000) {
      std::string key(size, '\0');
      for (char& c : key)
        c = static_cast<char>(rng() & 0xFF);
      if (!overlapping)
        key[0] = static_cast<char>((size == 2 ? 0xA0 : 0xE0) + rng() % (size == 2 ? 0x40 : 0x20));
      if (!used.insert(key).second) continue;
      add(key, Word(rng, size, 2 * size), EntryKind::kText);
    }
  }
  return CompiledTable::Compile(t, ProjectStyle());
}

const CompiledTable& DictionaryTable(bool overlapping) {
  static const CompiledTable separate = MakeTable(false);
  static const CompiledTable overlap = MakeTable(true);
  return overlapping ? overlap : separate;
}

// Strings of letters, words of the table, accented letters and line breaks,
// each ending with the end token's text.
std::vector<std::string> MakeStrings(const CompiledTable& table) {
  std::mt19937 rng(9);
  std::vector<std::string> out(kStrings);
  for (std::string& s : out) {
    while (s.size() < 32) {
      const unsigned pick = rng() % 20;
      if (pick < 9) {
        s += static_cast<char>(0x20 + rng() % 0x5F);
      } else if (pick < 18) {
        s += table.Shown(table.Entries()[table.Entries().size() - 1 - rng() % 10000]);
      } else if (pick < 19) {
        s += "é";
      } else {
        s += "\n";
      }
    }
    s += "<$00>";
  }
  return out;
}

void BM_EncodeStrings(benchmark::State& state, bool overlapping) {
  const CompiledTable& table = DictionaryTable(overlapping);
  const std::vector<std::string> strings = MakeStrings(table);
  TextEncoder encoder(table);
  std::size_t textBytes = 0;
  for (const std::string& s : strings)
    textBytes += s.size();
  std::size_t refused = 0;
  std::size_t encodedBytes = 0;
  for (auto _ : state) {
    refused = 0;
    encodedBytes = 0;
    for (const std::string& s : strings) {
      const auto result = encoder.Encode(s);
      if (const auto* bytes = std::get_if<std::string>(&result)) {
        encodedBytes += bytes->size();
      } else {
        ++refused;
      }
    }
    benchmark::DoNotOptimize(encodedBytes);
  }
  const auto iterations = static_cast<double>(state.iterations());
  state.counters["strings/s"] = benchmark::Counter(iterations * static_cast<double>(strings.size()),
                                                   benchmark::Counter::kIsRate);
  state.counters["MiB/s"] = benchmark::Counter(
      iterations * static_cast<double>(textBytes) / (1024.0 * 1024.0), benchmark::Counter::kIsRate);
  state.counters["text_MiB"] = static_cast<double>(textBytes) / (1024.0 * 1024.0);
  state.counters["bytes_out"] = static_cast<double>(encodedBytes);
  state.counters["refused"] = static_cast<double>(refused);
}
BENCHMARK_CAPTURE(BM_EncodeStrings, separate_keys, false)->Unit(benchmark::kMillisecond);
BENCHMARK_CAPTURE(BM_EncodeStrings, overlapping_keys, true)->Unit(benchmark::kMillisecond);

void BM_IndexTable(benchmark::State& state) {
  const CompiledTable& table = DictionaryTable(true);
  for (auto _ : state) {
    TextEncoder encoder(table);
    benchmark::DoNotOptimize(&encoder);
  }
}
BENCHMARK(BM_IndexTable)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace romscriber::bench

BENCHMARK_MAIN();
