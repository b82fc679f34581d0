#include "discover/pointer_search.h"

#include "base/app_error.h"
#include "base/text.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <map>
#include <set>
#include <tuple>
#include <unordered_map>

#include "hex/hex.h"
#include "project/project_text.h"

namespace romscriber {

namespace {

// Neighbouring targets further apart than this propose no add: strings are
// shorter, and a wider window lets more unrelated values through.
constexpr std::int64_t kMaxGap = 0x1000;
// Positions read at once for the proposals.
constexpr std::int64_t kChunk = 1 << 16;
// Forms of address counted in a run; more are as many.
constexpr std::size_t kMostForms = 8;

// Target offsets by value, in an open-addressing table: the scans ask for
// every value that passes their filters.
class TargetIndex {
 public:
  explicit TargetIndex(const std::vector<std::int64_t>& targets) {
    std::size_t capacity = 16;
    while (capacity < 2 * targets.size()) capacity *= 2;
    m_shift = 64 - std::countr_zero(capacity);
    m_mask = capacity - 1;
    m_keys.assign(capacity, -1);
    m_values.assign(capacity, 0);
    for (std::size_t i = 0; i < targets.size(); ++i) {
      std::size_t h = Slot(targets[i]);
      while (m_keys[h] != -1) h = (h + 1) & m_mask;
      m_keys[h] = targets[i];
      m_values[h] = static_cast<std::int32_t>(i);
    }
  }
  // The target's index, or -1.
  std::int32_t Find(std::int64_t offset) const {
    for (std::size_t h = Slot(offset);; h = (h + 1) & m_mask) {
      if (m_keys[h] == offset) return m_values[h];
      if (m_keys[h] == -1) return -1;
    }
  }

 private:
  std::size_t Slot(std::int64_t key) const {
    return static_cast<std::size_t>((static_cast<std::uint64_t>(key) * 0x9E3779B97F4A7C15ull) >>
                                    m_shift) &
           m_mask;
  }
  std::vector<std::int64_t> m_keys;
  std::vector<std::int32_t> m_values;
  int m_shift = 0;
  std::size_t m_mask = 0;
};

// A set of 65,536 bits.
class Bits64K {
 public:
  Bits64K() : m_words(1024, 0) {}
  void Set(std::uint32_t i) { m_words[(i >> 6) & 1023] |= std::uint64_t{1} << (i & 63); }
  bool Test(std::uint32_t i) const { return (m_words[(i >> 6) & 1023] >> (i & 63)) & 1; }
  void Clear() { std::fill(m_words.begin(), m_words.end(), 0); }

