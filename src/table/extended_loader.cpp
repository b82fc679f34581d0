#include "table/extended_loader.h"

#include <iconv.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstddef>
#include <optional>
#include <unordered_map>

#include "base/app_error.h"
#include "base/file_io.h"
#include "base/text.h"
#include "hex/hex.h"

namespace romscriber {

namespace {

constexpr std::string_view kUtf8Mark = "\xEF\xBB\xBF";
constexpr std::string_view kUtf16LeMark = "\xFF\xFE";
constexpr std::string_view kUtf16BeMark = "\xFE\xFF";
constexpr std::size_t kNone = std::string_view::npos;
constexpr std::size_t kMaxKeyDigits = 64;
constexpr int kMaxParams = 255;

char AsciiLower(char c) {
  return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c;
}

// The name handed to iconv for a name the user wrote: Shift-JIS is read as
// CP932 (real tables use its NEC symbols such as ①), and UTF-16 without a
// mark as little-endian (glibc would take it as big-endian).
std::string IconvName(std::string_view name) {
  std::string lower(name.size(), '\0');
  std::transform(name.begin(), name.end(), lower.begin(), AsciiLower);
  if (lower.empty()) return "UTF-8";
  if (lower == "shift_jis" || lower == "shift-jis" || lower == "sjis") return "CP932";
  if (lower == "utf-16") return "UTF-16LE";
  return lower;
}

bool IsUtf8Name(const std::string& iconvName) {
  return iconvName == "UTF-8" || iconvName == "utf-8" || iconvName == "utf8";
}

class IconvHandle {
 public:
  explicit IconvHandle(const std::string& from) : m_cd(iconv_open("UTF-8", from.c_str())) {}
  ~IconvHandle() {
    if (Ok()) iconv_close(m_cd);
  }
  IconvHandle(const IconvHandle&) = delete;
  IconvHandle& operator=(const IconvHandle&) = delete;

  bool Ok() const { return m_cd != reinterpret_cast<iconv_t>(-1); }
  iconv_t Get() const { return m_cd; }

 private:
  iconv_t m_cd;
};

[[noreturn]] void ThrowBadBytes(const std::string& fileName, int line, std::string_view shownName) {
  throw AppError(kErrBadInput,
                 "La tabla " + fileName + ", línea " + std::to_string(line) +
                     ", tiene bytes que no son válidos en " + std::string(shownName) +
                     "; se espera una tabla escrita en " + std::string(shownName) +
                     " (o que empiece con una marca de orden de bytes).",
                 {fileName, line});
}

[[noreturn]] void ThrowUnknownEncoding(const std::string& fileName, std::string_view name) {
  throw AppError(kErrBadSetting, "No se puede leer la tabla " + fileName + ": la codificación «" +
                                     std::string(name) +
                                     "» no es conocida; se espera un nombre de iconv como utf-8, "
                                     "shift_jis, utf-16, windows-1251 o euc-jp.");
}

// Converts the whole of `bytes` to UTF-8 in one pass into `out`. On a byte
// sequence the encoding does not allow (or one cut off by the end of the
// file), returns the length of UTF-8 produced before it.
std::optional<std::size_t> ConvertToUtf8(std::string_view bytes, const IconvHandle& cd,
                                         std::string& out) {
  out.resize(bytes.size() * 2 + 16);
  char* in = const_cast<char*>(bytes.data());  // iconv's signature; it only reads
  std::size_t inLeft = bytes.size();
  std::size_t done = 0;
  bool flushing = false;  // after the input, any pending shift state
  for (;;) {
    char* outPos = out.data() + done;
    std::size_t outLeft = out.size() - done;
    const std::size_t result = flushing ? iconv(cd.Get(), nullptr, nullptr, &outPos, &outLeft)
                                        : iconv(cd.Get(), &in, &inLeft, &outPos, &outLeft);
    done = static_cast<std::size_t>(outPos - out.data());
    if (result == static_cast<std::size_t>(-1)) {
      if (errno == E2BIG) {
        out.resize(out.size() * 2);
        continue;
      }
      out.resize(done);
      return done;  // EILSEQ or EINVAL
    }
    if (flushing) break;
    flushing = true;
  }
  out.resize(done);
  return std::nullopt;
}

// The file's text as UTF-8: a view of `fileBytes` itself when they are
// UTF-8 already, otherwise of `storage`.
std::string_view TextOfFile(std::string_view fileBytes, std::string_view encoding,
                            const std::string& fileName, std::string& storage) {
  std::string iconvName = IconvName(encoding);
  std::string shownName = encoding.empty() ? "UTF-8" : std::string(encoding);
  // The mark decides, whatever the name given.
  if (fileBytes.starts_with(kUtf8Mark)) {
    fileBytes.remove_prefix(kUtf8Mark.size());
    iconvName = shownName = "UTF-8";
  } else if (fileBytes.starts_with(kUtf16LeMark)) {
    fileBytes.remove_prefix(kUtf16LeMark.size());
    iconvName = shownName = "UTF-16LE";
  } else if (fileBytes.starts_with(kUtf16BeMark)) {
    fileBytes.remove_prefix(kUtf16BeMark.size());
    iconvName = shownName = "UTF-16BE";
  }
  std::string_view text = fileBytes;
  if (!IsUtf8Name(iconvName)) {
    const IconvHandle cd(iconvName);
    if (!cd.Ok()) ThrowUnknownEncoding(fileName, encoding);
    if (const auto bad = ConvertToUtf8(fileBytes, cd, storage))
      ThrowBadBytes(fileName, LineAt(storage, *bad), shownName);
    text = storage;
  }
  // Also for converted text: some iconv readers (UCS-4...) pass values that
  // are not Unicode characters. glibc's UTF-8 reader lets five-byte forms
  // and values above U+10FFFF through, so UTF-8 is checked here rather than
  // by iconv.
  if (const auto bad = FirstInvalidUtf8(text)) ThrowBadBytes(fileName, LineAt(text, *bad), shownName);
  return text;
}

std::size_t HexRun(std::string_view s) {
  std::size_t n = 0;
  while (n < s.size() && HexDigitValue(s[n]) >= 0)
    ++n;
  return n;
}

// A text with each backslash-n made a line break; no other escape exists.
std::string Unescape(std::string_view text) {
  std::size_t slash = text.find("\\n");
  if (slash == kNone) return std::string(text);
  std::string out;
  out.reserve(text.size());
  std::size_t from = 0;
  while (slash != kNone) {
    out.append(text.substr(from, slash - from));
    out.push_back('\n');
    from = slash + 2;
    slash = text.find("\\n", from);
  }
  out.append(text.substr(from));
  return out;
}

class ExtendedParser {
 public:
  ExtendedParser(const std::string& fileName, const Warn& warn)
      : m_fileName(fileName), m_warn(warn) {}

