// Romscriber: the window program.
#include <QApplication>
#include <filesystem>

#include "version.h"
#include "window/app_icon.h"
#include "window/frm_main.h"
#include "window/services.h"
#include "window/work_folder.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QCoreApplication::setApplicationName(QStringLiteral("Romscriber"));
  QCoreApplication::setApplicationVersion(
      QString::fromLatin1(romscriber::kVersion.data(), romscriber::kVersion.size()));
  QGuiApplication::setDesktopFileName(QStringLiteral("romscriber"));
  QGuiApplication::setWindowIcon(romscriber::MakeAppIcon());

  // The dialogs open in the work folder and the Scripts folder goes there:
  // the program's own folder, wherever it was started from, or, installed
  // system-wide, Romscriber in the user's documents folder.
  const std::filesystem::path programFolder =
      romscriber::ProgramWorkFolder(ROMSCRIBER_INSTALL_BINDIR);

  romscriber::QtFileDialog dialog;
  romscriber::QtBeeper beeper;
  romscriber::frmMain window(programFolder, dialog, beeper);
  dialog.SetParent(&window);
  QObject::connect(&window, &romscriber::frmMain::Closed, &app, &QCoreApplication::quit);
  window.show();
  return app.exec();
}
