#include "cli/display_check.h"

#include <xcb/xcb.h>

#include <QByteArray>
#include <QFile>
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

// Why the X server that xcb would use cannot be reached, or empty when it answers. Qt's xcb
// platform takes -display over DISPLAY.
QString UnreachableXServer(bool displayGiven, const QString& displayArgument, const char* display) {
  const QByteArray name = displayGiven ? QFile::encodeName(displayArgument) : QByteArray(display);
  xcb_connection_t* connection = xcb_connect(name.isEmpty() ? nullptr : name.constData(), nullptr);
  const bool failed = xcb_connection_has_error(connection) != 0;
  xcb_disconnect(connection);
  if (!failed) return {};
  return QStringLiteral("no X display: cannot connect to '%1' (%2).")
      .arg(QFile::decodeName(name), displayGiven ? u"-display" : u"DISPLAY");
}

}  // namespace

QString MissingDisplay(const QString& platform, bool displayGiven, const QString& displayArgument,
                       const char* qpaPlatform, const char* waylandDisplay, const char* display) {
  // -platform wins over the variable, as it does in Qt.
  const QString chosen = !platform.isEmpty() ? platform : QString::fromLocal8Bit(qpaPlatform);
  if (chosen.isEmpty()) {
    if (!IsSet(waylandDisplay) && !IsSet(display)) {
      return QStringLiteral(
          "no display: neither DISPLAY nor WAYLAND_DISPLAY is set (the window needs one; "
          "--print, --show and --list need none).");
    }
    // With Wayland at hand Qt can do without X.
    if (IsSet(waylandDisplay)) return {};
  } else if (!OnlyX11(chosen)) {
    return {};
  } else if (!IsSet(display) && !displayGiven) {
    return QStringLiteral("no X display: the platform is %1 but DISPLAY is not set.").arg(chosen);
  }
  return UnreachableXServer(displayGiven, displayArgument, display);
}

}  // namespace koron