  EntryList Run(std::string_view text) {
    // Keys are at most half as many bytes as the text has characters, so
    // the views into m_keyBytes stay valid: it never grows past this.
    m_keyBytes.reserve(text.size() / 2 + 1);
    m_firstLine.reserve(text.size() / 16 + 1);
    ForEachLine(text, [&](std::string_view line, int number) {
      m_line = number;
      Line(line);
    });
    return std::move(m_table);
  }

 private:
  void Line(std::string_view line) {
    if (line.empty() || line[0] == '#' || line[0] == ';' || line.starts_with("//")) return;
    switch (line[0]) {
      case '/':
        TokenLine(line.substr(1), EntryKind::kEnd);
        break;
      case '*':
        TokenLine(line.substr(1), EntryKind::kLineBreak);
        break;
      case '$':
        ControlLine(line.substr(1));
        break;
      default:
        EntryLine(line);
        break;
    }
  }

  void EntryLine(std::string_view line) {
    const std::size_t digits = HexRun(line);
    if (digits == 0 || digits == line.size() || line[digits] != '=') return NotAnEntry();
    Add(line.substr(0, digits), line.substr(digits + 1), EntryKind::kText, 0);
  }

  // `/HEX`, `/HEX=text`, `*HEX`, `*HEX=text`; for `/`, also a text with no
  // key at all, which stands for no bytes and is passed over silently.
  void TokenLine(std::string_view rest, EntryKind kind) {
    const std::size_t digits = HexRun(rest);
    const bool keyEnds = digits == rest.size() || rest[digits] == '=';
    if (kind == EntryKind::kEnd && !(digits > 0 && keyEnds) && !rest.starts_with('=')) return;
    if (digits == 0 || !keyEnds) return NotAnEntry();
    const std::string_view text =
        digits == rest.size() ? std::string_view() : rest.substr(digits + 1);
    Add(rest.substr(0, digits), text, kind, 0);
  }

  // `$HEX=label`, `$HEX=label,N` or `$HEX=label,name,...`.
  void ControlLine(std::string_view rest) {
    const std::size_t digits = HexRun(rest);
    if (digits == 0 || digits == rest.size() || rest[digits] != '=') return NotAnEntry();
    const std::string_view body = rest.substr(digits + 1);
    const std::size_t comma = body.find(',');
    int params = 0;
    if (comma != kNone) {
      const std::optional<int> count = ParamCount(body.substr(comma + 1));
      if (!count) return;
      params = *count;
    }
    Add(rest.substr(0, digits), body.substr(0, comma), EntryKind::kControl, params);
  }

