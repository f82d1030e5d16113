#pragma once

#include <QList>
#include <QPoint>
#include <QRect>

class QWidget;

namespace koron {

// 15 twips make one logical pixel.
constexpr int kTwipsPerPixel = 15;

// Twips to the nearest logical pixel; exact for multiples of 15.
int TwipsToPixels(int twips);

// The part of a window's frame that must lie on some screen for the user to grab it: the title
// bar, taken as this high and as wide as the frame.
constexpr int kTitleBarHeight = 24;
// At least this much of the title bar's width must be on one screen.
constexpr int kMinVisibleTitleBarWidth = 64;

// Whether a window whose frame has `frameTopLeft` and `frameWidth` shows its title bar on one of
// `screens`: the whole height of the bar and a grabbable piece of its width on one screen.
bool IsTitleBarShown(QPoint frameTopLeft, int frameWidth, const QList<QRect>& screens);

// Moves `window` to a saved position of its frame, in twips. A position no screen shows the title
// bar of (a monitor since unplugged, a hand-edited file) would leave the window out of reach: it
// is refused, and the window goes to 0, 0.
void MoveToSavedPosition(QWidget* window, int topTwips, int leftTwips);

}  // namespace koron