 private:
  std::vector<std::uint64_t> m_words;
};

template <int Size, bool Big>
inline std::uint32_t Read(const std::uint8_t* p) {
  std::uint32_t v = 0;
  for (int k = 0; k < Size; ++k) {
    const int shift = Big ? 8 * (Size - 1 - k) : 8 * k;
    v |= static_cast<std::uint32_t>(p[k]) << shift;
  }
  return v;
}

std::uint32_t ReadValue(const std::uint8_t* p, int size, Endian order) {
  const bool big = order == Endian::kBig;
  switch (size) {
    case 2:
      return big ? Read<2, true>(p) : Read<2, false>(p);
    case 3:
      return big ? Read<3, true>(p) : Read<3, false>(p);
    default:
      return big ? Read<4, true>(p) : Read<4, false>(p);
  }
}

template <int Size, bool Big>
void Fill(const std::uint8_t* from, std::int64_t count, std::uint32_t* out) {
  for (std::int64_t i = 0; i < count; ++i) out[i] = Read<Size, Big>(from + i);
}

// The values read at each of `count` positions from `from`.
void FillValues(const std::uint8_t* from, std::int64_t count, int size, Endian order,
                std::uint32_t* out) {
  const bool big = order == Endian::kBig;
  switch (size) {
    case 2:
      return big ? Fill<2, true>(from, count, out) : Fill<2, false>(from, count, out);
    case 3:
      return big ? Fill<3, true>(from, count, out) : Fill<3, false>(from, count, out);
    default:
      return big ? Fill<4, true>(from, count, out) : Fill<4, false>(from, count, out);
  }
}

// Where a 3- or 4-byte value falls in the scans' filter: the bits above its
// lowest byte, folded to 16.
inline std::uint32_t FilterIndex(std::uint64_t value) {
  return static_cast<std::uint32_t>(((value >> 8) ^ (value >> 24)) & 0xFFFF);
}

// Every address that the map turns into `target`: its own and the mirrors
// that games use (LoROM's fast banks, HiROM's four bank ranges, the fixed
// bank 0 of a Game Boy seen from any bank). `topBank` bounds the banks tried
// for the last.
std::vector<std::int64_t> ReachingAddresses(const AddressMap& map, std::int64_t target,
                                            std::int64_t topBank) {
  const MapSettings& s = map.Settings();
  const std::int64_t own = map.ToAddress(target);
  std::vector<std::int64_t> out;
  switch (s.Kind) {
    case MapKind::kLinear:
      out = {own};
      break;
    case MapKind::kLoRom:
      out = {own & ~std::int64_t{0x800000}, own | 0x800000};
      break;
    case MapKind::kHiRom:
      for (std::int64_t high = 0; high < 4; ++high)
        out.push_back((own & 0x3FFFFF) | high << 22);
      break;
    case MapKind::kBanked: {
      out = {own};
      const std::int64_t r = target - s.Header;
      if (s.Window == s.BankSize && r < s.BankSize) {
        out.push_back(s.Window + r);
        for (std::int64_t bank = 1; bank <= topBank; ++bank)
          out.push_back(bank << 16 | r);
      }
      break;
    }
  }
  std::erase_if(out, [&](std::int64_t a) { return map.ToOffset(a) != target; });
  std::sort(out.begin(), out.end());
  out.erase(std::unique(out.begin(), out.end()), out.end());
  return out;
}

// The first offset past `start` whose address lies in another bank.
std::int64_t BankEnd(const MapSettings& s, std::int64_t start) {
  const std::int64_t r = start - s.Header;
  switch (s.Kind) {
    case MapKind::kLinear:
      return start + (0x10000 - ((r + s.Base) & 0xFFFF));
    case MapKind::kLoRom:
      return start + (0x8000 - (r & 0x7FFF));
    case MapKind::kHiRom:
      return start + (0x10000 - (r & 0xFFFF));
    case MapKind::kBanked:
      return start + (s.BankSize - r % s.BankSize);
  }
  return start + 1;
}

struct Combo {
  std::size_t Map = 0;
  int Size = 2;
  Endian Order = Endian::kLittle;
  int Id = 0;  // one number per map, size and order
};

struct Hit {
  std::int64_t Pos;
  std::int64_t A;  // value + A is the address
};

// A candidate as the search keeps it, with which map it is.
struct Found {
  PointerCandidate Candidate;
  std::size_t Map = 0;
  std::int64_t Forms = 1;  // forms of address its entries take, up to kMostForms + 1
};

// A neighbouring pair of targets under one map: the first target's index
// and how many targets on the second lies.
struct GapPair {
  std::uint32_t Map;
  std::int32_t First;
  std::int32_t Step;
};

class Searcher {
 public:
  Searcher(std::span<const std::uint8_t> rom, std::vector<std::int64_t> targets,
           const PointerSearchOptions& options, const SearchControl& control)
      : m_rom(rom),
        m_size(static_cast<std::int64_t>(rom.size())),
        m_targets(std::move(targets)),
        m_index(m_targets),
        m_options(options),
        m_control(control),
        m_marked(m_targets.size(), false) {
    const std::vector<MapSettings> maps =
        options.Maps.empty() ? StandardMaps() : options.Maps;
    for (const MapSettings& s : maps)
      if (s.Header < m_size) m_maps.emplace_back(s, m_size);
    m_minReached = m_targets.size() == 1 ? 1 : 2;
  }

