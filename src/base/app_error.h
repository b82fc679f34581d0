// The program's one error type: a run-time error number with its Spanish
// description, as the window and the dumper show them to the user.
#pragma once

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

class AppError : public std::runtime_error {
 public:
  explicit AppError(int number);
  AppError(int number, const std::string& description);

  int Number() const { return m_number; }
  const std::string& Description() const { return m_description; }

 private:
  int m_number;
  std::string m_description;
};

// Maps an operating-system error on a file or folder to the program's number:
// missing file 53, missing folder on the way 76, refused access 70, full disk
// 61, anything else 75. `isFolder` says whether the path was meant as a folder.
int ErrorNumberForSystemError(std::error_code code, bool isFolder = false);

[[noreturn]] void ThrowSystemError(std::error_code code, bool isFolder = false);

}  // namespace romscriber
