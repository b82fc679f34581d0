// Measures of the window: positions and sizes are given in twips (1/1440
// inch), 15 to a pixel at 96 dpi; Qt scales pixels on denser screens.
#pragma once

#include <QRect>

namespace romscriber {

constexpr int Px(int twips) {
  return (twips * 2 + 15) / 30;
}  // rounded to the nearest pixel

inline QRect TwipsRect(int left, int top, int width, int height) {
  return QRect(Px(left), Px(top), Px(width), Px(height));
}

// Where the window's client area opens on the screen.
inline constexpr int kWindowLeft = 10725;
inline constexpr int kWindowTop = 1590;
inline constexpr int kClientWidth = 1575;
inline constexpr int kClientHeight = 8280;

// `wanted` moved just enough to lie inside `available` (as far as it fits);
// unchanged when it already does.
QRect PlaceOnScreen(const QRect& wanted, const QRect& available);

}  // namespace romscriber
