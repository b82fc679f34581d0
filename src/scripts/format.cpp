#include "scripts/format.h"

#include "base/app_error.h"
#include "base/file_io.h"
#include "scripts/atlas.h"
#include "scripts/po.h"
#include "scripts/tsv.h"

namespace romscriber {

namespace {

constexpr ScriptFormat kFormats[] = {ScriptFormat::kTsv, ScriptFormat::kPo, ScriptFormat::kAtlas};

}  // namespace

const char* FormatName(ScriptFormat format) {
  switch (format) {
    case ScriptFormat::kTsv:
      return "tsv";
    case ScriptFormat::kPo:
      return "po";
    case ScriptFormat::kAtlas:
      break;
  }
  return "atlas";
}

std::optional<ScriptFormat> FormatByName(std::string_view name) {
  for (const ScriptFormat f : kFormats)
    if (name == FormatName(f)) return f;
  return std::nullopt;
}

const char* FormatExtension(ScriptFormat format) {
  switch (format) {
    case ScriptFormat::kTsv:
      return ".tsv";
    case ScriptFormat::kPo:
      return ".po";
    case ScriptFormat::kAtlas:
      break;
  }
  return ".txt";
}

std::optional<std::filesystem::path> FindBlockScript(const std::filesystem::path& folder,
                                                     const std::string& block) {
  std::vector<std::filesystem::path> found;
  for (const ScriptFormat f : kFormats) {
    const std::filesystem::path path = folder / (block + FormatExtension(f));
    std::error_code ec;
    if (std::filesystem::is_regular_file(path, ec)) found.push_back(path);
  }
  if (found.empty()) return std::nullopt;
  if (found.size() > 1) {
    throw AppError(kErrBadInput, "Hay más de un guion del bloque " + block + " en " +
                                     folder.string() + " (" + found[0].filename().string() +
                                     " y " + found[1].filename().string() + "); deje solo uno.");
  }
  return found[0];
}

BlockScript ReadScript(ScriptFormat format, std::string_view bytes, const std::string& fileName,
                       const std::string& block) {
  BlockScript script;
  switch (format) {
    case ScriptFormat::kPo:
      script = ReadPo(bytes, fileName, block);
      break;
    case ScriptFormat::kTsv:
      script = ReadTsv(bytes, fileName, block);
      break;
    case ScriptFormat::kAtlas:
      script = ReadAtlas(bytes, fileName, block);
      break;
  }
  script.File = fileName;
  script.Block = block;
  return script;
}

BlockScript ReadScriptFile(const std::filesystem::path& path, const std::string& block) {
  const std::string extension = path.extension().string();
  ScriptFormat format = ScriptFormat::kAtlas;
  for (const ScriptFormat f : kFormats)
    if (extension == FormatExtension(f)) format = f;
  std::string text;
  try {
    text = ReadWholeFile(path);
  } catch (const AppError& e) {
    RethrowNamingFile(e, path, "el guion del bloque " + block);
  }
  return ReadScript(format, text, path.string(), block);
}

std::vector<ScriptFile> WriteBlockScript(ScriptFormat format, const ScriptContext& context,
                                         const std::vector<StringRecord>& strings) {
  const ScriptView script{context.Block, strings};
  const std::string name = context.Block + FormatExtension(format);
  switch (format) {
    case ScriptFormat::kTsv:
      return {{name, WriteTsv(script)}};
    case ScriptFormat::kPo:
      return {{name, WritePo(script)}};
    case ScriptFormat::kAtlas:
      break;
  }
  const AtlasBlock atlas{context.Block + ".atlas.tbl", *context.Map, context.Pointers,
                         AtlasTableLimits(*context.Table)};
  return {{name, WriteAtlas(script, atlas)}, {atlas.TableFile, WriteAtlasTable(*context.Table)}};
}

}  // namespace romscriber
