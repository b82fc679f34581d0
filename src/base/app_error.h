// The program's one error type: a run-time error number with its Spanish
// description, as the window and the programs show them to the user, and
// where the fault lies in a file when it lies in one (file, line, column).
// Warnings reach the front end through one kind of callback, Warn.
#pragma once

#include <functional>
#include <stdexcept>
#include <string>
#include <system_error>

namespace romscriber {

// Error numbers the program raises, tests or shows.
enum ErrorNumber : int {
  kErrOverflow = 6,           // arithmetic overflow
  kErrSubscript = 9,          // an index beyond a fixed list
  kErrFileNotFound = 53,      // a file that does not exist
  kErrDiskFull = 61,          // no space left (or the file-size limit reached)
  kErrPastEndOfFile = 62,     // a file became shorter than it was when opened
  kErrPermissionDenied = 70,  // the system refused access
  kErrPathFileAccess = 75,    // any other path or file access failure
  kErrPathNotFound = 76,      // a folder on the way does not exist
  kErrCancelled = 32755,      // the open dialog was cancelled

  // Refusals of the translation tools; the message names file, line or string.
  kErrBadInput = 1001,      // a table, project or script file that cannot be read as written
  kErrBadSetting = 1002,    // a setting that cannot be used (an unknown encoding...)
  kErrNoRoom = 1003,        // translated strings that do not fit their space
  kErrCannotEncode = 1004,  // a text that no table entry can give
};

// Spanish description of an error number ("Desbordamiento" for 6...).
std::string ErrorDescription(int number);

// A place in a file: its name as messages give it, the line and the column
// from 1 (0 when not known).
struct Where {
  std::string File;
  int Line = 0;
  int Column = 0;

  // "FILE:LINE:COLUMN", "FILE:LINE" or "FILE", as far as it is known.
  std::string Text() const;
};

class AppError : public std::runtime_error {
 public:
  explicit AppError(int number);
  AppError(int number, const std::string& description);
  // The description as given, with the place it is about.
  AppError(int number, const std::string& description, Where where);

  // "WHERE: what": the place first, as compilers name it.
  static AppError At(int number, Where where, const std::string& what);

  int Number() const { return m_number; }
  const std::string& Description() const { return m_description; }
  // The file, line and column the error is about; an empty file when it is
  // about none.
  const Where& Place() const { return m_where; }

 private:
  int m_number;
  std::string m_description;
  Where m_where;
};

// Receives each warning: a Spanish sentence that names what it is about
// (file and line, or block and string), without the "Aviso: " that the
// front end shows before it.
using Warn = std::function<void(const std::string& warning)>;

// Maps an operating-system error on a file or folder to the program's number:
// missing file 53, missing folder on the way 76, refused access 70, full disk
// 61, anything else 75. `isFolder` says whether the path was meant as a folder.
int ErrorNumberForSystemError(std::error_code code, bool isFolder = false);

[[noreturn]] void ThrowSystemError(std::error_code code, bool isFolder = false);

}  // namespace romscriber
