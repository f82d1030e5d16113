#pragma once

#include <QString>

namespace koron {

// Why the window could not open, or empty when a display or a platform is at hand. Qt would
// abort the program instead of failing. `platform` is the -platform argument (empty when not
// given) and `displayGiven` whether -display was; the rest are the values of QT_QPA_PLATFORM,
// WAYLAND_DISPLAY and DISPLAY (null when unset).
QString MissingDisplay(const QString& platform, bool displayGiven, const char* qpaPlatform,
                       const char* waylandDisplay, const char* display);

}  // namespace koron
