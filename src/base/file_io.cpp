#include "base/file_io.h"

#include <cerrno>
#include <system_error>

#include "base/app_error.h"

namespace romscriber {

void ThrowErrno(bool isFolder) {
  const int err = errno;
  ThrowSystemError(std::error_code(err ? err : EIO, std::generic_category()), isFolder);
}

FileHandle OpenForReading(const std::filesystem::path& path) {
  std::error_code ec;
  const auto status = std::filesystem::status(path, ec);
  if (ec) {
    // A missing file in a missing folder: the path is what is not found.
    std::error_code parentEc;
    const bool folderMissing = ec == std::errc::no_such_file_or_directory &&
                               path.has_parent_path() &&
                               !std::filesystem::exists(path.parent_path(), parentEc);
    ThrowSystemError(ec, folderMissing);
  }
  if (std::filesystem::is_directory(status)) throw AppError(kErrPathFileAccess);
  errno = 0;
  FileHandle file(std::fopen(path.c_str(), "rb"));
  if (!file) ThrowErrno();
  return file;
}

std::int64_t FileLength(std::FILE* file) {
  if (std::fseek(file, 0, SEEK_END) != 0) ThrowErrno();
  const long length = std::ftell(file);
  if (length < 0) ThrowErrno();
  if (std::fseek(file, 0, SEEK_SET) != 0) ThrowErrno();
  return length;
}

std::string ReadWholeFile(const std::filesystem::path& path) {
  FileHandle file = OpenForReading(path);
  std::string bytes;
  char buffer[1 << 16];
  for (;;) {
    errno = 0;
    const std::size_t got = std::fread(buffer, 1, sizeof buffer, file.get());
    bytes.append(buffer, got);
    if (got < sizeof buffer) {
      if (std::ferror(file.get())) ThrowErrno();
      break;
    }
  }
  return bytes;
}

void WriteFileWhole(const std::filesystem::path& path,
                    std::initializer_list<std::string_view> parts) {
  std::filesystem::path temporary = path;
  temporary += ".tmp";
  errno = 0;
  FileHandle file(std::fopen(temporary.c_str(), "wb"));
  if (!file) ThrowErrno(true);
  try {
    for (std::string_view part : parts) {
      if (std::fwrite(part.data(), 1, part.size(), file.get()) != part.size()) ThrowErrno();
    }
    if (std::fflush(file.get()) != 0) ThrowErrno();
    if (std::fclose(file.release()) != 0) ThrowErrno();
    std::error_code ec;
    std::filesystem::rename(temporary, path, ec);
    if (ec) ThrowSystemError(ec);
  } catch (...) {
    file.reset();
    std::error_code ignored;
    std::filesystem::remove(temporary, ignored);
    throw;
  }
}

}  // namespace romscriber