  PointerSearchResult Run() {
    PointerSearchResult result;
    result.Targets = static_cast<std::int64_t>(m_targets.size());
    if (m_targets.empty() || m_maps.empty()) return result;
    if (m_options.SearchAdd) BuildGaps();
    std::vector<int> sizes = m_options.Sizes;
    std::erase_if(sizes, [](int s) { return s < 2 || s > 4; });
    m_passes = 2 * sizes.size();
    for (const int size : sizes) {
      for (const Endian order : {Endian::kLittle, Endian::kBig}) {
        if (!Pass(size, order)) {
          result.Stopped = true;
          break;
        }
        ++m_pass;
      }
      if (result.Stopped) break;
    }
    if (!result.Stopped) m_control.Report(1.0);
    result.Candidates = Ranked();
    return result;
  }

 private:
  Combo ComboOf(std::size_t map, int size, Endian order) const {
    return {map, size, order,
            static_cast<int>((map * 3 + static_cast<std::size_t>(size - 2)) * 2 +
                             (order == Endian::kBig ? 1 : 0))};
  }

  std::int64_t Header(std::size_t map) const { return m_maps[map].Settings().Header; }

  // The target the entry at `pos` reaches with `a`, or -1.
  std::int32_t Reach(const Combo& c, std::int64_t a, std::int64_t pos) const {
    const std::int64_t address =
        std::int64_t{ReadValue(m_rom.data() + pos, c.Size, c.Order)} + a;
    const auto offset = m_maps[c.Map].ToOffset(address);
    return offset ? m_index.Find(*offset) : -1;
  }

  // The add that the first scan covers at `pos`: none, or for 2-byte
  // pointers the bank of the table.
  std::int64_t PlainA(const Combo& c, std::int64_t pos) const {
    return c.Size == 2 ? (m_maps[c.Map].ToAddress(pos) >> 16) << 16 : 0;
  }

  // Reports how far the pass has gone; false when a stop is requested.
  bool Report(std::int64_t pos) const {
    m_control.Report((static_cast<double>(m_pass) + static_cast<double>(pos) /
                                                         static_cast<double>(m_size)) /
                     static_cast<double>(m_passes));
    return !m_control.StopRequested();
  }

  // Whether a run through `pos` with this combination, stride and A has
  // already been taken.
  bool Covered(const Combo& c, int stride, std::int64_t a, std::int64_t pos) const {
    const auto it = m_covered.find({c.Id, stride, a, pos % stride});
    if (it == m_covered.end()) return false;
    for (const auto& [first, last] : it->second)
      if (pos >= first && pos <= last) return true;
    return false;
  }

