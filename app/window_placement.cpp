#include "app/window_placement.h"

#include <QGuiApplication>
#include <QScreen>
#include <QWidget>
#include <algorithm>
#include <cmath>

namespace koron {

int TwipsToPixels(int twips) {
  return static_cast<int>(std::lround(static_cast<double>(twips) / kTwipsPerPixel));
}

bool IsTitleBarShown(QPoint frameTopLeft, int frameWidth, const QList<QRect>& screens) {
  const QRect bar(frameTopLeft, QSize(frameWidth, kTitleBarHeight));
  const int neededWidth = std::min(frameWidth, kMinVisibleTitleBarWidth);
  for (const QRect& screen : screens) {
    const QRect shown = bar.intersected(screen);
    if (shown.height() >= kTitleBarHeight && shown.width() >= neededWidth) return true;
  }
  return false;
}

void MoveToSavedPosition(QWidget* window, int topTwips, int leftTwips) {
  QPoint target(TwipsToPixels(leftTwips), TwipsToPixels(topTwips));
  QList<QRect> screens;
  for (const QScreen* screen : QGuiApplication::screens()) screens.append(screen->geometry());
  if (!IsTitleBarShown(target, window->frameGeometry().width(), screens)) target = QPoint(0, 0);
  window->move(target);
}

}  // namespace koron
