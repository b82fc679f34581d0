#include "table/loader.h"

#include <string>

#include "base/app_error.h"
#include "base/file_io.h"
#include "hex/hex.h"

namespace romscriber {

namespace {

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr std::size_t kNone = std::string_view::npos;

class TableLoader {
 public:
  TableLoader(std::string_view data, Table& table) : m_data(data), m_table(table) {}

  void Run() {
    while (m_pos < m_data.size()) {
      switch (m_data[m_pos]) {
        case '$':
          m_pos += 7;
          break;
        case '(':
          SkipThrough({')'});
          break;
        case '[':
          SkipThrough({'-', ']'});
          break;
        case '{':
          SkipThrough({'-', '}'});
          break;
        case '&':
          SkipThrough({'-'});
          break;
        case '>':
        case '#':
          m_pos += 3;
          break;
        case '\r':
          m_pos += 2;
          break;
        case '!':
        case '@':
          m_pos += 5;
          break;
        case '*':
          MarkerLine(kLineBreakText);
          break;
        case '/':
          MarkerLine(kEndText);
          break;
        default:
          EntryLine();
          break;
      }
    }
  }

 private:
  int At(std::size_t k) const {
    return k < m_data.size() ? static_cast<unsigned char>(m_data[k]) : -1;
  }

  std::string Bytes(std::size_t from, std::size_t count) const {
    return from < m_data.size() ? std::string(m_data.substr(from, count)) : std::string();
  }

  // Finds each delimiter in turn, each after the one before, across line
  // ends; then goes on past the CR LF after the last one. The end of the file
  // ends the load.
  void SkipThrough(std::initializer_list<char> delimiters) {
    std::size_t k = m_pos;
    for (char d : delimiters) {
      k = m_data.find(d, k + 1);
      if (k == kNone) {
        m_pos = m_data.size();
        return;
      }
    }
    GoPastLineEnd(k + 1);
  }

  void GoPastLineEnd(std::size_t from) {
    const std::size_t cr = from < m_data.size() ? m_data.find('\r', from) : kNone;
    m_pos = cr == kNone ? m_data.size() : cr + 2;
  }

  // Bytes from `from` up to the next CR; without one, to the end of the file.
  // Leaves m_pos past the CR LF.
  std::string TextToLineEnd(std::size_t from) {
    const std::size_t cr = m_data.find('\r', from);
    const std::size_t end = cr == kNone ? m_data.size() : cr;
    std::string text(m_data.substr(from, end - from));
    m_pos = cr == kNone ? m_data.size() : cr + 2;
    return text;
  }

  void SetMarker(const std::string& code, const char* text) {
    const auto slot = static_cast<std::size_t>(hexx(code));
    m_table.SingleCodes[slot] = code;
    m_table.SingleTexts[slot] = text;
  }

  void MarkerLine(const char* text) {
    SetMarker(Bytes(m_pos + 1, 2), text);
    if ((At(m_pos + 3) == '\r' && At(m_pos + 4) == '\n') || m_pos + 3 >= m_data.size()) {
      // One code; a line cut off by the end of the file has no second one.
      m_pos += 5;
      return;
    }
    SetMarker(Bytes(m_pos + 3, 2), text);
    m_pos += 7;
  }

  bool WindowHasLineEnd() const {
    for (std::size_t k = m_pos; k + 1 < m_data.size() && k < m_pos + 6; ++k) {
      if (m_data[k] == '\r' && m_data[k + 1] == '\n') return true;
    }
    return false;
  }

  void EntryLine() {
    if (At(m_pos + 2) == '=') {
      const std::string code = Bytes(m_pos, 2);
      const auto slot = static_cast<std::size_t>(hexx(code));
      m_table.SingleCodes[slot] = code;
      m_table.SingleTexts[slot] = TextToLineEnd(m_pos + 3);
    } else if (At(m_pos + 4) == '=') {
      if (m_doubleRows == kMultiRows) throw AppError(kErrSubscript);
      const std::size_t row = m_doubleRows++;
      m_table.DoubleCodes[row] = Bytes(m_pos, 4);
      m_table.DoubleTexts[row] = TextToLineEnd(m_pos + 5);
    } else if (At(m_pos + 6) == '=' && !WindowHasLineEnd()) {
      if (m_tripleRows == kMultiRows) throw AppError(kErrSubscript);
      const std::size_t row = m_tripleRows++;
      m_table.TripleCodes[row] = Bytes(m_pos, 6);
      m_table.TripleTexts[row] = TextToLineEnd(m_pos + 7);
    } else {
      GoPastLineEnd(m_pos);  // no entry: passed over without effect
    }
  }

  std::string_view m_data;
  Table& m_table;
  std::size_t m_pos = 0;
  std::size_t m_doubleRows = 0;
  std::size_t m_tripleRows = 0;
};

}  // namespace

void LoadTable(std::string_view fileBytes, Table& table) {
  std::string_view data = fileBytes;
  if (data.substr(0, kByteOrderMark.size()) == kByteOrderMark)
    data.remove_prefix(kByteOrderMark.size());
  // Line ends from other systems: LF alone (no CR anywhere) or CR alone (no
  // LF anywhere) are read as CR LF.
  const bool hasCr = data.find('\r') != kNone;
  const bool hasLf = data.find('\n') != kNone;
  std::string withCrLf;
  if (hasCr != hasLf) {
    const char lineEnd = hasLf ? '\n' : '\r';
    withCrLf.reserve(data.size() + data.size() / 8);
    for (char c : data) {
      if (c == lineEnd) {
        withCrLf += "\r\n";
      } else {
        withCrLf.push_back(c);
      }
    }
    data = withCrLf;
  }
  TableLoader(data, table).Run();
}

Table LoadTableFile(const std::filesystem::path& path) {
  const std::string bytes = ReadWholeFile(path);
  Table table;
  LoadTable(bytes, table);
  return table;
}

}  // namespace romscriber
