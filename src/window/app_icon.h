// The program's icon, drawn in code: a loaf of bread with cut slices and a
// knife, at 16, 24, 32, 48, 64, 72, 96 and 128 pixels.
#pragma once

#include <QIcon>
#include <QImage>
#include <QList>

namespace romscriber {

inline const QList<int> kIconSizes = {16, 24, 32, 48, 64, 72, 96, 128};

QImage DrawIcon(int size);
QIcon MakeAppIcon();

}  // namespace romscriber
