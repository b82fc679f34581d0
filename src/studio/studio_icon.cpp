#include "studio/studio_icon.h"

#include <QPainter>
#include <QPainterPath>
#include <QPixmap>

namespace romscriber::studio {

QImage DrawStudioIcon(int size) {
  QImage image(size, size, QImage::Format_ARGB32_Premultiplied);
  image.fill(Qt::transparent);
  QPainter p(&image);
  p.setRenderHint(QPainter::Antialiasing);
  p.scale(size / 128.0, size / 128.0);  // drawn on a 128-unit square
  const qreal pen = size <= 24 ? 128.0 / size : 3.0;

  // A cartridge behind the page, for the game.
  p.setPen(QPen(QColor(40, 44, 52), pen));
  p.setBrush(QColor(88, 96, 112));
  p.drawRoundedRect(QRectF(10, 18, 64, 92), 8, 8);
  p.setBrush(QColor(150, 160, 176));
  p.drawRect(QRectF(20, 28, 44, 30));

  // The page with lines of text, original and translation.
  p.setPen(QPen(QColor(60, 60, 60), pen));
  p.setBrush(QColor(252, 250, 242));
  p.drawRoundedRect(QRectF(40, 30, 76, 90), 5, 5);
  for (int i = 0; i < 5; ++i) {
    p.setPen(QPen(i % 2 ? QColor(0, 110, 150) : QColor(120, 120, 120), pen * 1.6, Qt::SolidLine,
                  Qt::RoundCap));
    p.drawLine(QPointF(50, 46 + i * 14), QPointF(i % 2 ? 92 : 104, 46 + i * 14));
  }

  // The pen, slanting across the page's corner.
  p.save();
  p.translate(96, 92);
  p.rotate(-50);
  p.setPen(QPen(QColor(30, 30, 30), pen));
  p.setBrush(QColor(200, 40, 40));
  p.drawRoundedRect(QRectF(0, -6, 48, 12), 3, 3);
  QPainterPath nib;
  nib.moveTo(0, -6);
  nib.lineTo(-14, 0);
  nib.lineTo(0, 6);
  nib.closeSubpath();
  p.setBrush(QColor(230, 200, 120));
  p.drawPath(nib);
  p.restore();
  p.end();
  return image;
}

QIcon MakeStudioIcon() {
  QIcon icon;
  for (int size : kStudioIconSizes)
    icon.addPixmap(QPixmap::fromImage(DrawStudioIcon(size)));
  return icon;
}

}  // namespace romscriber::studio
