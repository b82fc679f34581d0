// Writes the studio's icon as PNG files, one folder per size, for the
// desktop entry: romscriber_studio_icons OUTPUT_FOLDER
#include <QDir>
#include <QGuiApplication>
#include <cstdio>

#include "studio/studio_icon.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "uso: %s CARPETA\n", argv[0]);
    return 2;
  }
  const QString folder = QString::fromLocal8Bit(argv[1]);
  for (int size : romscriber::studio::kStudioIconSizes) {
    const QString sub = folder + QStringLiteral("/") + QString::number(size);
    if (!QDir().mkpath(sub) ||
        !romscriber::studio::DrawStudioIcon(size).save(sub + QStringLiteral("/romscriber-studio.png"), "PNG")) {
      std::fprintf(stderr, "No se pudo escribir el icono de %d px\n", size);
      return 1;
    }
  }
  return 0;
}
