#include "insert/insertion.h"

#include <algorithm>
#include <deque>
#include <exception>
#include <map>

#include "base/app_error.h"
#include "base/file_io.h"
#include "hex/hex.h"
#include "insert/encoder.h"
#include "scripts/atlas.h"
#include "scripts/po.h"
#include "scripts/tsv.h"

namespace romscriber {

namespace {

// A piece of a block's space, filled from its start.
struct Piece {
  std::int64_t Start;
  std::int64_t End;  // inclusive
  std::int64_t Cursor;
};

// One string of a block on its way back into the ROM. Its bytes are its
// original ones in the ROM, or its new ones in the block's encoded bytes.
struct Placed {
  const DumpedString* Original = nullptr;
  int Id = 0;
  std::int64_t BytesAt = 0;  // in the ROM when unchanged, else in the encoded bytes
  std::int64_t Size = 0;
  bool Unchanged = true;
  int Container = -1;  // an unchanged string it lies inside, also unchanged
  std::int64_t NewOffset = -1;
};

// The end token that closes a dumped string: of the table's end tokens
// (`ends`), the one whose key ends its bytes and whose text ends its text.
const TableEntry* ClosingToken(const CompiledTable& table,
                               const std::vector<const TableEntry*>& ends, const DumpedString& s,
                               const std::vector<std::uint8_t>& rom) {
  if (!s.Ended) return nullptr;
  const TableEntry* best = nullptr;
  for (const TableEntry* end : ends) {
    const TableEntry& e = *end;
    if (e.KeySize > s.Length) continue;
    const std::string_view key = table.Key(e);
    const auto* last = rom.data() + s.Offset + s.Length - e.KeySize;
    if (!std::equal(key.begin(), key.end(), reinterpret_cast<const char*>(last))) continue;
    if (!std::string_view(s.Text).ends_with(table.Shown(e))) continue;
    if (!best || e.KeySize > best->KeySize) best = &e;
  }
  return best;
}

std::string Place(const BlockScript& script, const ScriptString& row) {
  return script.File + ":" + std::to_string(row.Line);
}

// The character at `column` (from 1, in UTF-8 sequences) is given whole by
// the encoder's failure; this only words the refusal.
[[noreturn]] void RefuseEncoding(const BlockScript& script, const ScriptString& row,
                                 const EncodeFailure& failure) {
  // A line break is named, not printed.
  const std::string character =
      failure.Character == "\n" ? "\\n» (un salto de línea" : failure.Character;
  throw AppError(kErrCannotEncode,
                 Place(script, row) + ": bloque " + script.Block + ", texto " +
                     std::to_string(row.Id) + ", columna " + std::to_string(failure.Column) +
                     ": ninguna entrada de la tabla da «" + character +
                     (failure.Character == "\n" ? ")" : "»") +
                     "; cámbielo o añada una entrada a la tabla.");
}

// The strings of one block, in offset order, and the new bytes of those
// that changed, one after the other.
struct PreparedBlock {
  std::vector<Placed> Strings;
  std::string Encoded;

