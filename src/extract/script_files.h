// Script files: one `<name>.txt` per script in the `Scripts` folder inside
// the program's folder, holding the script's bytes unchanged and CR LF.
#pragma once

#include <filesystem>
#include <string>

#include "base/file_io.h"
#include "extract/host.h"

namespace romscriber {

// `programFolder` / "Scripts".
std::filesystem::path ScriptsFolder(const std::filesystem::path& programFolder);

// True when a file or a folder exists under `path`; false on any failure.
bool FileExists(const std::filesystem::path& path);

// Creates the Scripts folder (one level) in `programFolder` unless something
// already exists under its name. AppError when it cannot be created.
void EnsureScriptsFolder(const std::filesystem::path& programFolder);

// Writes `text` and CR LF as `folder`/`name`.txt, replacing a file of that
// name; the file appears whole or not at all. AppError (61 disk full, 70 permission denied, 76 path
// not found, 75 other failures) when it cannot be written.
void WriteScript(const std::filesystem::path& folder, std::string_view name, std::string_view text);

// Writes each script of a run into one folder.
class FolderScriptSink : public ScriptSink {
 public:
  explicit FolderScriptSink(std::filesystem::path folder) : m_folder(std::move(folder)) {}
  void WriteScript(std::string_view name, std::string_view text) override;

 private:
  FolderWriter m_folder;
};

}  // namespace romscriber
