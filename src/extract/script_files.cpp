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

namespace {

// A script's file: its name and ".txt"; the text, then CR LF.
std::string FileNameOf(std::string_view name) {
  std::string file(name);
  file += ".txt";
  return file;
}
constexpr std::string_view kLineEnd = "\r\n";

}  // namespace

void WriteScript(const std::filesystem::path& folder, std::string_view name,
                 std::string_view text) {
  WriteFileWhole(folder / FileNameOf(name), {text, kLineEnd});
}

void FolderScriptSink::WriteScript(std::string_view name, std::string_view text) {
  m_folder.WriteFileWhole(FileNameOf(name), {text, kLineEnd});
}

}  // namespace romscriber