  // The run through `seed` (an entry that reaches a target): as far each way
  // as entries reach targets with at most MaxMisses in a row reaching none.
  // A run reaching enough targets becomes a candidate.
  void Extend(const Combo& c, int stride, std::int64_t a, std::int64_t seed) {
    const std::int64_t low = Header(c.Map);
    const std::int64_t high = m_size - c.Size;
    std::int64_t first = seed;
    int misses = 0;
    for (std::int64_t q = seed - stride; q >= low; q -= stride) {
      if (Reach(c, a, q) >= 0) {
        first = q;
        misses = 0;
      } else if (++misses > m_options.MaxMisses) {
        break;
      }
    }
    std::int64_t last = seed;
    misses = 0;
    for (std::int64_t q = seed + stride; q <= high; q += stride) {
      if (Reach(c, a, q) >= 0) {
        last = q;
        misses = 0;
      } else if (++misses > m_options.MaxMisses) {
        break;
      }
    }
    m_covered[{c.Id, stride, a, seed % stride}].emplace_back(first, last);

    std::int64_t distinct = 0;
    std::int64_t missed = 0;
    std::vector<std::int32_t> reached;
    // How each entry's address stands to its target's own address: a real
    // table keeps to one form (the target's own address, or one mirror such
    // as LoROM's fast banks); a reading that takes a different mirror at
    // every entry is bytes that happen to fit.
    std::vector<std::int64_t> forms;
    const AddressMap& map = m_maps[c.Map];
    for (std::int64_t q = first; q <= last; q += stride) {
      const std::int32_t t = Reach(c, a, q);
      if (t < 0) {
        ++missed;
        continue;
      }
      const std::int64_t address = std::int64_t{ReadValue(m_rom.data() + q, c.Size, c.Order)} + a;
      const std::int64_t form = address - map.ToAddress(m_targets[static_cast<std::size_t>(t)]);
      if (forms.size() <= kMostForms && std::find(forms.begin(), forms.end(), form) == forms.end())
        forms.push_back(form);
      if (!m_marked[static_cast<std::size_t>(t)]) {
        m_marked[static_cast<std::size_t>(t)] = true;
        reached.push_back(t);
        ++distinct;
      }
    }
    for (const std::int32_t t : reached) m_marked[static_cast<std::size_t>(t)] = false;
    if (distinct < m_minReached) return;

    Found f;
    f.Map = c.Map;
    f.Candidate.Map = m_maps[c.Map].Settings();
    PointerFormat& p = f.Candidate.Format;
    p.Offset = first;
    p.Count = (last - first) / stride + 1;
    p.Size = c.Size;
    p.Order = c.Order;
    p.Stride = stride;
    p.Add = a - (c.Size == 2 ? (m_maps[c.Map].ToAddress(first) >> 16) << 16 : 0);
    f.Candidate.Reached = distinct;
    f.Candidate.Missed = missed;
    f.Forms = static_cast<std::int64_t>(forms.size());
    if (m_seen.insert({c.Id, stride, p.Offset, p.Count, p.Add}).second) m_found.push_back(f);
  }

  // Runs of entries that reach targets with their own A, by stride; each
  // run with enough of them is extended into a candidate.
  void RunsFromHits(const Combo& c, const std::vector<Hit>& hits) {
    for (int stride = c.Size; stride <= m_options.MaxStride; ++stride) {
      std::vector<std::int64_t> lastPos(static_cast<std::size_t>(stride), -1);
      std::vector<std::int64_t> lastA(static_cast<std::size_t>(stride), 0);
      std::vector<std::int64_t> runStart(static_cast<std::size_t>(stride), 0);
      std::vector<int> runHits(static_cast<std::size_t>(stride), 0);
      const std::int64_t reach = std::int64_t{m_options.MaxMisses + 1} * stride;
      const auto close = [&](std::size_t r) {
        if (lastPos[r] >= 0 && runHits[r] >= m_minReached &&
            !Covered(c, stride, lastA[r], runStart[r]))
          Extend(c, stride, lastA[r], runStart[r]);
      };
      for (const Hit& h : hits) {
        const auto r = static_cast<std::size_t>(h.Pos % stride);
        if (lastPos[r] >= 0 && h.Pos - lastPos[r] <= reach && lastA[r] == h.A) {
          ++runHits[r];
        } else {
          close(r);
          runStart[r] = h.Pos;
          runHits[r] = 1;
          lastA[r] = h.A;
        }
        lastPos[r] = h.Pos;
      }
      for (std::size_t r = 0; r < static_cast<std::size_t>(stride); ++r) close(r);
    }
  }

  // Neighbouring targets under each map, by how far apart their addresses
  // lie.
  void BuildGaps() {
    m_gaps.assign(static_cast<std::size_t>(kMaxGap) + 1, {});
    m_gapBits.assign(static_cast<std::size_t>(kMaxGap / 64 + 1), 0);
    m_addresses.assign(m_maps.size(), {});
    for (std::size_t m = 0; m < m_maps.size(); ++m) {
      // Only targets the map reaches (LoROM and HiROM see 4 MiB).
      std::vector<std::int64_t>& k = m_addresses[m];
      for (auto t = std::lower_bound(m_targets.begin(), m_targets.end(), Header(m));
           t != m_targets.end(); ++t) {
        const std::int64_t address = m_maps[m].ToAddress(*t);
        if (m_maps[m].ToOffset(address) == *t) k.push_back(address);
      }
      for (std::size_t j = 0; j < k.size(); ++j) {
        for (std::int32_t step = 1; step <= 2 && j + step < k.size(); ++step) {
          const std::int64_t gap = k[j + step] - k[j];
          if (gap <= 0 || gap > kMaxGap) continue;
          m_gaps[static_cast<std::size_t>(gap)].push_back(
              {static_cast<std::uint32_t>(m), static_cast<std::int32_t>(j), step});
          m_gapBits[static_cast<std::size_t>(gap >> 6)] |= std::uint64_t{1} << (gap & 63);
          m_maxGap = std::max(m_maxGap, static_cast<std::uint32_t>(gap));
        }
      }
    }
  }

