// The studio's icon, drawn in code: a page of text with a pen over it, at
// the sizes a desktop asks for.
#pragma once

#include <QIcon>
#include <QImage>
#include <QList>

namespace romscriber::studio {

inline const QList<int> kStudioIconSizes = {16, 24, 32, 48, 64, 128, 256};

QImage DrawStudioIcon(int size);
QIcon MakeStudioIcon();

}  // namespace romscriber::studio
