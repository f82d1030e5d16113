#pragma once

#include <QFont>
#include <QString>
#include <QStringList>

namespace koron {

// The face every control asks for: "ＭＳ Ｐゴシック", the proportional Gothic that text art is
// drawn for.
QString ControlFaceName();

// The faces that stand in for it where it is missing, best match of character widths first.
QStringList ControlFaceSubstitutes();

// Registers the substitutes with Qt. Call once, after the application object exists and before
// the first window is built.
void SetUpFonts();

// The control face at `pointSize`, regular weight, no styling.
QFont ControlFont(qreal pointSize);

// The window's default font: the control face at 9 pt.
QFont WindowDefaultFont();

}  // namespace koron
