#include "window/app_icon.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace romscriber {

QImage DrawIcon(int size) {
  QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  p.scale(size / 128.0, size / 128.0);                // drawn on a 128-unit square
  const qreal pen = size <= 24 ? 128.0 / size : 3.0;  // at least one pixel wide

  const QColor crust(176, 104, 40);
  const QColor crustDark(120, 66, 22);
  const QColor crumb(246, 222, 168);

  // The loaf: a long domed body, lying on the left two thirds.
  QPainterPath loaf;
  loaf.moveTo(8, 100);
  loaf.lineTo(8, 62);
  loaf.cubicTo(8, 34, 30, 26, 50, 26);
  loaf.lineTo(72, 26);
  loaf.cubicTo(90, 26, 96, 40, 96, 58);
  loaf.lineTo(96, 100);
  loaf.closeSubpath();
  p.setPen(QPen(crustDark, pen));
  p.setBrush(crust);
  p.drawPath(loaf);
  // Scores across the top crust.
  p.setPen(QPen(crustDark, pen, Qt::SolidLine, Qt::RoundCap));
  for (int i = 0; i < 3; ++i)
    p.drawLine(QPointF(26 + i * 20, 44), QPointF(38 + i * 20, 34));

  // Two cut slices standing at the right end, showing their crumb.
  for (int i = 0; i < 2; ++i) {
    const qreal x = 92 + i * 13;
    QPainterPath slice;
    slice.moveTo(x, 104);
    slice.lineTo(x, 66);
    slice.cubicTo(x, 54, x + 11, 54, x + 11, 66);
    slice.lineTo(x + 11, 104);
    slice.closeSubpath();
    p.setPen(QPen(crust, pen * 1.4));
    p.setBrush(crumb);
    p.drawPath(slice);
  }

  // The knife: a steel blade and a dark handle, laid slanting across the front.
  p.save();
  p.translate(36, 116);
  p.rotate(-20);
  QPainterPath blade;
  blade.moveTo(0, -5);
  blade.lineTo(66, -5);
  blade.cubicTo(78, -5, 82, 0, 80, 2);
  blade.lineTo(0, 5);
  blade.closeSubpath();
  p.setPen(QPen(QColor(90, 96, 104), pen));
  p.setBrush(QColor(208, 214, 222));
  p.drawPath(blade);
  p.setPen(QPen(QColor(40, 24, 12), pen));
  p.setBrush(QColor(70, 40, 20));
  p.drawRoundedRect(QRectF(-30, -6, 30, 12), 4, 4);
  p.restore();
  p.end();
  return image;
}

QIcon MakeAppIcon() {
  QIcon icon;
  for (int size : kIconSizes)
    icon.addPixmap(QPixmap::fromImage(DrawIcon(size)));
  return icon;
}

}  // namespace romscriber
