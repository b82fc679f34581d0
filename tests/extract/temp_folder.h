// Helpers shared by the tests: a fresh temporary folder removed afterwards,
// whole-file reads and writes, a folder's files, and the number of the
// AppError a call throws.
#pragma once

#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <string>

#include "base/app_error.h"

namespace romscriber::testing {

class TempFolder {
 public:
  explicit TempFolder(const std::string& suffix = "") {
    std::random_device rd;
    m_path = std::filesystem::temp_directory_path() /
             ("romscriber-" + std::to_string(rd()) + "-" + std::to_string(rd()) + suffix);
    std::filesystem::create_directories(m_path);
  }
  ~TempFolder() {
    std::error_code ec;
    std::filesystem::remove_all(m_path, ec);
  }
  TempFolder(const TempFolder&) = delete;
  TempFolder& operator=(const TempFolder&) = delete;

  const std::filesystem::path& Path() const { return m_path; }

 private:
  std::filesystem::path m_path;
};

inline std::string ReadBytes(const std::filesystem::path& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), {});
}

inline void WriteBytes(const std::filesystem::path& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary);
  out << bytes;
}

// Every file of a folder by name, with its bytes; empty when there is no
// such folder.
inline std::map<std::string, std::string> FilesIn(const std::filesystem::path& folder) {
  std::map<std::string, std::string> files;
  if (!std::filesystem::exists(folder)) return files;
  for (const auto& e : std::filesystem::directory_iterator(folder))
    files[e.path().filename().string()] = ReadBytes(e.path());
  return files;
}

// Number of the AppError that `f` throws, or 0 when it throws none.
int ErrorOf(auto&& f) {
  try {
    f();
  } catch (const AppError& e) {
    return e.Number();
  }
  return 0;
}

}  // namespace romscriber::testing
