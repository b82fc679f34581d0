// Romscriber: the window program.
#include <QApplication>
#include <QFile>
#include <filesystem>

#include "version.h"
#include "window/app_icon.h"
#include "window/frm_main.h"
#include "window/services.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QCoreApplication::setApplicationName(QStringLiteral("Romscriber"));
  QCoreApplication::setApplicationVersion(
      QString::fromLatin1(romscriber::kVersion.data(), romscriber::kVersion.size()));
  QGuiApplication::setDesktopFileName(QStringLiteral("romscriber"));
  QGuiApplication::setWindowIcon(romscriber::MakeAppIcon());

  // The dialogs open in the program's own folder, and the Scripts folder
  // goes there, wherever the program was started from.
  const std::filesystem::path programFolder(
      QFile::encodeName(QCoreApplication::applicationDirPath()).toStdString());

  romscriber::QtFileDialog dialog;
  romscriber::QtBeeper beeper;
  romscriber::frmMain window(programFolder, dialog, beeper);
  dialog.SetParent(&window);
  QObject::connect(&window, &romscriber::frmMain::Closed, &app, &QCoreApplication::quit);
  window.show();
  return app.exec();
}
