// The strings of one block as the translator sees them, and the script files
// that carry them: TSV, PO (gettext) and Atlas.
#pragma once

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "project/project.h"
#include "project/strings.h"

namespace romscriber {

// The strings of a block as a writer takes them, without copying them.
struct ScriptView {
  std::string_view Block;
  std::span<const StringRecord> Strings;
};

struct BlockScript {
  std::string Block;
  std::vector<StringRecord> Strings;
  std::string File;  // the file a reader read it from, as messages name it

  operator ScriptView() const { return {Block, Strings}; }
};


}  // namespace romscriber
