#pragma once

#include <string>

namespace koron {

// The Qt platform to ask for when the user has chosen none, or empty to leave Qt's own choice.
// On a Wayland session a client cannot place its window, so the saved position would be lost;
// when X11 (XWayland) is there too, prefer it, falling back to Wayland if it cannot be reached.
// The arguments are the command line and the values of QT_QPA_PLATFORM, WAYLAND_DISPLAY and
// DISPLAY (null when unset).
std::string PreferredPlatform(int argc, const char* const* argv, const char* qpaPlatform,
                              const char* waylandDisplay, const char* display);

// Applies PreferredPlatform to this process's environment. Call before the application object
// is created.
void ApplyPreferredPlatform(int argc, const char* const* argv);

}  // namespace koron
