#include "cli/display_check.h"

#include <QStringList>

namespace koron {
namespace {

bool IsSet(const char* value) { return value != nullptr && value[0] != '\0'; }

// Whether every platform of a list such as "xcb;wayland" (each with optional ":arguments") is
// xcb, which can only reach an X server that DISPLAY or -display names.
bool OnlyX11(const QString& platforms) {
  const QStringList entries = platforms.split(QLatin1Char(';'), Qt::SkipEmptyParts);
  if (entries.isEmpty()) return false;
  for (const QString& entry : entries) {
    if (entry.section(QLatin1Char(':'), 0, 0) != u"xcb") return false;
  }
  return true;
}

}  // namespace

QString MissingDisplay(const QString& platform, bool displayGiven, const char* qpaPlatform,
                       const char* waylandDisplay, const char* display) {
  // -platform wins over the variable, as it does in Qt.
  const QString chosen = !platform.isEmpty() ? platform : QString::fromLocal8Bit(qpaPlatform);
  if (chosen.isEmpty()) {
    if (IsSet(waylandDisplay) || IsSet(display)) return {};
    return QStringLiteral(
        "no display: neither DISPLAY nor WAYLAND_DISPLAY is set (the window needs one; --print, "
        "--show and --list need none).");
  }
  if (OnlyX11(chosen) && !IsSet(display) && !displayGiven) {
    return QStringLiteral("no X display: the platform is %1 but DISPLAY is not set.").arg(chosen);
  }
  return {};
}

}  // namespace koron
