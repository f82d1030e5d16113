#pragma once

#include <QString>

namespace koron {

// Why the window could not open, or empty when a display or a platform is at hand. Qt would
// abort the program instead of failing. `platform` is the -platform argument (empty when not
// given), `displayGiven` whether -display was and `displayArgument` its value; the rest are the
// values of QT_QPA_PLATFORM, WAYLAND_DISPLAY and DISPLAY (null when unset). When the platform
// can only be xcb, the X server is tried as Qt would reach it.
QString MissingDisplay(const QString& platform, bool displayGiven, const QString& displayArgument,
                       const char* qpaPlatform, const char* waylandDisplay, const char* display);

}  // namespace koron