  bool KnownGap(std::uint32_t gap) const { return (m_gapBits[gap >> 6] >> (gap & 63)) & 1; }

  // Whether the addresses of the targets after target j of map m by one or
  // two steps lie `gap` further on.
  bool GapAfter(std::uint32_t m, std::int32_t j, std::int64_t gap) const {
    const std::vector<std::int64_t>& k = m_addresses[m];
    for (std::size_t step = 1; step <= 2; ++step) {
      const std::size_t next = static_cast<std::size_t>(j) + step;
      if (next < k.size() && k[next] - k[static_cast<std::size_t>(j)] == gap) return true;
    }
    return false;
  }

  // Three entries at `pos` with values v0, v0 + g1, v0 + g1 + g2: every
  // pair of neighbouring targets that lies g1 apart and has one g2 after it
  // proposes an A that sends v0 to the first.
  void Propose(int size, Endian order, int stride, std::int64_t pos, std::uint32_t v0,
               std::int64_t g1, std::int64_t g2) {
    for (const GapPair& pair : m_gaps[static_cast<std::size_t>(g1)]) {
      if (pos < Header(pair.Map)) continue;
      if (!GapAfter(pair.Map, pair.First + pair.Step, g2)) continue;
      const Combo c = ComboOf(pair.Map, size, order);
      const std::int64_t a = m_addresses[pair.Map][static_cast<std::size_t>(pair.First)] - v0;
      if (a == PlainA(c, pos) || Covered(c, stride, a, pos)) continue;
      Extend(c, stride, a, pos);
    }
  }

