// Opens a project in the studio without a screen, gives one string a
// translation as a translator would type it, and saves a picture of the
// window: romscriber_studio_shot PROJECT OUT.png [BLOCK ID TEXT]. The README's
// picture is made by it.
#include <QApplication>
#include <QTimer>
#include <cstdio>

#include "studio/dialogs.h"
#include "studio/studio_window.h"

int main(int argc, char** argv) {
  QApplication app(argc, argv);
  if (argc != 3 && argc != 6) {
    std::fprintf(stderr, "uso: %s PROYECTO SALIDA.png [BLOQUE ID TEXTO]\n", argv[0]);
    return 2;
  }
  const QString output = QString::fromLocal8Bit(argv[2]);
  const int block = argc == 6 ? std::atoi(argv[3]) : 0;
  const int id = argc == 6 ? std::atoi(argv[4]) : 1;
  const QString text = argc == 6 ? QString::fromUtf8(argv[5])
                                 : QStringLiteral("Rey:\nEl dragón se llevó a la princesa<br>\nLeonor. ¡Tráela!<fin>");
  romscriber::studio::SilentAsker asker;
  romscriber::studio::StudioWindow window(asker);
  window.resize(1180, 720);
  window.show();
  int status = 1;
  window.OpenProject(QString::fromLocal8Bit(argv[1]), [&](bool opened) {
    if (opened && window.SelectString(block, id)) {
      QWidget* editor = nullptr;
      for (QWidget* w : window.findChildren<QWidget*>())
        if (w->accessibleName() == QStringLiteral("Traducción")) editor = w;
      if (editor) {
        editor->setFocus();
        romscriber::studio::TypeText(editor, text);
      }
      QApplication::processEvents();
      status = window.grab().save(output, "PNG") ? 0 : 1;
    }
    QTimer::singleShot(0, &app, &QApplication::quit);
  });
  app.exec();
  if (status != 0) std::fprintf(stderr, "No se pudo hacer la imagen %s\n", argv[2]);
  return status;
}
