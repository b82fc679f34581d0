#include "scripts/po.h"

#include <gettext-po.h>
#include <sys/mman.h>
#include <unistd.h>

#include <cctype>
#include <cerrno>
#include <csetjmp>
#include <cstdlib>
#include <memory>
#include <set>
#include <string_view>
#include <vector>

#include "base/app_error.h"
#include "scripts/script_text.h"

namespace romscriber {
namespace {

constexpr std::size_t kWidth = 79;  // gettext's line width

void AppendEscaped(std::string& out, std::string_view text) {
  static constexpr char kOctal[] = "01234567";
  for (const char ch : text) {
    const auto c = static_cast<unsigned char>(ch);
    switch (c) {
      case '"':
        out += "\\\"";
        break;
      case '\\':
        out += "\\\\";
        break;
      case '\t':
        out += "\\t";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\r':
        out += "\\r";
        break;
      default:
        if (c < 0x20 || c == 0x7F) {  // other control characters, in octal
          out += '\\';
          out += kOctal[c >> 6];
          out += kOctal[(c >> 3) & 7];
          out += kOctal[c & 7];
        } else {
          out += ch;
        }
    }
  }
}

std::string Escaped(std::string_view text) {
  std::string out;
  AppendEscaped(out, text);
  return out;
}

// `keyword "text"` on one line when it fits and has no line break before its
// end; else `keyword ""` and the text in quoted lines, each ending after a
// line break or, for a long line, after a space.
void AppendString(std::string& out, const char* keyword, std::string_view text) {
  const std::string one = Escaped(text);
  const std::size_t firstBreak = text.find('\n');
  if (std::string_view(keyword).size() + one.size() + 3 <= kWidth &&
      (firstBreak == std::string_view::npos || firstBreak + 1 == text.size())) {
    out += keyword;
    out += " \"" + one + "\"\n";
    return;
  }
  out += keyword;
  out += " \"\"\n";
  std::string piece;                    // escaped text of the line being written
  std::size_t cut = std::string::npos;  // length of `piece` through its last space
  for (std::size_t i = 0; i < text.size(); ++i) {
    AppendEscaped(piece, text.substr(i, 1));
    if (text[i] == '\n' || i + 1 == text.size()) {
      out += '"';
      out += piece;
      out += "\"\n";
      piece.clear();
      cut = std::string::npos;
      continue;
    }
    if (text[i] == ' ') cut = piece.size();
    // A long line ends after a space (never inside a UTF-8 character).
    if (piece.size() + 2 > kWidth && cut != std::string::npos && cut < piece.size()) {
      // Appended piece by piece: GCC 12 warns falsely (-Wrestrict) on "x" + s.
      out += '"';
      out.append(piece, 0, cut);
      out += "\"\n";
      piece.erase(0, cut);
      cut = std::string::npos;
    }
  }
}

// --- Reading -----------------------------------------------------------------

struct ReadProblem {
  bool Found = false;
  std::size_t Line = 0;
  std::string Text;
};

// The handler cannot throw through libgettextpo's C frames, so it keeps the
// first problem for ReadPo to raise once po_file_read has returned. A fatal
// error (a read failure) must not return: it jumps back to ReadPoFile.
thread_local ReadProblem* t_problem = nullptr;
thread_local std::jmp_buf* t_fatal = nullptr;

void Keep(int severity, const char* filename, std::size_t lineno, const char* text) {
  if (severity == PO_SEVERITY_WARNING || t_problem == nullptr) return;
  if (!t_problem->Found) {
    t_problem->Found = true;
    t_problem->Line = filename != nullptr && lineno != static_cast<std::size_t>(-1) ? lineno : 0;
    t_problem->Text = text != nullptr ? text : "";
    while (!t_problem->Text.empty() && t_problem->Text.back() == '\n')
      t_problem->Text.pop_back();
  }
  if (severity == PO_SEVERITY_FATAL_ERROR && t_fatal != nullptr) std::longjmp(*t_fatal, 1);
}

void XError(int severity, po_message_t, const char* filename, std::size_t lineno, std::size_t, int,
            const char* text) {
  Keep(severity, filename, lineno, text);
}

void XError2(int severity, po_message_t, const char* filename1, std::size_t lineno1, std::size_t,
             int, const char* text1, po_message_t, const char*, std::size_t, std::size_t, int,
             const char*) {
  Keep(severity, filename1, lineno1, text1);
}

// po_file_read with the problem handler; nothing on a fatal error. Holds no
// object with a destructor, as longjmp leaves it.
po_file_t ReadPoFile(const char* path, ReadProblem* problem) {
  static const po_xerror_handler kHandler = {XError, XError2};
  std::jmp_buf fatal;
  t_problem = problem;
  t_fatal = &fatal;
  po_file_t file = nullptr;
  if (setjmp(fatal) == 0) file = po_file_read(path, &kHandler);
  t_problem = nullptr;
  t_fatal = nullptr;
  return file;
}

struct IteratorDeleter {
  void operator()(po_message_iterator_t it) const { po_message_iterator_free(it); }
};
using MessageIterator = std::unique_ptr<struct po_message_iterator, IteratorDeleter>;

// po_file_free frees every message but not its msgctxt (gettext's
// message_free leaves it out); setting it to nothing first frees it, so that
// a file of many entries leaves nothing behind.
struct PoFileDeleter {
  void operator()(po_file_t f) const {
    for (const char* const* domain = po_file_domains(f); domain != nullptr && *domain != nullptr;
         ++domain) {
      const MessageIterator it(po_message_iterator(f, *domain));
      for (po_message_t m = po_next_message(it.get()); m != nullptr; m = po_next_message(it.get()))
        po_message_set_msgctxt(m, nullptr);
    }
    po_file_free(f);
  }
};

// The bytes as a file libgettextpo can open by name: an anonymous file in
// memory (memfd), named by its /proc/self/fd path, closed when done.
class MemoryFile {
 public:
  explicit MemoryFile(std::string_view bytes) : m_fd(memfd_create("romscriber-po", MFD_CLOEXEC)) {
    if (m_fd < 0) throw AppError(kErrPathFileAccess);
    for (std::size_t done = 0; done < bytes.size();) {
      const ssize_t n = write(m_fd, bytes.data() + done, bytes.size() - done);
      if (n < 0 && errno == EINTR) continue;
      if (n <= 0) {
        close(m_fd);
        throw AppError(kErrPathFileAccess);
      }
      done += static_cast<std::size_t>(n);
    }
    m_path = "/proc/self/fd/" + std::to_string(m_fd);
  }
  ~MemoryFile() { close(m_fd); }
  MemoryFile(const MemoryFile&) = delete;
  MemoryFile& operator=(const MemoryFile&) = delete;

