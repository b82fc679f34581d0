// The strings of one block as the translator sees them, and the script files
// that carry them: TSV, PO (gettext) and Atlas.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "project/project.h"
#include "project/strings.h"

namespace romscriber {

struct BlockScript {
  std::string Block;
  std::vector<StringRecord> Strings;
  std::string File;  // the file a reader read it from, as messages name it
};


}  // namespace romscriber
