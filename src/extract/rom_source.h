// Byte sources for the extraction run: a ROM file on disk, or bytes in memory.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "base/file_io.h"
#include "extract/host.h"

namespace romscriber {

// Length in bytes of the ROM at `path`, opened read-only and closed again.
// Never creates a file. AppError 53, 70, 75 or 76 when it cannot be opened.
std::int64_t MeasureRom(const std::filesystem::path& path);

// A ROM file held open read-only for one run. Its length is taken when it is
// opened; a file that gets shorter during the run fails the read with 62.
class FileByteSource : public ByteSource {
 public:
  explicit FileByteSource(const std::filesystem::path& path);
  std::int64_t Size() const override { return m_size; }
  void ReadAt(std::int64_t offset, std::span<std::uint8_t> out) override;

 private:
  FileHandle m_file;
  std::int64_t m_size = 0;
};

class MemoryByteSource : public ByteSource {
 public:
  explicit MemoryByteSource(std::vector<std::uint8_t> bytes) : m_bytes(std::move(bytes)) {}
  explicit MemoryByteSource(const std::string& bytes) : m_bytes(bytes.begin(), bytes.end()) {}
  std::int64_t Size() const override { return static_cast<std::int64_t>(m_bytes.size()); }
  void ReadAt(std::int64_t offset, std::span<std::uint8_t> out) override;
  std::span<const std::uint8_t> Whole() const override { return m_bytes; }

 private:
  std::vector<std::uint8_t> m_bytes;
};

}  // namespace romscriber
