#pragma once

#include <QString>

class QWidget;

namespace koron {

// A quiet word at a control: a balloon just below it that says why something did not happen.
// It asks for nothing and goes away by itself.
void ShowBalloon(QWidget* anchor, const QString& text);

// The same, for a reason found just as a modal dialog closed. The window's return to activity,
// and the focus that comes with it, would hide a balloon at once, so it waits for them (a second
// at most).
void ShowBalloonOnReturn(QWidget* anchor, const QString& text);

// A count with thousands separators, as the balloons write numbers.
QString GroupedNumber(unsigned long long value);

}  // namespace koron
