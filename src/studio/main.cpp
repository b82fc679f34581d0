// romscriber-studio [PROJECT]: the translator's window over the whole loop.
#include <QApplication>
#include <QLocale>
#include <QTranslator>
#include <cstdio>

#include "studio/dialogs.h"
#include "studio/language.h"
#include "studio/studio_icon.h"
#include "studio/studio_window.h"
#include "version.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  QCoreApplication::setApplicationName(QStringLiteral("Romscriber Studio"));
  QCoreApplication::setApplicationVersion(
      QString::fromLatin1(romscriber::kVersion.data(), romscriber::kVersion.size()));
  QGuiApplication::setDesktopFileName(QStringLiteral("romscriber-studio"));
  QGuiApplication::setWindowIcon(romscriber::studio::MakeStudioIcon());

  // The texts are written in Spanish; an English locale gets the English
  // translation, any other locale the Spanish texts.
  QTranslator studio;
  QTranslator qt;
  if (romscriber::studio::LoadTranslations(QLocale(), studio, qt)) app.installTranslator(&studio);
  if (!qt.isEmpty()) app.installTranslator(&qt);

  const QStringList args = QCoreApplication::arguments();
  if (args.contains(QStringLiteral("--help")) || args.contains(QStringLiteral("-h"))) {
    std::printf("%s\n", QCoreApplication::translate("main", "Uso: romscriber-studio [PROYECTO]").toLocal8Bit().constData());
    return 0;
  }
  if (args.contains(QStringLiteral("--version"))) {
    std::printf("%s\n", romscriber::kVersion.data());
    return 0;
  }

  romscriber::studio::DialogAsker asker;
  romscriber::studio::StudioWindow window(asker);
  window.show();
  if (args.size() > 1) window.OpenProject(args.at(1));
  return app.exec();
}
