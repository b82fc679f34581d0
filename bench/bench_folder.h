// A fresh folder under the system's temporary folder (TMPDIR picks it) for
// the benches that write files, removed on the way out however the run ends.
#pragma once

#include <cstdlib>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <system_error>

namespace romscriber::bench {

class TempFolder {
 public:
  // The folder is named `prefix` followed by a unique six-character tail.
  explicit TempFolder(const char* prefix) {
    std::string pattern = std::filesystem::temp_directory_path() / (std::string(prefix) + "-XXXXXX");
    if (!mkdtemp(pattern.data())) throw std::runtime_error("cannot create a temporary folder");
    m_path = pattern;
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

}  // namespace romscriber::bench
