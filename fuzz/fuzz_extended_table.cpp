// LoadExtendedTable on arbitrary bytes, the first byte choosing the encoding
// the user names. It must never crash, and refuse nothing but bytes that are
// not valid in the encoding, naming the line. What it loads must keep its
// promises: keys of 1 to 32 bytes, each key once, parameter bytes 0 to 255
// on control codes only, lines rising, texts valid UTF-8 (checked by iconv,
// not by the loader's own check); and the entries, written back as a UTF-8
// table, load again to the same entries.
#include <iconv.h>

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <iterator>
#include <string>
#include <string_view>
#include <unordered_set>
#include <vector>

#include "base/app_error.h"
#include "hex/hex.h"
#include "table/extended_loader.h"
#include "table/kept_converters.h"

namespace {

constexpr const char* kEncodings[] = {"utf-8",    "shift_jis",    "utf-16",
                                      "utf-16be", "windows-1251", "euc-jp"};

// Whether iconv reads `text` as UTF-8 (to UTF-16, which has no room for
// values above U+10FFFF and refuses surrogates and overlong forms).
bool IsValidUtf8(const std::string& text) {
  static const iconv_t cd = iconv_open("UTF-16LE", "UTF-8");
  static std::string out;
  iconv(cd, nullptr, nullptr, nullptr, nullptr);
  out.resize(text.size() * 2 + 4);
  char* in = const_cast<char*>(text.data());
  std::size_t inLeft = text.size();
  char* outPos = out.data();
  std::size_t outLeft = out.size();
  return iconv(cd, &in, &inLeft, &outPos, &outLeft) != static_cast<std::size_t>(-1);
}

// The entries written as a UTF-8 table that says the same.
std::string WriteBack(const std::vector<romscriber::Entry>& entries) {
  using romscriber::EntryKind;
  std::string file;
  for (const auto& e : entries) {
    if (e.Kind == EntryKind::kEnd) file += '/';
    if (e.Kind == EntryKind::kLineBreak) file += '*';
    if (e.Kind == EntryKind::kControl) file += '$';
    for (char c : e.Key)
      romscriber::AppendByteHex(file, static_cast<std::uint8_t>(c));
    file += '=';
    for (char c : e.Text) {
      if (c == '\n') {
        file += "\\n";
      } else {
        file += c;
      }
    }
    if (e.Kind == EntryKind::kControl && e.Params > 0) file += "," + std::to_string(e.Params);
    file += '\n';
  }
  return file;
}

bool SameEntries(const std::vector<romscriber::Entry>& a,
                 const std::vector<romscriber::Entry>& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (a[i].Key != b[i].Key || a[i].Text != b[i].Text || a[i].Kind != b[i].Kind ||
        a[i].Params != b[i].Params)
      return false;
  }
  return true;
}

void CheckWarning(const std::string& w) {
  if (!w.starts_with("fuzz.tbl, línea ")) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  using namespace romscriber;
  if (size == 0) return 0;
  testing::KeepConvertersLoaded();
  const char* encoding = kEncodings[data[0] % std::size(kEncodings)];
  const std::string_view bytes(reinterpret_cast<const char*>(data) + 1, size - 1);
  EntryList table;
  try {
    table = LoadExtendedTable(bytes, encoding, "fuzz.tbl", CheckWarning);
  } catch (const AppError& e) {
    if (e.Number() != kErrBadInput || e.Description().find(", línea ") == std::string::npos)
      std::abort();
    return 0;
  }
  std::unordered_set<std::string> keys;
  int lastLine = 0;
  for (const Entry& e : table.Entries) {
    if (e.Key.empty() || e.Key.size() > 32) std::abort();
    if (!keys.insert(e.Key).second) std::abort();
    if (e.Params < 0 || e.Params > 255) std::abort();
    if (e.Params != 0 && e.Kind != EntryKind::kControl) std::abort();
    if (e.Line <= lastLine) std::abort();
    lastLine = e.Line;
    if (e.Text.find('\r') != std::string::npos || !IsValidUtf8(e.Text)) std::abort();
  }
  const EntryList again = LoadExtendedTable(WriteBack(table.Entries), "", "fuzz.tbl",
                                                [](const std::string&) { std::abort(); });
  if (!SameEntries(table.Entries, again.Entries)) std::abort();
  return 0;
}
