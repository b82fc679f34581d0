#include "fit/dictionary.h"

#include "base/text.h"

#include <algorithm>
#include <atomic>
#include <cstring>
#include <limits>
#include <thread>

#include "base/app_error.h"
#include "extract/engine.h"
#include "fit/item_graph.h"
#include "hex/hex.h"

namespace romscriber {

namespace {

constexpr std::uint32_t kUnreached = 0x3FFFFFFF;  // two of them still fit 32 bits
constexpr std::uint32_t kNone = 0xFFFFFFFF;

// Share of the progress each stage takes.
constexpr double kSetupShare = 0.1;
constexpr double kGreedyShare = 0.6;
constexpr double kSwapShare = 0.2;

// A one-byte ordinary entry that pieces are spelt with.
struct Unit {
  std::string_view Text;
  char Key;
};

// A piece of text that occurs in the texts: its bytes lie at At in the
// corpus; Units one-byte entries spell it.
struct Candidate {
  std::uint32_t At = 0;
  std::uint32_t Size = 0;
  std::uint32_t Count = 0;  // occurrences on the boundaries of its one-byte entries
  std::uint8_t Units = 0;
};

// An entry of the dictionary where its text occurs in a text.
struct Occurrence {
  std::uint32_t Pos;  // in the text
  std::uint32_t Size;
  bool operator<(const Occurrence& o) const { return Pos < o.Pos || (Pos == o.Pos && Size < o.Size); }
};

// The heap of candidates by the bytes they save, best first; Round tells
// against which state of the dictionary the score was made (kNone: never
// scored, an estimate).
struct Scored {
  std::int64_t Score;
  std::uint32_t Id;
  std::uint32_t Round;
  bool operator<(const Scored& o) const {
    return Score < o.Score || (Score == o.Score && Id > o.Id);
  }
};

std::uint64_t HashBytes(std::string_view s) {
  std::uint64_t h = 0xcbf29ce484222325ULL;
  for (const char c : s)
    h = (h ^ static_cast<std::uint8_t>(c)) * 0x100000001b3ULL;
  return h ^ (h >> 29);
}

// Working memory of scoring, one per thread.
struct Scratch {
  std::vector<std::uint32_t> Texts;  // texts where the piece occurs
  std::vector<std::uint32_t> At;     // by text there: its first place in Found, and the end
  std::vector<std::uint32_t> Found;  // places in the text
  std::vector<std::uint32_t> Window;
};

class Chooser {
 public:
  Chooser(const CompiledTable& table, const ItemModel& model, std::span<const std::string> texts,
          int maxLength, const SearchControl& control)
      : m_table(table), m_model(model), m_maxLength(maxLength), m_control(control) {
    LayOut(texts);
  }

  // Chooses up to `codes` entries; their texts and one-byte spellings.
  std::vector<std::pair<std::string, std::string>> Choose(std::size_t codes, bool& stopped);
  std::int64_t Total() const { return m_total; }

 private:
  void LayOut(std::span<const std::string> texts);
  void FindUnits();
  void Tokenize();
  void CountCandidates();
  std::uint32_t Intern(std::uint32_t at, std::uint32_t size, std::uint8_t units);
  std::uint32_t Find(std::string_view text) const;

  std::string_view TextOf(std::uint32_t id) const {
    return {m_bytes.data() + m_candidates[id].At, m_candidates[id].Size};
  }
  std::size_t Slot(std::size_t text) const { return m_start[text] + text; }
  std::size_t SizeOf(std::size_t text) const { return m_start[text + 1] - m_start[text]; }
  // What a candidate saves at most: each occurrence one byte for the bytes
  // of its one-byte entries.
  std::int64_t Bound(std::uint32_t id) const {
    return std::int64_t{m_candidates[id].Count} * (m_candidates[id].Units - 1);
  }

  // Where a candidate's text occurs, by text. Everywhere its bytes stand,
  // or where it was counted (on the boundaries of the one-byte entries of
  // the stretches that spell text): the places that can save bytes, found
  // faster.
  void FindOccurrences(std::uint32_t id, bool everywhere, Scratch& s) const;
  // The cheapest paths of a text again, after its entries changed between
  // `lo` and `hi`.
  void Solve(std::size_t text, std::size_t lo, std::size_t hi);
  std::int64_t Gain(std::uint32_t id, Scratch& s) const;
  void Add(std::uint32_t id);
  void Remove(std::uint32_t id);
  void Score(std::uint32_t id, std::int64_t score);
  void Refresh(std::int64_t least);
  void ScoreAll(const std::vector<std::uint32_t>& ids);
  std::uint32_t PickBest();
  std::vector<std::uint32_t> Neighbours(std::uint32_t id) const;
  bool StopRequested() {
    if (m_control.StopRequested()) m_stopped = true;
    return m_stopped;
  }

  const CompiledTable& m_table;
  const ItemModel& m_model;
  const int m_maxLength;
  const SearchControl& m_control;
  bool m_stopped = false;

  // The texts, normalized, one after another.
  std::string m_bytes;
  std::vector<std::uint32_t> m_start;  // by text, and its end
  std::vector<std::uint32_t> m_textOf;  // by byte
  std::vector<bool> m_mustEnd;
  // The table's items at each byte of the texts.
  std::vector<std::uint32_t> m_edgeAt;  // by byte, and the end
  std::vector<ItemEdge> m_edges;
  std::size_t m_longestEdge = 1;
  // Where each pair of bytes begins, by pair, then by place.
  std::vector<std::uint32_t> m_pairAt;
  std::vector<std::uint32_t> m_pairs;
  // The cheapest path to and from each place of each text (Slot(text) + pos),
  // through the table and the entries chosen.
  std::vector<std::uint32_t> m_to;
  std::vector<std::uint32_t> m_from;
  std::vector<std::vector<Occurrence>> m_dictionary;  // by text: where chosen entries occur
  std::int64_t m_total = 0;