  const std::string& Path() const { return m_path; }

 private:
  int m_fd;
  std::string m_path;
};

// Line of each entry's msgid keyword (obsolete ones included), in file order:
// the order in which libgettextpo gives the entries back.
std::vector<int> MsgidLines(std::string_view bytes) {
  std::vector<int> lines;
  ForEachLine(bytes, [&](std::string_view text, int line) {
    if (text.substr(0, 2) == "#~") text.remove_prefix(2);
    text = Trim(text);
    if (text.substr(0, 5) == "msgid" &&
        (text.size() == 5 || text[5] == ' ' || text[5] == '\t' || text[5] == '"'))
      lines.push_back(line);
  });
  return lines;
}

std::vector<std::string_view> Words(std::string_view text) {
  std::vector<std::string_view> words;
  std::size_t pos = 0;
  while (pos < text.size()) {
    const std::size_t start = text.find_first_not_of(" \t,", pos);
    if (start == std::string_view::npos) break;
    std::size_t end = text.find_first_of(" \t,", start);
    if (end == std::string_view::npos) end = text.size();
    words.push_back(text.substr(start, end - start));
    pos = end;
  }
  return words;
}

// Offset and pointers from the extracted comment "offset 1F400, pointers
// 1F000 1F002" (one of the comment's lines). False when there is none or it
// is not written so.
bool ParsePlace(std::string_view comments, StringRecord& s) {
  // gettext joins the comment's lines with line ends.
  std::vector<std::string_view> lines;
  ForEachLine(comments, [&](std::string_view line, int) { lines.push_back(line); });
  for (const std::string_view line : lines) {
    const std::vector<std::string_view> words = Words(line);
    if (words.empty() || words[0] != "offset") continue;
    if (words.size() < 2) return false;
    const auto offset = ParseHexNumber(words[1]);
    if (!offset) return false;
    s.Offset = *offset;
    if (words.size() == 2) return true;
    if (words[2] != "pointers" || words.size() == 3) return false;
    for (std::size_t i = 3; i < words.size(); ++i) {
      const auto pointer = ParseHexNumber(words[i]);
      if (!pointer) return false;
      s.Pointers.push_back(*pointer);
    }
    return true;
  }
  return false;
}

// libgettextpo hands out some strings as const that are fresh copies for the
// caller to free, each in its own way:
// - po_file_domain_header: a copy of the header entry's msgstr whenever there
//   is a header entry, even an empty one (msgstr ""), or nullptr;
// - po_message_extracted_comments: a static "" when the entry has no "#."
//   line, else the lines joined, each ended by '\n' (never empty, even for a
//   bare "#.").
struct FreeHeader {
  void operator()(const char* s) const { std::free(const_cast<char*>(s)); }
};
using HeaderString = std::unique_ptr<const char, FreeHeader>;
struct FreeExtractedComments {
  void operator()(const char* s) const {
    if (*s != '\0') std::free(const_cast<char*>(s));
  }
};
using ExtractedComments = std::unique_ptr<const char, FreeExtractedComments>;

bool IsUtf8Charset(const char* header) {
  if (header == nullptr) return true;
  char* type = po_header_field(header, "Content-Type");
  if (type == nullptr) return true;
  std::string value(type);
  std::free(type);
  for (char& c : value)
    c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  const std::size_t at = value.find("charset=");
  if (at == std::string::npos) return true;
  const std::string charset = value.substr(at + 8, value.find_first_of(" ;", at + 8) - at - 8);
  return charset == "utf-8" || charset == "utf8";
}

}  // namespace

std::string WritePo(const ScriptView& script) {
  const std::string block(script.Block);
  std::string out = "# " + block + ": textos para traducir\n";
  out +=
      "msgid \"\"\n"
      "msgstr \"\"\n";
  out += "\"Project-Id-Version: " + Escaped(block) + "\\n\"\n";
  out +=
      "\"PO-Revision-Date: \\n\"\n"
      "\"Last-Translator: \\n\"\n"
      "\"Language-Team: \\n\"\n"
      "\"Language: \\n\"\n"
      "\"MIME-Version: 1.0\\n\"\n"
      "\"Content-Type: text/plain; charset=UTF-8\\n\"\n"
      "\"Content-Transfer-Encoding: 8bit\\n\"\n";
  for (const StringRecord& s : script.Strings) {
    const std::string where = "bloque " + block + ", texto " + std::to_string(s.Id) + ": ";
    if (s.Original.empty())
      throw AppError(kErrBadInput,
                     where +
                         "un texto original vacío no puede ir en un archivo PO (msgid \"\" es "
                         "la cabecera)");
    if (s.Original.find('\0') != std::string::npos || s.Translation.find('\0') != std::string::npos)
      throw AppError(kErrBadInput, where + "un archivo PO no puede llevar el carácter NUL");
    out += "\n#. offset " + OffsetHex(s.Offset);
    for (std::size_t i = 0; i < s.Pointers.size(); ++i)
      out += (i == 0 ? ", pointers " : " ") + OffsetHex(s.Pointers[i].Offset);
    out += '\n';
    if (s.Fuzzy) out += "#, fuzzy\n";
    out += "msgctxt \"" + Escaped(block) + "/" + std::to_string(s.Id) + "\"\n";
    AppendString(out, "msgid", s.Original);
    AppendString(out, "msgstr", s.Translation);
  }
  return out;
}

BlockScript ReadPo(std::string_view bytes, const std::string& fileName,
                   const std::string& blockName) {
  const std::string& name = fileName;
  if (const auto bad = FirstInvalidUtf8(bytes))
    RefuseAt(name, LineAt(bytes, *bad), "el archivo debe estar en UTF-8");

  ReadProblem problem;
  const MemoryFile file(bytes);
  std::unique_ptr<struct po_file, PoFileDeleter> po(ReadPoFile(file.Path().c_str(), &problem));
  if (problem.Found)
    RefuseAt(name, static_cast<int>(problem.Line),
             "gettext no puede leer el archivo PO: " + problem.Text);
  if (!po) RefuseAt(name, 0, "gettext no puede leer el archivo PO");

  const char* const* domains = po_file_domains(po.get());
  for (; domains != nullptr && *domains != nullptr; ++domains) {
    if (std::string_view(*domains) != "messages")
      RefuseAt(name, 0,
               "el archivo tiene el dominio \"" + std::string(*domains) +
                   "\"; solo se admite el dominio por omisión (sin línea domain)");
  }
  const HeaderString header(po_file_domain_header(po.get(), nullptr));
  if (!IsUtf8Charset(header.get()))
    RefuseAt(name, 0, "la cabecera debe decir charset=UTF-8 en Content-Type");

  const std::vector<int> lines = MsgidLines(bytes);
  BlockScript script;
  script.Block = blockName;
  std::set<int> ids;
  const std::string prefix = blockName + "/";
  const MessageIterator it(po_message_iterator(po.get(), nullptr));
  std::size_t index = 0;
  for (po_message_t m = po_next_message(it.get()); m != nullptr;
       m = po_next_message(it.get()), ++index) {
    const int line = index < lines.size() ? lines[index] : 0;
    if (po_message_is_obsolete(m)) continue;
    const char* context = po_message_msgctxt(m);
    const std::string_view msgid = po_message_msgid(m);
    if (context == nullptr && msgid.empty()) continue;  // the header entry
    if (context == nullptr)
      RefuseAt(name, line,
               "falta msgctxt \"" + prefix + "<id>\": sin él no se sabe a qué texto corresponde");
    const std::string_view ctx = context;
    if (ctx.substr(0, prefix.size()) != prefix)
      RefuseAt(name, line,
               "msgctxt \"" + std::string(ctx) + "\" no es de este bloque; se esperaba \"" +
                   prefix + "<id>\"");
    const auto id = ParseId(ctx.substr(prefix.size()));
    if (!id)
      RefuseAt(name, line,
               "el id de msgctxt \"" + std::string(ctx) + "\" debe ser un número decimal");
    if (!ids.insert(*id).second)
      RefuseAt(name, line, "el id " + std::to_string(*id) + " ya estaba en una entrada anterior");
    if (po_message_msgid_plural(m) != nullptr)
      RefuseAt(name, line, "los textos de un juego no tienen formas plurales (msgid_plural)");
    if (msgid.empty()) RefuseAt(name, line, "el msgid está vacío y debe dar el texto original");
    StringRecord s;
    s.Id = *id;
    s.Line = line;
    const ExtractedComments comments(po_message_extracted_comments(m));
    if (!ParsePlace(comments ? comments.get() : "", s))
      RefuseAt(name, line,
               "falta el comentario \"#. offset HEX\" (o \"#. offset HEX, pointers HEX HEX...\") "
               "que dice dónde está el texto");
    s.Original = msgid;
    s.Translation = po_message_msgstr(m);
    s.Fuzzy = po_message_is_fuzzy(m) != 0;
    script.Strings.push_back(std::move(s));
  }
  return script;
}

}  // namespace romscriber
