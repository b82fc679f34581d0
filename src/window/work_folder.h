// The window's work folder: the folder its open dialogs start in and that
// holds its Scripts folder.
//
//   IsInstalledFolder  whether the program runs from its installed location
//   ChooseWorkFolder   the program's own folder, or Romscriber in the documents folder
//   ProgramWorkFolder  the choice for the running program, from Qt's paths
//
// A build-tree or portable copy works in its own folder, as it always has. A
// copy installed system-wide cannot: its folder (e.g. /usr/bin) belongs to
// the system, so it works in Romscriber in the user's documents folder.
#pragma once

#include <filesystem>

namespace romscriber {

// True when `programFolder` is the install prefix's bin folder
// `installBinFolder` (the same folder, even through a symbolic link), or a
// folder the user may not write in (which could not hold Scripts either).
bool IsInstalledFolder(const std::filesystem::path& programFolder,
                       const std::filesystem::path& installBinFolder);

// `documentsFolder`/Romscriber, created when missing, for an installed
// program; `programFolder` otherwise, and also when no documents folder is
// known. A folder that cannot be created is still returned: the window
// reports the failure when it makes its Scripts folder there.
std::filesystem::path ChooseWorkFolder(const std::filesystem::path& programFolder,
                                       const std::filesystem::path& installBinFolder,
                                       const std::filesystem::path& documentsFolder);

// ChooseWorkFolder for the running program: its executable's folder and the
// user's documents folder as Qt finds them.
std::filesystem::path ProgramWorkFolder(const std::filesystem::path& installBinFolder);

}  // namespace romscriber
