#include "insert/insertion.h"

#include <algorithm>
#include <deque>

#include "address/pointers.h"
#include "base/app_error.h"
#include "hex/hex.h"

namespace romscriber {

namespace {

// One string of a block on its way back into the ROM. Its bytes are its
// original ones in the ROM, or its new ones in the block's encoded bytes.
struct Placed {
  const StringRecord* Original = nullptr;
  std::int64_t BytesAt = 0;  // in the ROM when unchanged, else in the encoded bytes
  std::int64_t Size = 0;
  bool Unchanged = true;
  int Container = -1;  // an unchanged string it lies inside, also unchanged
  std::int64_t NewOffset = -1;
};

// The strings of one block, in offset order, and the new bytes of those
// that changed, one after the other.
struct PreparedBlock {
  std::vector<Placed> Strings;
  std::string Encoded;

  std::string_view BytesOf(const Placed& s, std::span<const std::uint8_t> rom) const {
    const char* base = s.Unchanged ? reinterpret_cast<const char*>(rom.data()) : Encoded.data();
    return {base + s.BytesAt, static_cast<std::size_t>(s.Size)};
  }
};

std::string Where(const InsertBlock& block, const StringRecord& s) {
  return block.ScriptFile.empty() || s.Line == 0
             ? std::string()
             : block.ScriptFile + ":" + std::to_string(s.Line) + ": ";
}

Refusal CannotEncode(const InsertBlock& block, const StringRecord& s, const EncodeFailure& failure) {
  // A line break is named, not printed.
  const bool lineBreak = failure.Character == "\n";
  const std::string character = lineBreak ? "\\n» (un salto de línea)" : failure.Character + "»";
  return {block.Settings->Name, s.Id, kErrCannotEncode,
          Where(block, s) + "bloque " + block.Settings->Name + ", texto " + std::to_string(s.Id) +
              ", columna " + std::to_string(failure.Column) + ": ninguna entrada de la tabla da «" +
              character + "; cámbielo o añada una entrada a la tabla."};
}

PreparedBlock Prepare(const InsertBlock& block, std::size_t blockIndex, EncodeCache* cache,
                      Encoders& encoders, BlockReport& report, std::vector<Refusal>& refusals) {
  const CompiledTable& table = *block.Table;
  const std::span<const StringRecord> strings = block.Strings;
  PreparedBlock prepared;
  std::vector<Placed>& placed = prepared.Strings;
  placed.resize(strings.size());
  // The changed texts not found in the cache are encoded together.
  std::vector<std::size_t> jobs;
  std::vector<std::string_view> texts;
  std::deque<std::string> withEnds;  // texts given their end token
  std::vector<std::pair<std::size_t, const EncodeCache::Encoding*>> cached;
  for (std::size_t i = 0; i < strings.size(); ++i) {
    const StringRecord& s = strings[i];
    placed[i] = {&s, s.Offset, s.Length};
    if (s.Fuzzy) ++report.Fuzzy;
    if (!InsertsTranslation(s, s.Translation)) continue;
    std::string_view text = s.Translation;
    if (const std::string_view end = MissingEnd(s, text, table); !end.empty()) {
      text = withEnds.emplace_back(std::string(text) + std::string(end));
      report.Warnings.push_back("bloque " + block.Settings->Name + ", texto " +
                                std::to_string(s.Id) + ": la traducción no termina en «" +
                                std::string(end) + "»; se ha añadido.");
    }
    ++report.Changed;
    placed[i].Unchanged = false;
    if (cache) {
      if (const EncodeCache::Encoding* found = cache->Find(blockIndex, i, text)) {
        cached.emplace_back(i, found);
        continue;
      }
    }
    jobs.push_back(i);
    texts.push_back(text);
  }
  // Encoded in runs up to each text that cannot be, so that all of those
  // are found.
  for (std::size_t start = 0; start < jobs.size();) {
    const std::span<const std::string_view> rest(texts.data() + start, texts.size() - start);
    const std::size_t base = prepared.Encoded.size();
    EncodedTexts encoded = EncodeAll(encoders.Of(table), rest);
    const std::size_t done = encoded.Failure ? encoded.Failed : rest.size();
    prepared.Encoded += encoded.Bytes;
    for (std::size_t k = 0; k < done; ++k) {
      const std::size_t at = k == 0 ? 0 : encoded.Ends[k - 1];
      Placed& p = placed[jobs[start + k]];
      p.BytesAt = static_cast<std::int64_t>(base + at);
      p.Size = static_cast<std::int64_t>(encoded.Ends[k] - at);
      if (cache) {
        cache->Store(blockIndex, jobs[start + k],
                     {std::string(rest[k]), encoded.Bytes.substr(at, encoded.Ends[k] - at), {}});
      }
    }
    if (!encoded.Failure) break;
    const std::size_t failed = jobs[start + done];
    refusals.push_back(CannotEncode(block, strings[failed], *encoded.Failure));
    if (cache) cache->Store(blockIndex, failed, {std::string(rest[done]), {}, encoded.Failure});
    start += done + 1;
  }
  for (const auto& [i, encoding] : cached) {
    if (encoding->Failure) {
      refusals.push_back(CannotEncode(block, strings[i], *encoding->Failure));
      continue;
    }
    placed[i].BytesAt = static_cast<std::int64_t>(prepared.Encoded.size());
    placed[i].Size = static_cast<std::int64_t>(encoding->Bytes.size());
    prepared.Encoded += encoding->Bytes;
  }
  // An unchanged string inside an unchanged one keeps sharing its bytes.
  std::vector<bool> unchanged(placed.size());
  for (std::size_t i = 0; i < placed.size(); ++i)
    unchanged[i] = placed[i].Unchanged;
  const std::vector<int> containers = Containers(strings, unchanged);
  for (std::size_t i = 0; i < placed.size(); ++i)
    placed[i].Container = containers[i];
  return prepared;
}

// A range block's strings stay where they are: nothing points to them, the
// game finds each at its own offset. Each must fit in the bytes its original
// took (through its end token); the rest of those bytes keep their values.
// Its free regions are not used.
void KeepInPlace(const InsertBlock& block, PreparedBlock& prepared, BlockReport& report,
                 std::vector<Refusal>& refusals) {
  if (!block.Settings->Free.empty()) report.Warnings.push_back(RangeFreeIgnored(*block.Settings));
  for (Placed& s : prepared.Strings) {
    report.Available += s.Original->Length;
    report.Used += s.Size;
    s.NewOffset = s.Original->Offset;
    if (s.Size > s.Original->Length) {
      refusals.push_back({block.Settings->Name, s.Original->Id, kErrNoRoom,
                          "bloque " + report.Name + ", texto " + std::to_string(s.Original->Id) +
                              ": necesita " + std::to_string(s.Size) + " bytes y tiene " +
                              std::to_string(s.Original->Length) +
                              " (los textos de un bloque de rango no se mueven de su sitio)"});
    }
  }
}

// A pointer block's strings, first fit into its space.
void LayOut(const InsertBlock& block, PreparedBlock& prepared, BlockReport& report,
            std::vector<Refusal>& refusals) {
  std::vector<Piece> pieces = BlockSpace(block.Strings, block.Settings->Free);
  for (const Piece& p : pieces)
    report.Available += p.End - p.Start + 1;
  std::vector<std::int64_t> sizes;
  std::vector<int> containers;
  sizes.reserve(prepared.Strings.size());
  containers.reserve(prepared.Strings.size());
  for (const Placed& s : prepared.Strings) {
    sizes.push_back(s.Size);
    containers.push_back(s.Container);
    if (s.Container < 0) report.Used += s.Size;
  }
  const std::vector<std::int64_t> offsets = FirstFit(std::move(pieces), sizes, containers);
  bool fits = true;
  for (std::size_t i = 0; i < offsets.size(); ++i) {
    prepared.Strings[i].NewOffset = offsets[i];
    fits = fits && (offsets[i] >= 0 || containers[i] >= 0);
  }
  if (!fits) {
    refusals.push_back({block.Settings->Name, -1, kErrNoRoom,
                        "bloque " + report.Name + ": necesita " + std::to_string(report.Used) +
                            " bytes y tiene " + std::to_string(report.Available)});
  }
}

}  // namespace

std::string RangeFreeIgnored(const ProjectBlock& block) {
  return "bloque " + block.Name +
         ": sus zonas libres (free) no se usan; es un bloque de rango, nada apunta a sus textos "
         "y cada uno se queda en su sitio.";
}

const EncodeCache::Encoding* EncodeCache::Find(std::size_t block, std::size_t index,
                                               std::string_view text) const {
  if (block >= m_blocks.size() || index >= m_blocks[block].size()) return nullptr;
  const std::optional<Encoding>& e = m_blocks[block][index];
  return e && e->Text == text ? &*e : nullptr;
}

const EncodeCache::Encoding& EncodeCache::Store(std::size_t block, std::size_t index,
                                                Encoding encoding) {
  if (block >= m_blocks.size()) m_blocks.resize(block + 1);
  if (index >= m_blocks[block].size()) m_blocks[block].resize(index + 1);
  return *(m_blocks[block][index] = std::move(encoding));
}

bool InsertsTranslation(const StringRecord& s, std::string_view translation) {
  // A text is unchanged when it equals its original as the script wrote it.
  return !s.Fuzzy && !translation.empty() && translation != s.Original;
}

std::string_view MissingEnd(const StringRecord& s, std::string_view translation,
                            const CompiledTable& table) {
  if (s.EndEntry < 0) return {};
  const std::string_view shown = table.Shown(table.Entries()[static_cast<std::size_t>(s.EndEntry)]);
  return translation.ends_with(shown) ? std::string_view() : shown;
}

TextToInsert TextOf(const StringRecord& s, std::string_view translation, const CompiledTable& table) {
  if (!InsertsTranslation(s, translation)) return {s.Original};
  const std::string_view end = MissingEnd(s, translation, table);
  TextToInsert t{std::string(translation), true, !end.empty()};
  t.Text += end;
  return t;
}

std::vector<int> Containers(std::span<const StringRecord> strings,
                            const std::vector<bool>& unchanged) {
  std::vector<int> containers(strings.size(), -1);
  int container = -1;
  for (std::size_t i = 0; i < strings.size(); ++i) {
    const StringRecord& s = strings[i];
    if (container >= 0 && unchanged[i]) {
      const StringRecord& c = strings[static_cast<std::size_t>(container)];
      if (s.Offset + s.Length <= c.Offset + c.Length) {
        containers[i] = container;
        continue;
      }
    }
    if (unchanged[i]) container = static_cast<int>(i);
  }
  return containers;
}

std::vector<std::int64_t> FirstFit(std::vector<Piece> pieces, std::span<const std::int64_t> sizes,
                                   const std::vector<int>& containers) {
  std::vector<std::int64_t> offsets(sizes.size(), -1);
  for (std::size_t i = 0; i < sizes.size(); ++i) {
    if (containers[i] >= 0) continue;
    const std::int64_t size = sizes[i];
    const auto piece = std::find_if(pieces.begin(), pieces.end(),
                                    [&](const Piece& p) { return p.End + 1 - p.Cursor >= size; });
    if (piece == pieces.end()) continue;
    offsets[i] = piece->Cursor;
    piece->Cursor += size;
  }
  return offsets;
}

std::vector<Piece> BlockSpace(std::span<const StringRecord> strings,
                              const std::vector<Region>& free) {
  std::vector<Piece> pieces;
  for (const StringRecord& s : strings) {
    const std::int64_t end = s.Offset + s.Length - 1;
    if (!pieces.empty() && s.Offset <= pieces.back().End + 1) {
      pieces.back().End = std::max(pieces.back().End, end);
    } else {
      pieces.push_back({s.Offset, end, s.Offset});
    }
  }
  // A free region that begins where a piece ends extends it.
  for (const Region& r : free) {
    Piece region{r.Start, r.End, r.Start};
    bool merged = true;
    while (merged) {
      merged = false;
      for (Piece& p : pieces) {
        if (region.Start == p.End + 1) {
          p.End = region.End;
          region = p;
          merged = true;
          break;
        }
      }
      if (merged) {
        // The grown piece may now reach the start of a later free piece.
        const auto later = std::find_if(pieces.begin(), pieces.end(), [&](const Piece& q) {
          return q.Start == region.End + 1;
        });
        if (later == pieces.end()) break;
        region = *later;
        pieces.erase(later);
      }
    }
    if (std::none_of(pieces.begin(), pieces.end(), [&](const Piece& p) {
          return p.Start <= region.Start && region.End <= p.End;
        }))
      pieces.push_back(region);
  }
  return pieces;
}

InsertOutcome InsertStrings(std::span<const std::uint8_t> rom, const AddressMap& map,
                            std::span<const InsertBlock> blocks, EncodeCache* cache) {
  InsertOutcome result;
  Encoders encoders;
  std::vector<PreparedBlock> prepared;
  for (std::size_t b = 0; b < blocks.size(); ++b) {
    BlockReport report;
    report.Name = blocks[b].Settings->Name;
    prepared.push_back(Prepare(blocks[b], b, cache, encoders, report, result.Refusals));
    result.Blocks.push_back(std::move(report));
  }
  // Without every string's bytes there is nothing to lay out.
  if (!result.Refusals.empty()) return result;

  // Layout: every block's strings into its space, or the whole is refused.
  for (std::size_t b = 0; b < blocks.size(); ++b) {
    if (blocks[b].Settings->Range) {
      KeepInPlace(blocks[b], prepared[b], result.Blocks[b], result.Refusals);
    } else {
      LayOut(blocks[b], prepared[b], result.Blocks[b], result.Refusals);
    }
  }
  if (!result.Refusals.empty()) return result;

  // The bytes, then the pointers of every string that moved. Unchanged
  // strings' bytes are read from the original ROM, never from the copy being
  // written over.
  result.Rom.assign(rom.begin(), rom.end());
  for (std::size_t b = 0; b < blocks.size(); ++b) {
    std::vector<Placed>& strings = prepared[b].Strings;
    for (Placed& s : strings) {
      if (s.Container >= 0) {
        const Placed& c = strings[static_cast<std::size_t>(s.Container)];
        s.NewOffset = c.NewOffset + (s.Original->Offset - c.Original->Offset);
      } else {
        const std::string_view bytes = prepared[b].BytesOf(s, rom);
        std::copy(bytes.begin(), bytes.end(),
                  result.Rom.begin() + static_cast<std::ptrdiff_t>(s.NewOffset));
      }
    }
    const ProjectBlock& block = *blocks[b].Settings;
    BlockReport& report = result.Blocks[b];
    report.NewOffsets.reserve(strings.size());
    report.NewSizes.reserve(strings.size());
    for (const Placed& s : strings) {
      report.NewOffsets.push_back(s.NewOffset);
      report.NewSizes.push_back(s.Size);
      if (s.NewOffset == s.Original->Offset) continue;
      for (const PointerRef& pointer : s.Original->Pointers) {
        const auto value = PointerValueFor(*block.Pointers, map, s.NewOffset, pointer.Value);
        if (!value) {
          result.Refusals.push_back(
              {block.Name, s.Original->Id, kErrBadInput,
               "bloque " + block.Name + ", texto " + std::to_string(s.Original->Id) +
                   ": su nuevo sitio " + OffsetHex(s.NewOffset) +
                   " queda fuera del alcance del puntero en " + OffsetHex(pointer.Offset) +
                   " (otro banco); dele una zona libre en su banco."});
          continue;
        }
        StorePointer(result.Rom, pointer.Offset, block.Pointers->Size, block.Pointers->Order,
                     *value);
        ++report.PointersRewritten;
      }
    }
  }
  if (!result.Refusals.empty()) result.Rom.clear();
  return result;
}

std::string DescribeRefusals(const std::vector<Refusal>& refusals) {
  std::string out;
  std::string room;
  bool pointerBlock = false;
  for (const Refusal& r : refusals) {
    if (r.Number == kErrNoRoom) {
      room += "\n  " + r.Text;
      pointerBlock = pointerBlock || r.Id < 0;
    } else {
      out += (out.empty() ? "" : "\n") + r.Text;
    }
  }
  if (!room.empty()) {
    out += (out.empty() ? "" : "\n") + std::string("Los textos no caben; no se ha escrito nada:") +
           room +
           (pointerBlock ? "\nAcorte las traducciones o añada zonas libres (free)."
                         : "\nAcorte las traducciones.");
  }
  return out;
}

}  // namespace romscriber
