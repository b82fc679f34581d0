#include "extract/script_files.h"

#include <cerrno>
#include <cstdio>
#include <system_error>

#include "base/app_error.h"
#include "base/file_io.h"

namespace romscriber {

std::filesystem::path ScriptsFolder(const std::filesystem::path& programFolder) {
  return programFolder / "Scripts";
}

bool FileExists(const std::filesystem::path& path) {
  std::error_code ec;
  const auto status = std::filesystem::status(path, ec);
  return !ec && std::filesystem::exists(status);
}

void EnsureScriptsFolder(const std::filesystem::path& programFolder) {
  const std::filesystem::path folder = ScriptsFolder(programFolder);
  if (FileExists(folder)) return;
  std::error_code ec;
  std::filesystem::create_directory(folder, ec);
  if (ec) ThrowSystemError(ec, true);
}

void WriteScript(const std::filesystem::path& folder, std::string_view name,
                 std::string_view text) {
  // Written under a temporary name and renamed into place, so that a write
  // that fails part-way never leaves a cut script under its final name.
  const std::filesystem::path path = folder / (std::string(name) + ".txt");
  std::filesystem::path temporary = path;
  temporary += ".tmp";
  errno = 0;
  FileHandle file(std::fopen(temporary.c_str(), "wb"));
  if (!file) ThrowErrno(true);
  try {
    const bool written = std::fwrite(text.data(), 1, text.size(), file.get()) == text.size() &&
                         std::fwrite("\r\n", 1, 2, file.get()) == 2 && std::fflush(file.get()) == 0;
    if (!written) ThrowErrno();
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

void FolderScriptSink::WriteScript(std::string_view name, std::string_view text) {
  romscriber::WriteScript(m_folder, name, text);
}

}  // namespace romscriber
