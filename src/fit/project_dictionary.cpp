#include "fit/project_dictionary.h"

#include <algorithm>

#include "base/app_error.h"
#include "insert/insertion.h"

namespace romscriber {

namespace {

std::string CannotEncode(const std::string& block, int id, const EncodeFailure& failure) {
  const bool lineBreak = failure.Character == "\n";
  const std::string character = lineBreak ? "\\n» (un salto de línea)" : failure.Character + "»";
  return "bloque " + block + ", texto " + std::to_string(id) + ", columna " +
         std::to_string(failure.Column) + ": ninguna entrada de la tabla da «" + character +
         "; cámbielo o añada una entrada a la tabla.";
}

}  // namespace

ProjectDictionary BuildProjectDictionary(const Session& session, const DictionaryRequest& request,
                                         const SearchControl& control) {
  // The blocks' tables are these same tables, and no two share a name.
  const OpenedTable* opened = nullptr;
  for (const OpenedTable& t : session.Image()->Tables)
    if (t.Settings->Name == request.Table) opened = &t;
  if (opened == nullptr)
    throw AppError(kErrBadSetting, "El proyecto no tiene la tabla «" + request.Table + "».");
  const CompiledTable& table = opened->Table;

  // The blocks asked for, each once, in the order asked.
  std::vector<const SessionBlock*> blocks;
  for (const std::string& name : request.Blocks) {
    const SessionBlock* b = session.FindBlock(name);
    if (b == nullptr) throw AppError(kErrBadSetting, "El proyecto no tiene el bloque «" + name + "».");
    if (b->Table != opened)
      throw AppError(kErrBadSetting, "El bloque «" + name + "» usa la tabla «" +
                                         b->Table->Settings->Name + "», no «" + request.Table + "».");
    if (std::find(blocks.begin(), blocks.end(), b) == blocks.end()) blocks.push_back(b);
  }
  if (request.Blocks.empty()) {
    for (const SessionBlock& b : session.Blocks())
      if (b.Table == opened) blocks.push_back(&b);
  }

  // The texts counted; bytes that stand raw in the strings through the
  // table that keep their bytes, and in the changed texts of other blocks.
  std::vector<std::string> texts;
  struct Origin {
    std::size_t Block;
    int Id;
  };
  std::vector<Origin> origins;
  std::vector<bool> raw(256, false);
  TextEncoder encoder(table);
  std::string encoded;
  const std::span<const std::uint8_t> rom = session.Rom();
  for (const SessionBlock& b : session.Blocks()) {
    if (b.Table != opened) continue;
    const auto chosen = std::find(blocks.begin(), blocks.end(), &b);
    for (const StringRecord& s : b.Strings) {
      TextToInsert text = TextOf(s, table);
      if (!text.Changed) {
        const auto from = static_cast<std::size_t>(std::clamp<std::int64_t>(s.Offset, 0, static_cast<std::int64_t>(rom.size())));
        const auto to = static_cast<std::size_t>(std::clamp<std::int64_t>(s.Offset + s.Length, static_cast<std::int64_t>(from), static_cast<std::int64_t>(rom.size())));
        MarkRawBytes(table, {reinterpret_cast<const char*>(rom.data()) + from, to - from}, raw);
      } else if (chosen != blocks.end()) {
        texts.push_back(std::move(text.Text));
        origins.push_back({static_cast<std::size_t>(chosen - blocks.begin()), s.Id});
      } else {
        // Not counted; what it holds raw still counts, when it encodes.
        encoded.clear();
        if (!encoder.EncodeAppend(text.Text, encoded)) MarkRawBytes(table, encoded, raw);
      }
    }
  }
  std::vector<std::uint8_t> alsoRaw;
  for (std::size_t b = 0; b < 256; ++b)
    if (raw[b]) alsoRaw.push_back(static_cast<std::uint8_t>(b));

  std::vector<std::string_view> views(texts.begin(), texts.end());
  const DictionaryResult result = ChooseDictionary(table, views, request.Options, control, alsoRaw);
  if (result.Failure) {
    const Origin& o = origins[result.Failure->first];
    throw AppError(kErrCannotEncode,
                   CannotEncode(blocks[o.Block]->Settings->Name, o.Id, result.Failure->second));
  }

  ProjectDictionary out;
  out.Entries = result.Entries;
  out.Taken = result.Taken;
  out.Raw = result.Raw;
  out.Stopped = result.Stopped;
  for (const SessionBlock* b : blocks)
    out.Blocks.push_back({b->Settings->Name, 0, 0, 0});
  for (std::size_t i = 0; i < texts.size(); ++i) {
    BlockDictionaryBytes& b = out.Blocks[origins[i].Block];
    ++b.Texts;
    b.Before += result.Before[i];
    b.After += result.After[i];
  }
  for (const BlockDictionaryBytes& b : out.Blocks) {
    out.Texts += b.Texts;
    out.Before += b.Before;
    out.After += b.After;
  }
  return out;
}

}  // namespace romscriber
