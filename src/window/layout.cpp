#include "window/layout.h"

#include <algorithm>

namespace romscriber {

QRect PlaceOnScreen(const QRect& wanted, const QRect& available) {
  QRect placed = wanted;
  if (placed.right() > available.right()) placed.moveRight(available.right());
  if (placed.bottom() > available.bottom()) placed.moveBottom(available.bottom());
  // The top-left corner wins when the window is larger than the screen.
  if (placed.left() < available.left()) placed.moveLeft(available.left());
  if (placed.top() < available.top()) placed.moveTop(available.top());
  return placed;
}

}  // namespace romscriber