  std::vector<Unit> m_units;
  std::vector<std::vector<std::uint32_t>> m_unitsByByte;  // longest text first
  std::vector<std::uint32_t> m_tokenStart;
  std::vector<std::uint32_t> m_tokenEnd;
  std::vector<bool> m_joined;  // token i and i + 1 lie together in one stretch

  std::vector<Candidate> m_candidates;
  std::vector<std::uint32_t> m_occurrenceAt;  // by candidate, and the end
  std::vector<std::uint32_t> m_occurrences;   // places in the corpus where counted
  std::vector<std::uint32_t> m_hash;  // candidate + 1 by slot; 0 empty
  std::vector<bool> m_chosen;
  // Each candidate's last score and the round it was made in (kNone: not
  // scored yet, its bound stands for it); the heap of them, best first.
  std::vector<std::int64_t> m_score;
  std::vector<std::uint32_t> m_scoredIn;
  std::vector<Scored> m_heap;
  std::uint32_t m_round = 0;  // changes of the dictionary so far
  Scratch m_scratch;
};

void Chooser::LayOut(std::span<const std::string> texts) {
  std::size_t total = 0;
  for (const std::string& t : texts)
    total += t.size();
  if (total >= kUnreached / 2)
    throw AppError(kErrBadSetting, "Los textos pasan de 512 MiB: son demasiados para un diccionario.");
  m_bytes.reserve(total);
  m_start.reserve(texts.size() + 1);
  m_textOf.reserve(total);
  for (std::size_t i = 0; i < texts.size(); ++i) {
    m_start.push_back(static_cast<std::uint32_t>(m_bytes.size()));
    m_bytes += texts[i];
    m_textOf.insert(m_textOf.end(), texts[i].size(), static_cast<std::uint32_t>(i));
    m_mustEnd.push_back(m_model.MustEnd(texts[i]));
  }
  m_start.push_back(static_cast<std::uint32_t>(m_bytes.size()));

  // The items at every byte.
  m_edgeAt.reserve(m_bytes.size() + 1);
  std::vector<ItemEdge> at;
  for (std::size_t i = 0; i < texts.size(); ++i) {
    const std::string_view text = texts[i];
    for (std::size_t pos = 0; pos < text.size(); ++pos) {
      m_edgeAt.push_back(static_cast<std::uint32_t>(m_edges.size()));
      at.clear();
      m_model.EdgesAt(text, pos, m_mustEnd[i], at);
      for (const ItemEdge& e : at)
        m_longestEdge = std::max<std::size_t>(m_longestEdge, e.Length);
      m_edges.insert(m_edges.end(), at.begin(), at.end());
    }
    if ((i & 1023) == 0 && StopRequested()) return;
  }
  m_edgeAt.push_back(static_cast<std::uint32_t>(m_edges.size()));

  // Where each pair of bytes begins within a text.
  m_pairAt.assign(65536 + 1, 0);
  const auto pairAt = [&](std::size_t p) {
    return (static_cast<std::uint32_t>(static_cast<std::uint8_t>(m_bytes[p])) << 8) |
           static_cast<std::uint8_t>(m_bytes[p + 1]);
  };
  const auto inText = [&](std::size_t p) {
    return p + 1 < m_bytes.size() && m_textOf[p] == m_textOf[p + 1];
  };
  for (std::size_t p = 0; p + 1 < m_bytes.size(); ++p)
    if (inText(p)) ++m_pairAt[pairAt(p) + 1];
  for (std::size_t k = 1; k <= 65536; ++k)
    m_pairAt[k] += m_pairAt[k - 1];
  m_pairs.resize(m_pairAt[65536]);
  std::vector<std::uint32_t> next(m_pairAt.begin(), m_pairAt.end() - 1);
  for (std::size_t p = 0; p + 1 < m_bytes.size(); ++p)
    if (inText(p)) m_pairs[next[pairAt(p)]++] = static_cast<std::uint32_t>(p);

  // The cheapest paths through each text with the table alone.
  m_to.assign(m_bytes.size() + texts.size(), kUnreached);
  m_from.assign(m_bytes.size() + texts.size(), kUnreached);
  m_dictionary.assign(texts.size(), {});
  for (std::size_t i = 0; i < texts.size(); ++i) {
    Solve(i, 0, SizeOf(i));
    m_total += m_to[Slot(i) + SizeOf(i)];
  }
  FindUnits();
  Tokenize();
  if (!StopRequested()) CountCandidates();
}

// The cheapest paths to and from every place of a text. Paths to places up
// to `lo` and from places from `hi` on do not change with entries placed
// between them.
void Chooser::Solve(std::size_t text, std::size_t lo, std::size_t hi) {
  const std::size_t size = SizeOf(text);
  const std::size_t base = m_start[text];
  std::uint32_t* to = m_to.data() + Slot(text);
  std::uint32_t* from = m_from.data() + Slot(text);
  const std::vector<Occurrence>& dict = m_dictionary[text];
  // Forward, from the first place whose items reach past `lo`.
  const std::size_t start = lo + 1 > m_longestEdge ? lo + 1 - m_longestEdge : 0;
  std::fill(to + (lo == 0 ? 0 : lo + 1), to + size + 1, kUnreached);
  if (lo == 0) to[0] = 0;
  auto d = std::lower_bound(dict.begin(), dict.end(), Occurrence{static_cast<std::uint32_t>(start), 0});
  for (std::size_t pos = start; pos < size; ++pos) {
    const std::uint32_t here = to[pos];
    for (; d != dict.end() && d->Pos == pos; ++d)
      if (pos + d->Size > lo) to[pos + d->Size] = std::min(to[pos + d->Size], here + 1);
    if (here >= kUnreached) continue;
    for (std::uint32_t e = m_edgeAt[base + pos]; e < m_edgeAt[base + pos + 1]; ++e) {
      const ItemEdge& edge = m_edges[e];
      if (pos + edge.Length > lo)
        to[pos + edge.Length] = std::min<std::uint32_t>(to[pos + edge.Length], here + edge.Cost);
    }
  }
  for (std::size_t pos = lo + 1; pos <= size; ++pos)
    to[pos] = std::min(to[pos], kUnreached);
  // Backward, from `hi`.
  from[size] = 0;
  auto b = std::lower_bound(dict.begin(), dict.end(), Occurrence{static_cast<std::uint32_t>(std::min(hi, size)), 0});
  for (std::size_t pos = std::min(hi, size); pos-- > 0;) {
    std::uint32_t best = kUnreached;
    for (std::uint32_t e = m_edgeAt[base + pos]; e < m_edgeAt[base + pos + 1]; ++e) {
      const ItemEdge& edge = m_edges[e];
      best = std::min<std::uint32_t>(best, from[pos + edge.Length] + edge.Cost);
    }
    for (; b != dict.begin() && (b - 1)->Pos == pos; --b)
      best = std::min(best, from[pos + (b - 1)->Size] + 1);
    from[pos] = std::min(best, kUnreached);
  }
}

void Chooser::FindUnits() {
  const DecodeStyle& style = m_table.Style();
  std::vector<std::string_view> seen;
  for (const TableEntry& e : m_table.Entries()) {
    if (e.KeySize != 1 || e.Kind != TokenKind::kText || e.ShownSize == 0) continue;
    const std::string_view text = m_table.Shown(e);
    // Never a line break, nor what a table line cannot say or a raw byte shows.
    if (text.find('\n') != std::string_view::npos || text.find('\r') != std::string_view::npos ||
        (!style.LineBreak.empty() && text.find(style.LineBreak) != std::string_view::npos) ||
        (!style.RawLeft.empty() && text.find(style.RawLeft) != std::string_view::npos) ||
        text.find("\\n") != std::string_view::npos)
      continue;
    if (std::find(seen.begin(), seen.end(), text) != seen.end()) continue;
    seen.push_back(text);
    m_units.push_back({text, m_table.Key(e)[0]});
  }
  m_unitsByByte.assign(256, {});
  for (std::size_t u = 0; u < m_units.size(); ++u)
    m_unitsByByte[static_cast<std::uint8_t>(m_units[u].Text[0])].push_back(static_cast<std::uint32_t>(u));
  for (auto& list : m_unitsByByte)
    std::stable_sort(list.begin(), list.end(), [&](std::uint32_t a, std::uint32_t b) {
      return m_units[a].Text.size() > m_units[b].Text.size();
    });
}

// Cuts each text into the one-byte entries that spell it, along a cheapest
// path of the table: the stretches its ordinary entries cover, spelt
// longest entry first; whatever no such entry spells (line breaks, control
// codes, raw bytes, end tokens) parts them.
void Chooser::Tokenize() {
  std::vector<bool> open;
  for (std::size_t text = 0; text < m_start.size() - 1; ++text) {
    const std::size_t size = SizeOf(text);
    const std::size_t base = m_start[text];
    const std::uint32_t* to = m_to.data() + Slot(text);
    const std::uint32_t* from = m_from.data() + Slot(text);
    open.assign(size, false);
    if (from[0] >= kUnreached) continue;
    for (std::size_t pos = 0; pos < size;) {
      const ItemEdge* taken = nullptr;
      for (std::uint32_t e = m_edgeAt[base + pos]; e < m_edgeAt[base + pos + 1]; ++e) {
        const ItemEdge& edge = m_edges[e];
        if (to[pos] + edge.Cost + from[pos + edge.Length] == from[0]) {
          taken = &edge;
          break;
        }
      }
      if (taken == nullptr) break;  // cannot happen on a cheapest path
      if (taken->Ordinary) std::fill(open.begin() + static_cast<std::ptrdiff_t>(pos),
                                     open.begin() + static_cast<std::ptrdiff_t>(pos + taken->Length), true);
      pos += taken->Length;
    }
    bool joined = false;
    for (std::size_t pos = 0; pos < size;) {
      std::size_t length = 0;
      std::uint32_t unit = kNone;
      if (open[pos]) {
        for (const std::uint32_t u : m_unitsByByte[static_cast<std::uint8_t>(m_bytes[base + pos])]) {
          const std::string_view t = m_units[u].Text;
          if (pos + t.size() > size || m_bytes.compare(base + pos, t.size(), t) != 0) continue;
          if (!std::all_of(open.begin() + static_cast<std::ptrdiff_t>(pos),
                           open.begin() + static_cast<std::ptrdiff_t>(pos + t.size()),
                           [](bool b) { return b; }))
            continue;
          unit = u;
          length = t.size();
          break;
        }
      }
      if (unit == kNone) {
        // A break: the stretch ends; on to the next character.
        if (joined) m_joined.back() = false;
        joined = false;
        ++pos;
        while (pos < size && (static_cast<std::uint8_t>(m_bytes[base + pos]) & 0xC0) == 0x80)
          ++pos;
        continue;
      }
      m_tokenStart.push_back(static_cast<std::uint32_t>(base + pos));
      m_tokenEnd.push_back(static_cast<std::uint32_t>(base + pos + length));
      m_joined.push_back(true);
      joined = true;
      pos += length;
    }
    if (joined) m_joined.back() = false;
  }
}

std::uint32_t Chooser::Intern(std::uint32_t at, std::uint32_t size, std::uint8_t units) {
  if (2 * (m_candidates.size() + 1) > m_hash.size()) {
    // Grows to twice its size, every candidate placed again.
    m_hash.assign(std::max<std::size_t>(1024, 2 * m_hash.size()), 0);
    const std::size_t mask = m_hash.size() - 1;
    for (std::uint32_t c = 0; c < m_candidates.size(); ++c) {
      std::size_t slot = HashBytes(TextOf(c)) & mask;
      while (m_hash[slot] != 0)
        slot = (slot + 1) & mask;
      m_hash[slot] = c + 1;
    }
  }
  const std::string_view text(m_bytes.data() + at, size);
  const std::size_t mask = m_hash.size() - 1;
  std::size_t slot = HashBytes(text) & mask;
  for (; m_hash[slot] != 0; slot = (slot + 1) & mask) {
    const std::uint32_t c = m_hash[slot] - 1;
    if (TextOf(c) == text) {
      m_candidates[c].Units = std::min(m_candidates[c].Units, units);
      return c;
    }
  }
  m_hash[slot] = static_cast<std::uint32_t>(m_candidates.size()) + 1;
  m_candidates.push_back({at, size, 0, units});
  return static_cast<std::uint32_t>(m_candidates.size() - 1);
}

std::uint32_t Chooser::Find(std::string_view text) const {
  if (m_hash.empty()) return kNone;
  const std::size_t mask = m_hash.size() - 1;
  for (std::size_t slot = HashBytes(text) & mask; m_hash[slot] != 0; slot = (slot + 1) & mask)
    if (TextOf(m_hash[slot] - 1) == text) return m_hash[slot] - 1;
  return kNone;
}

// Counts the pieces of 2 to MaxLength one-byte entries in each stretch, a
// length at a time: a piece is counted where the pieces one shorter at its
// start and one further on both occur often enough to be worth extending
// (twice, in texts long enough that pieces seen once cannot matter).
void Chooser::CountCandidates() {
  const std::size_t tokens = m_tokenStart.size();
  const std::uint32_t least = tokens * static_cast<std::size_t>(m_maxLength - 1) > (4u << 20) ? 2 : 1;
  const std::string_view rawLeft = m_table.Style().RawLeft;
  const auto usable = [&](std::uint32_t at, std::uint32_t end) {
    const std::string_view text(m_bytes.data() + at, end - at);
    return text.size() <= 0xFFFF && text.find("\\n") == std::string_view::npos &&
           (rawLeft.empty() || text.find(rawLeft) == std::string_view::npos);
  };
  std::vector<std::uint32_t> grams;  // by length from 2, then by token: the piece there
  std::vector<bool> alive(tokens, false);
  for (int length = 2; length <= m_maxLength; ++length) {
    const std::size_t level = grams.size();
    grams.resize(level + tokens, kNone);
    std::uint32_t* gram = grams.data() + level;
    for (std::size_t i = 0; i + 1 < tokens; ++i) {
      const bool extends = length == 2 ? static_cast<bool>(m_joined[i]) : alive[i] && alive[i + 1];
      if (!extends) continue;
      const std::uint32_t at = m_tokenStart[i];
      const std::uint32_t end = m_tokenEnd[i + static_cast<std::size_t>(length) - 1];
      if (!usable(at, end)) continue;
      gram[i] = Intern(at, end - at, static_cast<std::uint8_t>(length));
      ++m_candidates[gram[i]].Count;
    }
    bool any = false;
    for (std::size_t i = 0; i < tokens; ++i) {
      alive[i] = gram[i] != kNone && m_candidates[gram[i]].Count >= least;
      any = any || alive[i];
    }
    if (!any || StopRequested()) break;
  }
  // Each candidate's occurrences, by place.
  m_occurrenceAt.assign(m_candidates.size() + 1, 0);
  for (std::size_t c = 0; c < m_candidates.size(); ++c)
    m_occurrenceAt[c + 1] = m_occurrenceAt[c] + m_candidates[c].Count;
  m_occurrences.resize(m_occurrenceAt.back());
  std::vector<std::uint32_t> next(m_occurrenceAt.begin(), m_occurrenceAt.end() - 1);
  for (std::size_t k = 0; k < grams.size(); ++k)
    if (grams[k] != kNone) m_occurrences[next[grams[k]]++] = m_tokenStart[k % tokens];
  for (std::size_t c = 0; c < m_candidates.size(); ++c) {
    // A piece met at two lengths (one-byte entries of several characters)
    // has its places from both.
    const auto first = m_occurrences.begin() + m_occurrenceAt[c];
    const auto last = m_occurrences.begin() + m_occurrenceAt[c + 1];
    if (!std::is_sorted(first, last)) std::sort(first, last);
  }
  m_chosen.assign(m_candidates.size(), false);
  for (const Candidate& c : m_candidates)
    m_longestEdge = std::max<std::size_t>(m_longestEdge, c.Size);
}

void Chooser::FindOccurrences(std::uint32_t id, bool everywhere, Scratch& s) const {
  s.Texts.clear();
  s.At.clear();
  s.Found.clear();
  const std::string_view text = TextOf(id);
  const auto found = [&](std::uint32_t p) {
    const std::uint32_t owner = m_textOf[p];
    // An entry never ends a text that must end with an end token.
    if (p + text.size() == m_start[owner + 1] && m_mustEnd[owner]) return;
    if (s.Texts.empty() || s.Texts.back() != owner) {
      s.Texts.push_back(owner);
      s.At.push_back(static_cast<std::uint32_t>(s.Found.size()));
    }
    s.Found.push_back(p - m_start[owner]);
  };
  if (!everywhere) {
    for (std::uint32_t k = m_occurrenceAt[id]; k < m_occurrenceAt[id + 1]; ++k)
      found(m_occurrences[k]);
  } else {
    const std::uint32_t pair = (static_cast<std::uint32_t>(static_cast<std::uint8_t>(text[0])) << 8) |
                               static_cast<std::uint8_t>(text[1]);
    for (std::uint32_t k = m_pairAt[pair]; k < m_pairAt[pair + 1]; ++k) {
      const std::uint32_t p = m_pairs[k];
      if (p + text.size() > m_start[m_textOf[p] + 1]) continue;
      if (std::memcmp(m_bytes.data() + p, text.data(), text.size()) != 0) continue;
      found(p);
    }
  }
  s.At.push_back(static_cast<std::uint32_t>(s.Found.size()));
}

// The bytes the texts would save with the candidate as one more entry. Only
// the stretch of each text from its first occurrence to the end of its last
// is walked: before it the cheapest paths stay as they are, and every path
// crosses the places just after it, from each of which the cheapest path
// onward is known.
std::int64_t Chooser::Gain(std::uint32_t id, Scratch& s) const {
  FindOccurrences(id, false, s);
  const std::uint32_t length = m_candidates[id].Size;
  std::int64_t gain = 0;
  for (std::size_t k = 0; k < s.Texts.size(); ++k) {
    const std::size_t text = s.Texts[k];
    const std::size_t size = SizeOf(text);
    const std::size_t base = m_start[text];
    const std::uint32_t* to = m_to.data() + Slot(text);
    const std::uint32_t* from = m_from.data() + Slot(text);
    const std::uint32_t* occ = s.Found.data() + s.At[k];
    const std::uint32_t* occEnd = s.Found.data() + s.At[k + 1];
    const std::size_t lo = occ[0];
    const std::size_t hi = occEnd[-1] + length;
    const std::size_t last = std::min(size, hi + m_longestEdge - 1);
    s.Window.assign(to + lo, to + last + 1);
    std::uint32_t* w = s.Window.data() - lo;  // w[pos] for pos in [lo, last]
    const std::vector<Occurrence>& dict = m_dictionary[text];
    auto d = std::lower_bound(dict.begin(), dict.end(), Occurrence{static_cast<std::uint32_t>(lo), 0});
    for (std::size_t pos = lo; pos < hi; ++pos) {
      const std::uint32_t here = w[pos];
      if (here >= kUnreached) {
        while (d != dict.end() && d->Pos == pos)
          ++d;
        while (occ != occEnd && *occ == pos)
          ++occ;
        continue;
      }
      for (std::uint32_t e = m_edgeAt[base + pos]; e < m_edgeAt[base + pos + 1]; ++e) {
        const ItemEdge& edge = m_edges[e];
        w[pos + edge.Length] = std::min<std::uint32_t>(w[pos + edge.Length], here + edge.Cost);
      }
      for (; d != dict.end() && d->Pos == pos; ++d)
        w[pos + d->Size] = std::min(w[pos + d->Size], here + 1);
      for (; occ != occEnd && *occ == pos; ++occ)
        w[pos + length] = std::min(w[pos + length], here + 1);
    }
    std::uint32_t after = kUnreached;
    for (std::size_t pos = hi; pos <= last; ++pos)
      after = std::min(after, w[pos] + from[pos]);
    gain += static_cast<std::int64_t>(from[0]) - std::min(after, from[0]);
  }
  return gain;
}

void Chooser::Add(std::uint32_t id) {
  FindOccurrences(id, true, m_scratch);
  const Scratch& s = m_scratch;
  const std::uint32_t length = m_candidates[id].Size;
  for (std::size_t k = 0; k < s.Texts.size(); ++k) {
    const std::size_t text = s.Texts[k];
    std::vector<Occurrence>& dict = m_dictionary[text];
    const std::size_t old = dict.size();
    for (std::uint32_t j = s.At[k]; j < s.At[k + 1]; ++j)
      dict.push_back({s.Found[j], length});
    std::inplace_merge(dict.begin(), dict.begin() + static_cast<std::ptrdiff_t>(old), dict.end());
    m_total -= m_from[Slot(text)];
    Solve(text, s.Found[s.At[k]], s.Found[s.At[k + 1] - 1] + length);
    m_total += m_from[Slot(text)];
  }
  m_chosen[id] = true;
}

void Chooser::Remove(std::uint32_t id) {
  FindOccurrences(id, true, m_scratch);
  const Scratch& s = m_scratch;
  const std::uint32_t length = m_candidates[id].Size;
  for (std::size_t k = 0; k < s.Texts.size(); ++k) {
    const std::size_t text = s.Texts[k];
    std::vector<Occurrence>& dict = m_dictionary[text];
    std::uint32_t j = s.At[k];
    std::erase_if(dict, [&](const Occurrence& o) {
      while (j < s.At[k + 1] && s.Found[j] < o.Pos)
        ++j;
      return j < s.At[k + 1] && s.Found[j] == o.Pos && o.Size == length;
    });
    m_total -= m_from[Slot(text)];
    Solve(text, s.Found[s.At[k]], s.Found[s.At[k + 1] - 1] + length);
    m_total += m_from[Slot(text)];
  }
  m_chosen[id] = false;
}

void Chooser::Score(std::uint32_t id, std::int64_t score) {
  m_score[id] = score;
  m_scoredIn[id] = m_round;
  if (score > 0) {
    m_heap.push_back({score, id, m_round});
    std::push_heap(m_heap.begin(), m_heap.end());
  }
}

// Scores candidates against the dictionary as it stands, on every core.
void Chooser::ScoreAll(const std::vector<std::uint32_t>& ids) {
  const std::size_t workers =
      std::clamp<std::size_t>(ids.size() / 64, 1, std::min(8u, std::max(1u, std::thread::hardware_concurrency())));
  std::vector<std::int64_t> scores(ids.size(), 0);
  std::atomic<std::size_t> next{0};
  const auto work = [&](Scratch& s) {
    for (;;) {
      const std::size_t from = next.fetch_add(64);
      if (from >= ids.size() || m_control.StopRequested()) return;
      for (std::size_t k = from; k < std::min(ids.size(), from + 64); ++k)
        scores[k] = Gain(ids[k], s);
    }
  };
  {
    std::vector<Scratch> scratch(workers - 1);
    std::vector<std::jthread> threads;
    for (std::size_t w = 1; w < workers; ++w)
      threads.emplace_back([&, w] { work(scratch[w - 1]); });
    work(m_scratch);
  }
  if (StopRequested()) return;
  for (std::size_t k = 0; k < ids.size(); ++k) {
    m_score[ids[k]] = scores[k];
    m_scoredIn[ids[k]] = m_round;
  }
}

// Scores again every candidate that could save `least` bytes or more, and
// makes the heap again from every candidate's last score.
void Chooser::Refresh(std::int64_t least) {
  std::vector<std::uint32_t> ids;
  for (std::uint32_t c = 0; c < m_candidates.size(); ++c)
    if (!m_chosen[c] && Bound(c) >= least && m_scoredIn[c] != m_round) ids.push_back(c);
  ScoreAll(ids);
  m_heap.clear();
  for (std::uint32_t c = 0; c < m_candidates.size(); ++c) {
    const std::int64_t score = m_scoredIn[c] == kNone ? Bound(c) : m_score[c];
    if (!m_chosen[c] && score > 0) m_heap.push_back({score, c, m_scoredIn[c]});
  }
  std::make_heap(m_heap.begin(), m_heap.end());
}

// Pops candidates, scoring each again against the dictionary as it stands,
// until one scored so comes to the top; kNone when none saves a byte.
std::uint32_t Chooser::PickBest() {
  while (!m_heap.empty()) {
    if (StopRequested()) return kNone;
    const Scored top = m_heap.front();
    if (top.Score <= 0) return kNone;
    std::pop_heap(m_heap.begin(), m_heap.end());
    m_heap.pop_back();
    // Passed over: taken, or scored again since.
    if (m_chosen[top.Id] || top.Round != m_scoredIn[top.Id]) continue;
    if (top.Round == m_round) return top.Id;
    Score(top.Id, Gain(top.Id, m_scratch));
  }
  return kNone;
}

// The candidate's text without its first or last one-byte entries, and with
// one more at either end: the pieces that lose or gain most when it comes or
// goes.
std::vector<std::uint32_t> Chooser::Neighbours(std::uint32_t id) const {
  const std::string_view text = TextOf(id);
  std::vector<std::size_t> bounds;  // where its one-byte entries begin (longest first)
  for (std::size_t pos = 0; pos < text.size();) {
    bounds.push_back(pos);
    std::size_t length = 0;
    for (const std::uint32_t u : m_unitsByByte[static_cast<std::uint8_t>(text[pos])])
      if (text.compare(pos, m_units[u].Text.size(), m_units[u].Text) == 0) {
        length = m_units[u].Text.size();
        break;
      }
    if (length == 0) return {};
    pos += length;
  }
  std::vector<std::uint32_t> out;
  const auto add = [&](std::string_view piece) {
    const std::uint32_t c = piece.size() >= 2 ? Find(piece) : kNone;
    if (c != kNone && c != id && !m_chosen[c] && std::find(out.begin(), out.end(), c) == out.end())
      out.push_back(c);
  };
  for (std::size_t from = 0; from < bounds.size(); ++from)
    for (std::size_t to = from + 1; to <= bounds.size(); ++to)
      if (to - from < bounds.size()) add(text.substr(bounds[from], (to < bounds.size() ? bounds[to] : text.size()) - bounds[from]));
  std::string longer;
  for (const Unit& u : m_units) {
    longer.assign(u.Text).append(text);
    add(longer);
    longer.assign(text).append(u.Text);
    add(longer);
  }
  return out;
}

std::vector<std::pair<std::string, std::string>> Chooser::Choose(std::size_t codes, bool& stopped) {
  std::vector<std::uint32_t> chosen;
  if (!StopRequested()) {
    m_control.Report(kSetupShare);
    // Every candidate starts with what it saves at most.
    m_score.assign(m_candidates.size(), 0);
    m_scoredIn.assign(m_candidates.size(), kNone);
    Refresh(std::numeric_limits<std::int64_t>::max());

    // The greedy choice: what saves most against the entries chosen so far.
    // Scores are kept from one round to the next, but a piece may save more
    // once another is taken (it no longer breaks a longer entry of the
    // table, say): every kRefresh rounds, and before giving up, those that
    // could matter are scored again.
    constexpr std::size_t kRefresh = 32;
    std::int64_t lastGain = 0;
    std::uint32_t refreshedIn = kNone;
    while (chosen.size() < codes) {
      if (chosen.size() % kRefresh == 0 && !chosen.empty() && refreshedIn != m_round) {
        Refresh(lastGain * 2 / 3);
        refreshedIn = m_round;
      }
      std::uint32_t best = PickBest();
      if (best == kNone && !m_stopped && refreshedIn != m_round) {
        Refresh(1);
        refreshedIn = m_round;
        best = PickBest();
      }
      if (best == kNone) break;
      lastGain = m_score[best];
      Add(best);
      ++m_round;
      chosen.push_back(best);
      m_control.Report(kSetupShare + kGreedyShare * static_cast<double>(chosen.size()) /
                                         static_cast<double>(codes));
    }

    // Swaps: each entry in turn is taken out and the choice made again
    // against the others, with the pieces around it (shorter by a one-byte
    // entry, or longer by one) scored anew; a piece that saves more takes
    // its place. One pass: a second one rarely finds anything.
    if (!m_stopped && !chosen.empty()) Refresh(lastGain * 2 / 3);
    for (std::size_t k = 0; k < chosen.size() && !StopRequested(); ++k) {
      const std::uint32_t entry = chosen[k];
      const std::int64_t with = m_total;
      Remove(entry);
      ++m_round;
      Score(entry, m_total - with);
      for (const std::uint32_t n : Neighbours(entry))
        Score(n, Gain(n, m_scratch));
      std::uint32_t best = PickBest();
      if (best == kNone) best = entry;  // stopped: put it back
      Add(best);
      ++m_round;
      chosen[k] = best;
      m_control.Report(kSetupShare + kGreedyShare +
                       kSwapShare * static_cast<double>(k + 1) / static_cast<double>(chosen.size()));
    }
  }
  stopped = m_stopped;
  std::vector<std::pair<std::string, std::string>> out;
  for (const std::uint32_t c : chosen) {
    const std::string_view text = TextOf(c);
    // Spelt with the fewest one-byte entries (a piece of n of them may read
    // as fewer when some entry's text spans two others').
    std::vector<std::size_t> fewest(text.size() + 1, kNone);
    std::vector<std::uint32_t> by(text.size() + 1, kNone);
    fewest[text.size()] = 0;
    for (std::size_t pos = text.size(); pos-- > 0;) {
      for (const std::uint32_t u : m_unitsByByte[static_cast<std::uint8_t>(text[pos])]) {
        const std::string_view t = m_units[u].Text;
        if (text.compare(pos, t.size(), t) != 0 || fewest[pos + t.size()] == kNone) continue;
        if (fewest[pos + t.size()] + 1 < fewest[pos]) {
          fewest[pos] = fewest[pos + t.size()] + 1;
          by[pos] = u;
        }
      }
    }
    std::string bytes;
    for (std::size_t pos = 0; pos < text.size(); pos += m_units[by[pos]].Text.size())
      bytes.push_back(m_units[by[pos]].Key);
    out.emplace_back(std::string(text), std::move(bytes));
  }
  return out;
}

}  // namespace

void MarkRawBytes(const CompiledTable& table, std::string_view bytes, std::vector<bool>& raw) {
  const auto* b = reinterpret_cast<const std::uint8_t*>(bytes.data());
  for (std::size_t pos = 0; pos < bytes.size();) {
    const TableEntry* e = table.Match(b + pos, bytes.size() - pos);
    if (e == nullptr) {
      raw[b[pos++]] = true;
      continue;
    }
    pos += e->KeySize + (e->Kind == TokenKind::kControl ? e->Params : 0);
  }
}

DictionaryResult ChooseDictionary(const CompiledTable& table,
                                  std::span<const std::string_view> texts,
                                  const DictionaryOptions& options, const SearchControl& control,
                                  std::span<const std::uint8_t> alsoRaw) {
  if (options.MaxLength < 2 || options.MaxLength > kMaxDictionaryLength)
    throw AppError(kErrBadSetting, "La longitud máxima de una entrada del diccionario ha de ir de 2 a " +
                                       std::to_string(kMaxDictionaryLength) + ".");
  DictionaryResult result;

  // Every text through the table as it is: its bytes, and the bytes that
  // stand raw in them.
  TextEncoder encoder(table);
  const EncodedTexts before = EncodeAll(encoder, texts);
  if (before.Failure) {
    result.Failure.emplace(before.Failed, *before.Failure);
    return result;
  }
  std::vector<bool> raw(256, false);
  for (const std::uint8_t b : alsoRaw)
    raw[b] = true;
  for (std::size_t i = 0, start = 0; i < texts.size(); start = before.Ends[i++])
    MarkRawBytes(table, std::string_view(before.Bytes).substr(start, before.Ends[i] - start), raw);
  std::vector<bool> taken(256, false);
  for (const TableEntry& e : table.Entries())
    taken[static_cast<std::uint8_t>(table.Key(e)[0])] = true;
  std::vector<std::uint8_t> codes = options.Codes;
  std::sort(codes.begin(), codes.end());
  codes.erase(std::unique(codes.begin(), codes.end()), codes.end());
  std::vector<std::uint8_t> usable;
  for (const std::uint8_t c : codes) {
    if (taken[c]) {
      result.Taken.push_back(c);
    } else if (raw[c]) {
      result.Raw.push_back(c);
    } else {
      usable.push_back(c);
    }
  }
  std::size_t start = 0;
  for (std::size_t i = 0; i < texts.size(); ++i) {
    result.Before.push_back(static_cast<std::int64_t>(before.Ends[i] - start));
    start = before.Ends[i];
  }

  // The choice, on the texts as the encoder reads them.
  const ItemModel model(table);
  std::vector<std::string> normalized;
  normalized.reserve(texts.size());
  for (const std::string_view t : texts)
    normalized.push_back(model.Normalized(t));
  if (!usable.empty()) {
    Chooser chooser(table, model, normalized, options.MaxLength, control);
    const auto chosen = chooser.Choose(usable.size(), result.Stopped);
    for (std::size_t k = 0; k < chosen.size(); ++k)
      result.Entries.push_back({usable[k], chosen[k].first, chosen[k].second});
    result.PathAfter = chooser.Total();
  } else {
    for (const std::int64_t b : result.Before)
      result.PathAfter += b;
  }

  // The encoder's own bytes with the entries, each text read back.
  const CompiledTable enlarged = EnlargedTable(table, result.Entries);
  TextEncoder enlargedEncoder(enlarged);
  const EncodedTexts after = EncodeAll(enlargedEncoder, texts);
  if (after.Failure)
    throw AppError(kErrCannotEncode, "El texto " + std::to_string(after.Failed) +
                                         " no se puede codificar con el diccionario.");
  start = 0;
  const auto* afterBytes = reinterpret_cast<const std::uint8_t*>(after.Bytes.data());
  for (std::size_t i = 0; i < texts.size(); ++i) {
    const std::size_t size = after.Ends[i] - start;
    result.After.push_back(static_cast<std::int64_t>(size));
    const std::string read =
        size == 0 ? std::string()
                  : DecodeString(enlarged, std::span(afterBytes + start, size), 0,
                                 {static_cast<std::int64_t>(size) - 1, static_cast<std::int64_t>(size), true})
                        .Text;
    if (read != normalized[i])
      throw AppError(kErrCannotEncode, "El texto " + std::to_string(i) +
                                           " no se lee igual con el diccionario: «" + read + "».");
    start = after.Ends[i];
  }
  control.Report(1.0);
  return result;
}

CompiledTable EnlargedTable(const CompiledTable& table, std::span<const DictionaryEntry> entries) {
  // The table's entries as a classic list shows them: each text as the
  // table shows it, so that the compiled list shows the same.
  DecodeStyle style = table.Style();
  style.ClassicMarkers = false;
  EntryList list;
  list.Classic = true;
  for (const TableEntry& e : table.Entries()) {
    Entry entry;
    entry.Key = std::string(table.Key(e));
    entry.Text = std::string(table.Shown(e));
    entry.Params = e.Params;
    switch (e.Kind) {
      case TokenKind::kText:
      case TokenKind::kRaw:
        entry.Kind = EntryKind::kText;
        break;
      case TokenKind::kLineBreak:
        entry.Kind = EntryKind::kLineBreak;
        if (entry.Text.ends_with(style.LineBreak))
          entry.Text.resize(entry.Text.size() - style.LineBreak.size());
        break;
      case TokenKind::kControl:
        entry.Kind = EntryKind::kControl;
        break;
      case TokenKind::kEnd:
        entry.Kind = EntryKind::kEnd;
        break;
      case TokenKind::kPause:
        entry.Kind = EntryKind::kPause;
        break;
    }
    list.Entries.push_back(std::move(entry));
  }
  for (const DictionaryEntry& d : entries) {
    Entry entry;
    entry.Key = std::string(1, static_cast<char>(d.Code));
    entry.Text = d.Text;
    list.Entries.push_back(std::move(entry));
  }
  return CompiledTable::Compile(list, style);
}

std::string TableLines(std::span<const DictionaryEntry> entries) {
  std::vector<const DictionaryEntry*> byCode;
  for (const DictionaryEntry& e : entries)
    byCode.push_back(&e);
  std::sort(byCode.begin(), byCode.end(),
            [](const DictionaryEntry* a, const DictionaryEntry* b) { return a->Code < b->Code; });
  std::string out;
  for (const DictionaryEntry* e : byCode) {
    AppendByteHex(out, e->Code);
    out += '=';
    out += e->Text;
    out += '\n';
  }
  return out;
}

std::string DictionaryData(std::span<const DictionaryEntry> entries, std::uint8_t first,
                           std::uint8_t last, int maxLength, std::uint8_t pad) {
  if (last < first) return {};
  const auto slot = static_cast<std::size_t>(maxLength);
  std::string out((static_cast<std::size_t>(last - first) + 1) * slot, static_cast<char>(pad));
  for (const DictionaryEntry& e : entries) {
    if (e.Code < first || e.Code > last) continue;
    out.replace(static_cast<std::size_t>(e.Code - first) * slot, std::min(e.Bytes.size(), slot),
                e.Bytes.substr(0, slot));
  }
  return out;
}

std::optional<std::vector<std::uint8_t>> ParseCodeList(std::string_view text) {
  std::vector<std::uint8_t> codes;
  std::size_t from = 0;
  for (;;) {
    const std::size_t comma = text.find(',', from);
    const std::string_view part = Trim(text.substr(from, comma == std::string::npos ? std::string::npos : comma - from));
    const std::size_t dash = part.find('-');
    const auto first = ParseHexNumber(part.substr(0, dash), 2);
    const auto last = dash == std::string_view::npos ? first : ParseHexNumber(part.substr(dash + 1), 2);
    if (!first || !last || *last < *first) return std::nullopt;
    for (std::int64_t c = *first; c <= *last; ++c)
      codes.push_back(static_cast<std::uint8_t>(c));
    if (comma == std::string::npos) break;
    from = comma + 1;
  }
  std::sort(codes.begin(), codes.end());
  codes.erase(std::unique(codes.begin(), codes.end()), codes.end());
  return codes;
}

}  // namespace romscriber
