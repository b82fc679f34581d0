// Changes to a project file made as text, so that everything else in the
// file (comments, order, spacing) stays as the translator wrote it.
//
//   TomlString         a value as a TOML basic string ("...", escaped)
//   WithTopLevelKeys   the text with `key = value` lines added at the top
//                      level, before the first [table] or [[table]] header
//   WithStanza         the text with a [[block]] stanza (or any table)
//                      appended at the end
//   NewProject         what a new project file says
//   NewProjectText     the text of a new project file
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "address/address_map.h"
#include "address/pointers.h"
#include "project/project.h"

namespace romscriber {

std::string TomlString(std::string_view value);

// `keys` are (key, value as TOML) pairs, in order.
std::string WithTopLevelKeys(std::string_view text,
                             const std::vector<std::pair<std::string, std::string>>& keys);

std::string WithStanza(std::string_view text, std::string_view stanza);

struct NewProject {
  std::string Rom;    // as the file will name it: relative to the project file, or absolute
  std::string Table;  // likewise
  TableFormat Format = TableFormat::kExtended;
  std::string Encoding;  // extended tables; empty: UTF-8
  MapSettings Map;       // kind and header (the other settings at their defaults)
  std::string Block = "textos";
  std::optional<PointerFormat> Pointers;  // the first block's pointer table, or
  std::optional<Region> Range;            // its range
};

std::string NewProjectText(const NewProject& project);

}  // namespace romscriber
