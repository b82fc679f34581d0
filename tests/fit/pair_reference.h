// The way dictionaries are usually made, kept as the reference the builder
// must beat: count every pair of neighbouring symbols in the texts, take the
// most frequent pair as a new symbol, replace it left to right, and repeat
// while codes remain (pairs of earlier picks make longer pieces, up to the
// longest allowed). The texts are spelt as the table's plain encoding reads
// them: each of its ordinary entries spelt with the one-byte entries (the
// longest first), anything else (line breaks, control codes, raw bytes, end
// tokens, what no one-byte entry spells) parting the symbols.
//
// Written plainly, for the tests and the bench; it shares no code with the
// builder but the encoder and the table. With it, Codes(first, last): the
// run of codes the tests and the bench offer a dictionary.
#pragma once

#include <algorithm>
#include <cstdint>
#include <map>
#include <unordered_map>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

#include "insert/encoder.h"
#include "table/compiled.h"

namespace romscriber::testing {

struct PairEntry {
  std::string Text;
  std::string Bytes;  // the one-byte keys that spell it
};

// The one-byte ordinary entries that spell pieces: text and key, the first
// of equal texts.
inline std::vector<std::pair<std::string, char>> SpellingEntries(const CompiledTable& table) {
  std::vector<std::pair<std::string, char>> units;
  const DecodeStyle& style = table.Style();
  for (const TableEntry& e : table.Entries()) {
    if (e.KeySize != 1 || e.Kind != TokenKind::kText || e.ShownSize == 0) continue;
    const std::string text(table.Shown(e));
    if (text.find('\n') != std::string::npos || text.find('\r') != std::string::npos ||
        text.find("\\n") != std::string::npos ||
        (!style.RawLeft.empty() && text.find(style.RawLeft) != std::string::npos))
      continue;
    bool seen = false;
    for (const auto& u : units)
      seen = seen || u.first == text;
    if (!seen) units.emplace_back(text, table.Key(e)[0]);
  }
  return units;
}

// Most frequent pair first, for `codes` entries of at most `maxLength`
// one-byte entries each.
inline std::vector<PairEntry> MostFrequentPairs(const CompiledTable& table,
                                                const std::vector<std::string>& texts,
                                                std::size_t codes, int maxLength) {
  const auto units = SpellingEntries(table);
  struct Symbol {
    std::string Text;
    std::string Bytes;
  };
  // Each text as runs of symbols, one symbol per one-byte entry.
  std::vector<std::vector<Symbol>> runs;
  TextEncoder encoder(table);
  for (const std::string& text : texts) {
    const auto encoded = encoder.Encode(text);
    if (!std::holds_alternative<std::string>(encoded)) continue;
    const std::string& bytes = std::get<std::string>(encoded);
    std::vector<Symbol> run;
    const auto part = [&] {
      if (!run.empty()) runs.push_back(run);
      run.clear();
    };
    for (std::size_t pos = 0; pos < bytes.size();) {
      const auto* at = reinterpret_cast<const std::uint8_t*>(bytes.data()) + pos;
      const TableEntry* e = table.Match(at, bytes.size() - pos);
      if (e == nullptr) {
        part();
        ++pos;
        continue;
      }
      pos += e->KeySize + (e->Kind == TokenKind::kControl ? e->Params : 0);
      if (e->Kind != TokenKind::kText) {
        part();
        continue;
      }
      // The entry's text spelt longest first; what cannot be spelt parts.
      const std::string shown(table.Shown(*e));
      for (std::size_t i = 0; i < shown.size();) {
        const std::pair<std::string, char>* best = nullptr;
        for (const auto& u : units)
          if (shown.compare(i, u.first.size(), u.first) == 0 &&
              (best == nullptr || u.first.size() > best->first.size()))
            best = &u;
        if (best == nullptr) {
          part();
          ++i;
          continue;
        }
        run.push_back({best->first, std::string(1, best->second)});
        i += best->first.size();
      }
    }
    part();
  }

  // Symbols by number, in the order first met; runs hold their numbers.
  std::vector<Symbol> symbols;
  std::map<std::string, std::uint32_t> numberOf;
  const auto number = [&](const Symbol& s) {
    const auto [it, added] = numberOf.emplace(s.Text, static_cast<std::uint32_t>(symbols.size()));
    if (added) symbols.push_back(s);
    return it->second;
  };
  std::vector<std::vector<std::uint32_t>> numbered;
  for (const auto& run : runs) {
    numbered.emplace_back();
    for (const Symbol& s : run)
      numbered.back().push_back(number(s));
  }

  std::vector<PairEntry> out;
  while (out.size() < codes) {
    // Every neighbouring pair that makes a piece short enough, counted; the
    // most frequent, the first met among equals.
    std::unordered_map<std::uint64_t, std::pair<std::size_t, std::size_t>> counts;  // count, order
    for (const auto& run : numbered) {
      for (std::size_t i = 0; i + 1 < run.size(); ++i) {
        if (symbols[run[i]].Bytes.size() + symbols[run[i + 1]].Bytes.size() >
            static_cast<std::size_t>(maxLength))
          continue;
        const std::uint64_t key = std::uint64_t{run[i]} << 32 | run[i + 1];
        auto [it, added] = counts.emplace(key, std::make_pair(std::size_t{0}, counts.size()));
        ++it->second.first;
      }
    }
    std::uint64_t best = 0;
    std::pair<std::size_t, std::size_t> bestCount{0, 0};
    for (const auto& [key, c] : counts) {
      if (c.first > bestCount.first || (c.first == bestCount.first && c.second < bestCount.second)) {
        best = key;
        bestCount = c;
      }
    }
    if (bestCount.first == 0) break;
    const auto a = static_cast<std::uint32_t>(best >> 32);
    const auto b = static_cast<std::uint32_t>(best & 0xFFFFFFFF);
    const Symbol merged{symbols[a].Text + symbols[b].Text, symbols[a].Bytes + symbols[b].Bytes};
    // A piece already taken (spelt another way) takes no second code.
    const bool known = numberOf.count(merged.Text) > 0 &&
                       std::any_of(out.begin(), out.end(),
                                   [&](const PairEntry& e) { return e.Text == merged.Text; });
    if (!known) out.push_back({merged.Text, merged.Bytes});
    const std::uint32_t m = number(merged);
    for (auto& run : numbered) {
      std::size_t to = 0;
      for (std::size_t i = 0; i < run.size(); ++i) {
        if (i + 1 < run.size() && run[i] == a && run[i + 1] == b) {
          run[to++] = m;
          ++i;
        } else {
          run[to++] = run[i];
        }
      }
      run.resize(to);
    }
  }
  return out;
}

// The codes `first` to `last`, both included, as a dictionary is offered them.
inline std::vector<std::uint8_t> Codes(int first, int last) {
  std::vector<std::uint8_t> out;
  for (int c = first; c <= last; ++c)
    out.push_back(static_cast<std::uint8_t>(c));
  return out;
}

}  // namespace romscriber::testing