  // One size and order over the whole ROM: the entries that reach targets
  // without an add, the runs they form, and the proposals of an add.
  bool Pass(int size, Endian order) {
    std::vector<std::vector<Hit>> hits(m_maps.size());
    if (size == 2) {
      if (!PlainScan2(order, hits)) return false;
    }
    // 3- and 4-byte values: the bits above the low two bytes first, then
    // each map's filter.
    std::vector<Bits64K> filters;
    Bits64K highs;
    if (size > 2) {
      filters.resize(m_maps.size());
      const std::int64_t top = size == 3 ? 0xFFFFFF : 0xFFFFFFFF;
      for (std::size_t m = 0; m < m_maps.size(); ++m) {
        const std::int64_t topBank = size == 3 ? 0xFF : std::max<std::int64_t>(0xFF, TopBank(m));
        for (auto t = std::lower_bound(m_targets.begin(), m_targets.end(), Header(m));
             t != m_targets.end(); ++t) {
          for (const std::int64_t a : ReachingAddresses(m_maps[m], *t, topBank)) {
            if (a < 0 || a > top) continue;
            filters[m].Set(FilterIndex(static_cast<std::uint64_t>(a)));
            highs.Set(static_cast<std::uint32_t>(a >> 16));
          }
        }
      }
    }
    const int maxStride = m_options.MaxStride;
    const std::int64_t lastPos = m_size - size;  // last position a value is read at
    std::vector<std::uint32_t> values(static_cast<std::size_t>(kChunk + 2 * maxStride));
    // Per position of a chunk, whether the values one and two strides on
    // each lie just above the one before: padded to whole words so that
    // they can be skipped eight at once.
    std::vector<std::uint8_t> near(static_cast<std::size_t>(kChunk) + 8);
    const bool propose = m_options.SearchAdd && m_options.MaxStride >= size && m_maxGap > 0;
    for (std::int64_t from = 0; from <= lastPos; from += kChunk) {
      if (!Report(from)) return false;
      const std::int64_t n = std::min(kChunk, lastPos + 1 - from);
      const std::int64_t filled = std::min<std::int64_t>(n + 2 * maxStride, lastPos + 1 - from);
      FillValues(m_rom.data() + from, filled, size, order, values.data());
      if (size > 2) {
        for (std::int64_t i = 0; i < n; ++i) {
          const std::uint32_t v = values[static_cast<std::size_t>(i)];
          if (!highs.Test(v >> 16)) continue;
          const std::uint32_t f = FilterIndex(v);
          for (std::size_t m = 0; m < m_maps.size(); ++m) {
            if (!filters[m].Test(f) || from + i < Header(m)) continue;
            const auto offset = m_maps[m].ToOffset(v);
            if (offset && m_index.Find(*offset) >= 0) hits[m].push_back({from + i, 0});
          }
        }
      }
      if (!propose) continue;
      const std::uint32_t* v = values.data();
      const std::uint32_t maxGap = m_maxGap;
      for (int stride = size; stride <= maxStride; ++stride) {
        const std::int64_t usable = std::min(n, filled - 2 * stride);
        if (usable <= 0) continue;
        // A plain loop over the chunk, which the compiler turns into vector
        // code: most values have no close neighbour above. Of 2-byte values
        // a few in a hundred have one, so the next must have one too.
        std::uint8_t* flags = near.data();
        if (size == 2) {
          for (std::int64_t i = 0; i < usable; ++i) {
            const std::uint32_t g1 = v[i + stride] - v[i] - 1u;
            const std::uint32_t g2 = v[i + 2 * stride] - v[i + stride] - 1u;
            flags[i] = static_cast<std::uint8_t>((g1 < maxGap) & (g2 < maxGap));
          }
        } else {
          for (std::int64_t i = 0; i < usable; ++i)
            flags[i] = static_cast<std::uint8_t>(v[i + stride] - v[i] - 1u < maxGap);
        }
        std::fill(flags + usable, flags + usable + 8, 0);
        for (std::int64_t word = 0; word < usable; word += 8) {
          std::uint64_t eight;
          std::memcpy(&eight, flags + word, 8);
          if (eight == 0) continue;
          for (std::int64_t i = word; i < word + 8 && i < usable; ++i) {
            if (!flags[i]) continue;
            const std::uint32_t g1 = v[i + stride] - v[i];
            const std::uint32_t g2 = v[i + 2 * stride] - v[i + stride];
            if (KnownGap(g1) && g2 - 1u < maxGap && KnownGap(g2))
              Propose(size, order, stride, from + i, v[i], g1, g2);
          }
        }
      }
    }
    for (std::size_t m = 0; m < m_maps.size(); ++m) RunsFromHits(ComboOf(m, size, order), hits[m]);
    return true;
  }

  // The highest bank number of the map's addresses in this ROM.
  std::int64_t TopBank(std::size_t m) const { return m_maps[m].ToAddress(m_size - 1) >> 16; }

