#pragma once

#include <QString>

class QWidget;

namespace koron {

// A quiet word at a control: a balloon just below it that says why something did not happen.
// It asks for nothing and goes away by itself.
void ShowBalloon(QWidget* anchor, const QString& text);

// A count with thousands separators, as the balloons write numbers.
QString GroupedNumber(unsigned long long value);

}  // namespace koron
