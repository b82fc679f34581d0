#include "window/work_folder.h"

#include <unistd.h>

#include <QCoreApplication>
#include <QFile>
#include <QStandardPaths>
#include <system_error>

namespace romscriber {

namespace {

std::filesystem::path ToPath(const QString& name) {
  return std::filesystem::path(QFile::encodeName(name).toStdString());
}

}  // namespace

bool IsInstalledFolder(const std::filesystem::path& programFolder,
                       const std::filesystem::path& installBinFolder) {
  std::error_code ec;
  if (!installBinFolder.empty() && std::filesystem::equivalent(programFolder, installBinFolder, ec))
    return true;
  return ::access(programFolder.c_str(), W_OK) != 0;
}

std::filesystem::path ChooseWorkFolder(const std::filesystem::path& programFolder,
                                       const std::filesystem::path& installBinFolder,
                                       const std::filesystem::path& documentsFolder) {
  if (documentsFolder.empty() || !IsInstalledFolder(programFolder, installBinFolder))
    return programFolder;
  const std::filesystem::path folder = documentsFolder / "Romscriber";
  std::error_code ec;
  std::filesystem::create_directories(folder, ec);
  return folder;
}

std::filesystem::path ProgramWorkFolder(const std::filesystem::path& installBinFolder) {
  return ChooseWorkFolder(
      ToPath(QCoreApplication::applicationDirPath()), installBinFolder,
      ToPath(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation)));
}

}  // namespace romscriber