  // 2-byte values without an add: each entry reads in the bank of its own
  // address, so the ROM is scanned bank by bank with the values that reach
  // targets from that bank.
  bool PlainScan2(Endian order, std::vector<std::vector<Hit>>& hits) {
    const bool big = order == Endian::kBig;
    Bits64K bits;
    for (std::size_t m = 0; m < m_maps.size(); ++m) {
      const MapSettings& s = m_maps[m].Settings();
      // Values by bank: every reaching address of every target, split into
      // its bank and its place.
      std::unordered_map<std::int64_t, std::vector<std::uint16_t>> byBank;
      const std::int64_t topBank = TopBank(m);
      for (auto t = std::lower_bound(m_targets.begin(), m_targets.end(), s.Header);
           t != m_targets.end(); ++t)
        for (const std::int64_t a : ReachingAddresses(m_maps[m], *t, topBank))
          byBank[a >> 16].push_back(static_cast<std::uint16_t>(a & 0xFFFF));
      for (std::int64_t start = s.Header; start + 2 <= m_size;) {
        const std::int64_t end = std::min(BankEnd(s, start), m_size - 1);
        if (m_control.StopRequested()) return false;
        const std::int64_t bank = m_maps[m].ToAddress(start) >> 16;
        const auto it = byBank.find(bank);
        if (it != byBank.end()) {
          bits.Clear();
          for (const std::uint16_t v : it->second) bits.Set(v);
          const std::int64_t a = bank << 16;
          for (std::int64_t p = start; p < end; ++p) {
            const std::uint32_t v =
                big ? Read<2, true>(m_rom.data() + p) : Read<2, false>(m_rom.data() + p);
            if (!bits.Test(v)) continue;
            const auto offset = m_maps[m].ToOffset(a | v);
            if (offset && m_index.Find(*offset) >= 0) hits[m].push_back({p, a});
          }
        }
        start = BankEnd(s, start);
      }
    }
    return true;
  }

  std::vector<PointerCandidate> Ranked() {
    const auto key = [](const Found& f) {
      const PointerCandidate& c = f.Candidate;
      return std::make_tuple(-c.Reached, c.Missed, c.Format.Add != 0, f.Forms, -c.Format.Size,
                             f.Map, c.Format.Stride, c.Format.Order == Endian::kBig, c.Format.Offset,
                             -c.Format.Count, c.Format.Add < 0 ? -c.Format.Add : c.Format.Add);
    };
    const auto better = [&](const Found& x, const Found& y) { return key(x) < key(y); };
    std::sort(m_found.begin(), m_found.end(), better);
    std::vector<PointerCandidate> out;
    std::set<std::tuple<std::size_t, int, int, std::int64_t, std::int64_t, std::int64_t>> kept;
    for (const Found& f : m_found) {
      if (out.size() >= m_options.Top) break;
      const PointerFormat& p = f.Candidate.Format;
      // The same entries read another way (a mirror's add) are one table.
      if (!kept.insert({f.Map, p.Size, p.Order == Endian::kBig ? 1 : 0, p.Stride, p.Offset, p.Count})
               .second)
        continue;
      out.push_back(f.Candidate);
    }
    return out;
  }

  std::span<const std::uint8_t> m_rom;
  std::int64_t m_size;
  std::vector<std::int64_t> m_targets;
  TargetIndex m_index;
  const PointerSearchOptions& m_options;
  const SearchControl& m_control;
  std::vector<AddressMap> m_maps;
  std::int64_t m_minReached = 2;
  std::vector<bool> m_marked;  // per target, while a run is counted; false otherwise

  // Proposals: neighbouring target pairs by gap; each map's target addresses.
  std::vector<std::vector<GapPair>> m_gaps;
  std::vector<std::uint64_t> m_gapBits;  // which gaps have pairs
  std::uint32_t m_maxGap = 0;            // the widest of them
  std::vector<std::vector<std::int64_t>> m_addresses;

