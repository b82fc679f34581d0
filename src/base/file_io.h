// Small std-only file helpers that turn operating-system failures into
// AppError numbers (53 file not found, 70 permission denied, 75 other access
// errors, 76 path not found, 61 disk full).
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <initializer_list>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "base/app_error.h"

namespace romscriber {

struct FileCloser {
  void operator()(std::FILE* f) const {
    if (f) std::fclose(f);
  }
};
using FileHandle = std::unique_ptr<std::FILE, FileCloser>;

// Opens an existing file for binary reading. Never creates a file. A folder
// gives 75, a missing file 53, a path through a missing folder 76.
FileHandle OpenForReading(const std::filesystem::path& path);

// Length in bytes of an open file.
std::int64_t FileLength(std::FILE* file);

// Reads the whole file into a byte string.
std::string ReadWholeFile(const std::filesystem::path& path);

// The bytes of the whole file (a ROM); an error names the file and says
// what it is, `what` (see RethrowNamingFile).
std::vector<std::uint8_t> ReadFileBytes(const std::filesystem::path& path, const std::string& what);

// Writes the parts, one after the other, as the file `path`, replacing a
// file of that name. The file is written under a temporary name and renamed
// into place, so that a write that fails part-way never leaves a cut file
// under its final name. AppError (61, 70, 75, 76) when it cannot be written.
void WriteFileWhole(const std::filesystem::path& path,
                    std::initializer_list<std::string_view> parts);

// Writes files into one folder as WriteFileWhole does, finding the folder
// once rather than walking its whole path for every file: a dump writes
// thousands of them. Names are bare file names.
class FolderWriter {
 public:
  explicit FolderWriter(std::filesystem::path folder);
  ~FolderWriter();
  FolderWriter(const FolderWriter&) = delete;
  FolderWriter& operator=(const FolderWriter&) = delete;

  void WriteFileWhole(std::string_view name, std::initializer_list<std::string_view> parts);

 private:
  std::filesystem::path m_folder;
  int m_fd = -1;  // the open folder; -1 not opened yet, -2 could not be opened
};

// Whether two paths name one file, also through links; a path that does not
// exist yet names no existing file, and is compared by its canonical form.
bool SameFile(const std::filesystem::path& a, const std::filesystem::path& b);

// A file error (53, 70, 75, 76...) says only what went wrong: the same error
// again, naming the file and what it was wanted for ("la tabla main de
// juego.toml:9:1"). Refusals of the file's contents already name it and pass
// through as they are.
[[noreturn]] void RethrowNamingFile(const AppError& e, const std::filesystem::path& path,
                                    const std::string& what);

// AppError for the current errno.
[[noreturn]] void ThrowErrno(bool isFolder = false);

}  // namespace romscriber
