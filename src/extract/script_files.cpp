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
  WriteFileWhole(folder / (std::string(name) + ".txt"), {text, "\r\n"});
}

void FolderScriptSink::WriteScript(std::string_view name, std::string_view text) {
  std::string file(name);
  file += ".txt";
  m_folder.WriteFileWhole(file, {text, "\r\n"});
}

}  // namespace romscriber
