#include "extract/rom_source.h"

#include <cerrno>
#include <cstring>

#include "base/app_error.h"

namespace romscriber {

std::int64_t MeasureRom(const std::filesystem::path& path) {
  FileHandle file = OpenForReading(path);
  return FileLength(file.get());
}

FileByteSource::FileByteSource(const std::filesystem::path& path) : m_file(OpenForReading(path)) {
  // The run reads in large chunks of its own; a stdio buffer would only hide
  // a file that changes underneath.
  std::setvbuf(m_file.get(), nullptr, _IONBF, 0);
  m_size = FileLength(m_file.get());
}

void FileByteSource::ReadAt(std::int64_t offset, std::span<std::uint8_t> out) {
  errno = 0;
  if (std::fseek(m_file.get(), static_cast<long>(offset), SEEK_SET) != 0) ThrowErrno();
  const std::size_t got = std::fread(out.data(), 1, out.size(), m_file.get());
  if (got == out.size()) return;
  if (std::ferror(m_file.get())) ThrowErrno();
  throw AppError(kErrPastEndOfFile);  // the file is shorter than when it was opened
}

void MemoryByteSource::ReadAt(std::int64_t offset, std::span<std::uint8_t> out) {
  if (offset < 0 || offset + static_cast<std::int64_t>(out.size()) > Size()) {
    throw AppError(kErrPastEndOfFile);
  }
  if (out.empty()) return;
  std::memcpy(out.data(), m_bytes.data() + offset, out.size());
}

}  // namespace romscriber
