// The three script readers on arbitrary bytes: the first byte picks TSV, PO
// or Atlas. A reader
// may only refuse with AppError; what it reads must be written and read back
// to the same strings.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "base/app_error.h"
#include "scripts/atlas.h"
#include "scripts/po.h"
#include "scripts/tsv.h"

namespace {

using namespace romscriber;

bool Same(const BlockScript& a, const BlockScript& b) {
  if (a.Strings.size() != b.Strings.size()) return false;
  for (std::size_t i = 0; i < a.Strings.size(); ++i) {
    const ScriptString& x = a.Strings[i];
    const ScriptString& y = b.Strings[i];
    if (x.Id != y.Id || x.Pointers != y.Pointers || x.Offset != y.Offset ||
        x.Original != y.Original || x.Translation != y.Translation || x.Fuzzy != y.Fuzzy)
      return false;
  }
  return true;
}

BlockScript ReadPoBytes(std::string_view bytes) {
  return ReadPo(bytes, "f.po", "d");
}

}  // namespace

// libgettextpo leaks a few bytes of its own in every po_file_read (its
// lexer's file name, its parser's comment lists). Full stacks let those be
// told from a string of its that ReadPo fails to free: the library has no
// frame pointers for the fast unwinder.
extern "C" const char* __asan_default_options() {
  return "fast_unwind_on_malloc=0";
}
extern "C" const char* __lsan_default_suppressions() {
  return "leak:po_file_read\n";
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
  try {
    switch (data[0] % 3) {
      case 0: {
        const BlockScript read = ReadTsv(bytes, "f.tsv", "d");
        if (!Same(read, ReadTsv(WriteTsv(read), "f.tsv", "d"))) std::abort();
        break;
      }
      case 1: {
        const BlockScript read = ReadPoBytes(bytes);
        if (!Same(read, ReadPoBytes(WritePo(read)))) std::abort();
        break;
      }
      default: {
        BlockScript read = ReadAtlas(bytes, "f.txt", "d");
        // Atlas pointer writes need a pointer format when there are pointers.
        AtlasBlock block{"d.atlas.tbl", {}, PointerFormat{}, {}};
        if (!Same(read, ReadAtlas(WriteAtlas(read, block), "f.txt", "d"))) std::abort();
        break;
      }
    }
  } catch (const AppError&) {
    // a refusal is the one allowed failure
  }
  return 0;
}