  std::map<std::tuple<int, int, std::int64_t, std::int64_t>,
           std::vector<std::pair<std::int64_t, std::int64_t>>>
      m_covered;
  std::set<std::tuple<int, int, std::int64_t, std::int64_t, std::int64_t>> m_seen;
  std::vector<Found> m_found;
  std::size_t m_pass = 0;
  std::size_t m_passes = 1;
};

}  // namespace

std::vector<MapSettings> StandardMaps() {
  return {
      {.Kind = MapKind::kLoRom},
      {.Kind = MapKind::kLoRom, .Header = 512},
      {.Kind = MapKind::kHiRom},
      {.Kind = MapKind::kHiRom, .Header = 512},
      {.Kind = MapKind::kBanked, .BankSize = 0x4000, .Window = 0x4000},
      {.Kind = MapKind::kBanked, .Header = 16, .BankSize = 0x2000, .Window = 0x8000},
      {.Kind = MapKind::kLinear},
  };
}

std::string MapLabel(const MapSettings& map) {
  std::string label;
  switch (map.Kind) {
    case MapKind::kLinear:
      label = map.Base != 0 ? "linear(" + OffsetHex(map.Base) + ")" : "linear";
      break;
    case MapKind::kLoRom:
      label = map.Fast ? "lorom(fast)" : "lorom";
      break;
    case MapKind::kHiRom:
      label = "hirom";
      break;
    case MapKind::kBanked:
      label = "banked(" + OffsetHex(map.BankSize) + "," + OffsetHex(map.Window) + ")";
      break;
  }
  if (map.Header != 0) label += "+" + std::to_string(map.Header);
  return label;
}

PointerSearchResult FindPointerTables(std::span<const std::uint8_t> rom,
                                      std::span<const std::int64_t> targets,
                                      const PointerSearchOptions& options,
                                      const SearchControl& control) {
  std::vector<std::int64_t> inside;
  for (const std::int64_t t : targets)
    if (t >= 0 && t < static_cast<std::int64_t>(rom.size())) inside.push_back(t);
  std::sort(inside.begin(), inside.end());
  inside.erase(std::unique(inside.begin(), inside.end()), inside.end());
  Searcher searcher(rom, std::move(inside), options, control);
  return searcher.Run();
}

std::string BlockName(const PointerCandidate& candidate) {
  return "punteros_" + OffsetHex(candidate.Format.Offset);
}

std::string BlockStanza(const PointerCandidate& candidate, std::string_view table,
                        std::string_view name) {
  const MapSettings& m = candidate.Map;
  const PointerFormat& p = candidate.Format;
  const auto hex = [](std::int64_t v) { return "0x" + OffsetHex(v); };
  std::string map = "# [map] kind = \"";
  switch (m.Kind) {
    case MapKind::kLinear:
      map += "linear\"";
      if (m.Base != 0) map += ", base = " + hex(m.Base);
      break;
    case MapKind::kLoRom:
      map += "lorom\"";
      if (m.Fast) map += ", fast = true";
      break;
    case MapKind::kHiRom:
      map += "hirom\"";
      break;
    case MapKind::kBanked:
      map += "banked\", bank_size = " + hex(m.BankSize) + ", window = " + hex(m.Window);
      break;
  }
  if (m.Header != 0) map += ", header = " + std::to_string(m.Header);
  const std::string add = p.Add < 0 ? std::to_string(p.Add) : p.Add == 0 ? "0" : hex(p.Add);
  return map + "\n[[block]]\nname = " +
         TomlString(name.empty() ? BlockName(candidate) : std::string(name)) +
         "\ntable = " + TomlString(table) + "\npointers = { offset = " + hex(p.Offset) +
         ", count = " + std::to_string(p.Count) + ", size = " + std::to_string(p.Size) +
         ", endian = \"" + (p.Order == Endian::kBig ? "big" : "little") +
         "\", stride = " + std::to_string(p.Stride != 0 ? p.Stride : p.Size) + ", add = " + add +
         " }\n";
}

std::vector<std::int64_t> ParseTargets(std::string_view text, const std::string& fileName) {
  std::vector<std::int64_t> out;
  ForEachLine(text, [&](std::string_view line, int number) {
    const std::string_view row = Trim(line);
    if (row.empty() || row.front() == '#') return;
    const auto value = ParseHexOffset(row);
    if (!value) {
      throw AppError::At(kErrBadInput, {fileName, number},
                         "se esperaba un offset hexadecimal por línea (como 1A2B0), no «" +
                             std::string(row) + "».");
    }
    out.push_back(*value);
  });
  std::sort(out.begin(), out.end());
  out.erase(std::unique(out.begin(), out.end()), out.end());
  return out;
}

std::optional<std::int64_t> ParseHexOffset(std::string_view text) {
  if (text.size() > 2 && text[0] == '0' && (text[1] == 'x' || text[1] == 'X'))
    text.remove_prefix(2);
  return ParseHexNumber(text);
}

}  // namespace romscriber
