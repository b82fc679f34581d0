// Small std-only file helpers that turn operating-system failures into
// AppError numbers (53 file not found, 70 permission denied, 75 other access
// errors, 76 path not found, 61 disk full).
#pragma once

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <string>

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

// AppError for the current errno.
[[noreturn]] void ThrowErrno(bool isFolder = false);

}  // namespace romscriber
