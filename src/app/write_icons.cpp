// Writes the program's icon as PNG files, one folder per size, for the
// desktop entry: write_icons OUTPUT_FOLDER
#include <QDir>
#include <cstdio>

#include "window/app_icon.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "uso: %s CARPETA\n", argv[0]);
    return 2;
  }
  const QString folder = QString::fromLocal8Bit(argv[1]);
  for (int size : romscriber::kIconSizes) {
    const QString sub = folder + QStringLiteral("/") + QString::number(size);
    if (!QDir().mkpath(sub) ||
        !romscriber::DrawIcon(size).save(sub + QStringLiteral("/romscriber.png"), "PNG")) {
      std::fprintf(stderr, "No se pudo escribir el icono de %d px\n", size);
      return 1;
    }
  }
  return 0;
}