  // One decimal number, or one or more names of a byte each.
  std::optional<int> ParamCount(std::string_view list) {
    const std::string_view single = Trim(list);
    if (!single.empty() &&
        std::all_of(single.begin(), single.end(), [](char c) { return c >= '0' && c <= '9'; })) {
      int count = 0;
      for (char c : single) {
        count = count * 10 + (c - '0');
        if (count > kMaxParams) {
          Report("el número de bytes de parámetro " + std::string(single) +
               " pasa de 255; se omite.");
          return std::nullopt;
        }
      }
      return count;
    }
    int names = 0;
    std::size_t from = 0;
    for (;;) {
      const std::size_t comma = list.find(',', from);
      if (Trim(list.substr(from, comma == kNone ? kNone : comma - from)).empty()) {
        Report(
            "falta un nombre de parámetro (se espera $CLAVE=etiqueta,N o "
            "$CLAVE=etiqueta,nombre,...); se omite.");
        return std::nullopt;
      }
      ++names;
      if (comma == kNone) break;
      from = comma + 1;
    }
    if (names > kMaxParams) {
      Report("tiene " + std::to_string(names) + " parámetros y el máximo es 255; se omite.");
      return std::nullopt;
    }
    return names;
  }

  void Add(std::string_view hex, std::string_view text, EntryKind kind, int params) {
    if (hex.size() % 2 != 0) {
      Report("la clave " + std::string(hex) +
           " tiene un número impar de cifras hexadecimales; se omite.");
      return;
    }
    if (hex.size() > kMaxKeyDigits) {
      Report("la clave tiene " + std::to_string(hex.size()) +
           " cifras hexadecimales y el máximo es 64; se omite.");
      return;
    }
    // The digits were found to be hex digits already.
    const std::string key = *ParseHexBytes(hex);
    const std::size_t length = key.size();
    const std::string_view keyView(key);
    if (const auto it = m_firstLine.find(keyView); it != m_firstLine.end()) {
      std::string shown;
      for (char c : keyView)
        AppendByteHex(shown, static_cast<std::uint8_t>(c));
      Report("la clave " + shown + " ya está definida en la línea " + std::to_string(it->second) +
           "; se omite.");
      return;
    }
    const std::size_t start = m_keyBytes.size();
    m_keyBytes.append(keyView);
    m_firstLine.emplace(std::string_view(m_keyBytes).substr(start, length), m_line);

    Entry& entry = m_table.Entries.emplace_back();
    entry.Key.assign(keyView);
    entry.Text = Unescape(text);
    entry.Kind = kind;
    entry.Params = params;
    entry.Line = m_line;
  }

  void NotAnEntry() {
    Report(
        "no es una entrada de tabla (se espera CLAVE=texto, /CLAVE, *CLAVE, "
        "$CLAVE=etiqueta,N o un comentario); se omite.");
  }

  void Report(const std::string& what) {
    if (m_warn) m_warn(m_fileName + ", línea " + std::to_string(m_line) + ": " + what);
  }

  const std::string& m_fileName;
  const Warn& m_warn;
  EntryList m_table;
  std::string m_keyBytes;                                 // every stored key, end to end
  std::unordered_map<std::string_view, int> m_firstLine;  // key bytes: line of its definition
  int m_line = 0;
};

}  // namespace

bool IsKnownEncoding(std::string_view name) {
  // Only the characters of plain encoding names: iconv would read
  // "NAME//IGNORE" and the like as options that let bad bytes through, and
  // would pass over spaces that keep "sjis " from being read as CP932.
  const auto plain = [](char c) {
    return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-' ||
           c == '_' || c == '.' || c == ':' || c == '+';
  };
  if (!std::all_of(name.begin(), name.end(), plain)) return false;
  return IconvHandle(IconvName(name)).Ok();
}

EntryList LoadExtendedTable(std::string_view fileBytes, std::string_view encoding,
                                const std::string& fileName, const Warn& warn) {
  if (!IsKnownEncoding(encoding)) ThrowUnknownEncoding(fileName, encoding);
  std::string storage;
  const std::string_view text = TextOfFile(fileBytes, encoding, fileName, storage);
  return ExtendedParser(fileName, warn).Run(text);
}

EntryList LoadExtendedTableFile(const std::filesystem::path& path, std::string_view encoding,
                                    const Warn& warn) {
  const std::string fileName = path.filename().string();
  // A setting that cannot be used is refused before the file is read.
  if (!IsKnownEncoding(encoding)) ThrowUnknownEncoding(fileName, encoding);
  return LoadExtendedTable(ReadWholeFile(path), encoding, fileName, warn);
}

}  // namespace romscriber