  std::string_view BytesOf(const Placed& s, const std::vector<std::uint8_t>& rom) const {
    const char* base = s.Unchanged ? reinterpret_cast<const char*>(rom.data()) : Encoded.data();
    return {base + s.BytesAt, static_cast<std::size_t>(s.Size)};
  }
};

// A changed text to encode, with the row it came from.
struct Job {
  const ScriptString* Row;
  std::size_t Index;  // of the string in the block
};

PreparedBlock PrepareBlock(const OpenedProject& project, const BlockDump& dump,
                           const BlockScript& script, TextEncoder& encoder, BlockReport& report) {
  const CompiledTable& table = project.TableOf(*dump.Block);
  std::vector<const TableEntry*> ends;
  for (const TableEntry& e : table.Entries())
    if (e.Kind == TokenKind::kEnd) ends.push_back(&e);
  PreparedBlock prepared;
  std::vector<Placed>& placed = prepared.Strings;
  placed.resize(dump.Strings.size());
  for (std::size_t i = 0; i < dump.Strings.size(); ++i) {
    const DumpedString& s = dump.Strings[i];
    placed[i].Original = &s;
    placed[i].Id = static_cast<int>(i);
    placed[i].BytesAt = s.Offset;
    placed[i].Size = s.Length;
  }
  // The rows in order: those before the first row refused give the texts to
  // encode. A text that cannot be encoded in a row before it is reported
  // first, as reading row by row would.
  std::vector<Job> jobs;
  std::vector<std::string_view> texts;
  std::deque<std::string> withEnds;  // texts given their end token
  std::exception_ptr refused;
  std::vector<bool> seen(dump.Strings.size(), false);
  for (const ScriptString& row : script.Strings) {
    if (row.Id < 0 || static_cast<std::size_t>(row.Id) >= dump.Strings.size() ||
        dump.Strings[static_cast<std::size_t>(row.Id)].Offset != row.Offset) {
      refused = std::make_exception_ptr(AppError(
          kErrBadInput, Place(script, row) + ": el texto " + std::to_string(row.Id) + " en " +
                            OffsetHex(row.Offset) + " no es un texto del bloque " + script.Block +
                            " (tiene " + std::to_string(dump.Strings.size()) +
                            " textos); vuelva a volcar el proyecto."));
      break;
    }
    const auto index = static_cast<std::size_t>(row.Id);
    if (seen[index]) {
      refused = std::make_exception_ptr(AppError(
          kErrBadInput,
          Place(script, row) + ": el texto " + std::to_string(row.Id) + " aparece dos veces."));
      break;
    }
    seen[index] = true;
    const DumpedString& s = dump.Strings[index];
    if (row.Original != s.Text) {
      refused = std::make_exception_ptr(AppError(
          kErrBadInput, Place(script, row) + ": el original del texto " +
                            std::to_string(row.Id) + " no es el que la ROM tiene en " +
                            OffsetHex(s.Offset) + "; ¿es el guion de otra ROM o de otra tabla?"));
      break;
    }
    if (row.Fuzzy) {
      ++report.Fuzzy;
      continue;
    }
    // A text is unchanged when it equals its original as the script wrote it.
    if (row.Translation.empty() || row.Translation == row.Original) continue;
    std::string_view text = row.Translation;
    if (const TableEntry* end = ClosingToken(table, ends, s, project.Rom)) {
      const std::string_view shown = table.Shown(*end);
      if (!text.ends_with(shown)) {
        text = withEnds.emplace_back(std::string(text) + std::string(shown));
        report.Warnings.push_back("bloque " + script.Block + ", texto " +
                                  std::to_string(row.Id) + ": la traducción no termina en «" +
                                  std::string(shown) + "»; se ha añadido.");
      }
    }
    jobs.push_back({&row, index});
    texts.push_back(text);
  }
  EncodedTexts encoded = EncodeAll(encoder, texts);
  if (encoded.Failure) RefuseEncoding(script, *jobs[encoded.Failed].Row, *encoded.Failure);
  prepared.Encoded = std::move(encoded.Bytes);
  for (std::size_t k = 0; k < jobs.size(); ++k) {
    Placed& p = placed[jobs[k].Index];
    const std::size_t at = k == 0 ? 0 : encoded.Ends[k - 1];
    p.BytesAt = static_cast<std::int64_t>(at);
    p.Size = static_cast<std::int64_t>(encoded.Ends[k] - at);
    p.Unchanged = false;
    ++report.Changed;
  }
  if (refused) std::rethrow_exception(refused);
  // An unchanged string inside an unchanged one keeps sharing its bytes.
  int container = -1;
  for (std::size_t i = 0; i < placed.size(); ++i) {
    const DumpedString& s = *placed[i].Original;
    if (container >= 0 && placed[i].Unchanged) {
      const DumpedString& c = *placed[static_cast<std::size_t>(container)].Original;
      if (s.Offset + s.Length <= c.Offset + c.Length) {
        placed[i].Container = container;
        continue;
      }
    }
    if (placed[i].Unchanged) container = static_cast<int>(i);
  }
  return prepared;
}

// The block's space: its strings' bytes, merged where they touch, then its
// free regions in the order listed; a free region that begins where a piece
// ends extends it.
std::vector<Piece> SpaceOf(const BlockDump& dump) {
  std::vector<Piece> pieces;
  for (const DumpedString& s : dump.Strings) {
    const std::int64_t end = s.Offset + s.Length - 1;
    if (!pieces.empty() && s.Offset <= pieces.back().End + 1) {
      pieces.back().End = std::max(pieces.back().End, end);
    } else {
      pieces.push_back({s.Offset, end, s.Offset});
    }
  }
  for (const Region& free : dump.Block->Free) {
    Piece region{free.Start, free.End, free.Start};
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

}  // namespace

BlockScript ReadBlockScript(const std::filesystem::path& folder, const std::string& block) {
  std::vector<std::filesystem::path> found;
  for (const char* extension : {".tsv", ".po", ".txt"}) {
    const std::filesystem::path path = folder / (block + extension);
    std::error_code ec;
    if (std::filesystem::is_regular_file(path, ec)) found.push_back(path);
  }
  if (found.empty()) {
    throw AppError(kErrBadInput, "Falta el guion del bloque " + block + " en " + folder.string() +
                                     ": se esperaba " + block + ".tsv, " + block + ".po o " +
                                     block + ".txt.");
  }
  if (found.size() > 1) {
    throw AppError(kErrBadInput, "Hay más de un guion del bloque " + block + " en " +
                                     folder.string() + " (" + found[0].filename().string() +
                                     " y " + found[1].filename().string() + "); deje solo uno.");
  }
  const std::filesystem::path& path = found[0];
  BlockScript script;
  if (path.extension() == ".po") {
    script = ReadPo(ReadWholeFile(path), path.string(), block);
  } else if (path.extension() == ".tsv") {
    script = ReadTsv(ReadWholeFile(path), path.string(), block);
  } else {
    script = ReadAtlas(ReadWholeFile(path), path.string(), block);
  }
  script.File = path.string();
  script.Block = block;
  return script;
}

Insertion InsertScripts(const OpenedProject& project, const std::vector<BlockDump>& dumps,
                        const std::vector<BlockScript>& scripts) {
  Insertion result;
  result.Rom = project.Rom;
  std::map<std::string, TextEncoder> encoders;
  std::vector<PreparedBlock> blocks;
  for (std::size_t b = 0; b < dumps.size(); ++b) {
    const BlockDump& dump = dumps[b];
    BlockReport report;
    report.Name = dump.Block->Name;
    auto encoder = encoders.find(dump.Block->Table);
    if (encoder == encoders.end())
      encoder = encoders.emplace(dump.Block->Table, TextEncoder(project.TableOf(*dump.Block))).first;
    blocks.push_back(PrepareBlock(project, dump, scripts[b], encoder->second, report));
    result.Blocks.push_back(std::move(report));
  }

  // Layout: every block's strings into its space, or the whole is refused.
  std::string overflow;
  for (std::size_t b = 0; b < dumps.size(); ++b) {
    std::vector<Piece> pieces = SpaceOf(dumps[b]);
    BlockReport& report = result.Blocks[b];
    for (const Piece& p : pieces)
      report.Available += p.End - p.Start + 1;
    bool fits = true;
    for (Placed& s : blocks[b].Strings) {
      if (s.Container >= 0) continue;
      const std::int64_t size = s.Size;
      report.Used += size;
      const auto piece = std::find_if(pieces.begin(), pieces.end(), [&](const Piece& p) {
        return p.End + 1 - p.Cursor >= size;
      });
      if (piece == pieces.end()) {
        fits = false;
        continue;
      }
      s.NewOffset = piece->Cursor;
      piece->Cursor += size;
    }
    if (!fits) {
      overflow += "\n  bloque " + report.Name + ": necesita " + std::to_string(report.Used) +
                  " bytes y tiene " + std::to_string(report.Available);
    }
  }
  if (!overflow.empty()) {
    throw AppError(kErrNoRoom, "Los textos no caben; no se ha escrito nada:" + overflow +
                                   "\nAcorte las traducciones o añada zonas libres (free).");
  }

  // The bytes, then the pointers of every string that moved.
  for (std::size_t b = 0; b < dumps.size(); ++b) {
    const BlockDump& dump = dumps[b];
    // The block's pointers by their offset, to find those of each string.
    std::vector<const Pointer*> byOffset;
    byOffset.reserve(dump.Pointers.size());
    for (const Pointer& p : dump.Pointers)
      byOffset.push_back(&p);
    std::stable_sort(byOffset.begin(), byOffset.end(),
                     [](const Pointer* x, const Pointer* y) { return x->Offset < y->Offset; });
    const auto pointerAt = [&](std::int64_t at) -> const Pointer& {
      const auto it = std::lower_bound(byOffset.begin(), byOffset.end(), at,
                                       [](const Pointer* p, std::int64_t o) { return p->Offset < o; });
      return **it;
    };
    // Unchanged strings' bytes are read from the original ROM, never from
    // the copy being written over.
    std::vector<Placed>& strings = blocks[b].Strings;
    for (Placed& s : strings) {
      if (s.Container >= 0) {
        const Placed& c = strings[static_cast<std::size_t>(s.Container)];
        s.NewOffset = c.NewOffset + (s.Original->Offset - c.Original->Offset);
      } else {
        const std::string_view bytes = blocks[b].BytesOf(s, project.Rom);
        std::copy(bytes.begin(), bytes.end(),
                  result.Rom.begin() + static_cast<std::ptrdiff_t>(s.NewOffset));
      }
    }
    for (const Placed& s : strings) {
      if (s.NewOffset == s.Original->Offset) continue;
      for (std::int64_t at : s.Original->Pointers) {
        const Pointer& pointer = pointerAt(at);
        const auto value =
            PointerValueFor(*dump.Block->Pointers, project.Map, s.NewOffset, pointer.Value);
        if (!value) {
          throw AppError(kErrBadInput, "bloque " + dump.Block->Name + ", texto " +
                                           std::to_string(s.Id) + ": su nuevo sitio " +
                                           OffsetHex(s.NewOffset) + " queda fuera del alcance del "
                                           "puntero en " + OffsetHex(at) +
                                           " (otro banco); dele una zona libre en su banco.");
        }
        StorePointer(result.Rom, at, dump.Block->Pointers->Size, dump.Block->Pointers->Order,
                     *value);
        ++result.Blocks[b].PointersRewritten;
      }
    }
  }
  return result;
}

}  // namespace romscriber
