#include "app/platform_choice.h"

#include <QByteArray>
#include <cstdlib>
#include <cstring>

namespace koron {
namespace {

bool IsSet(const char* value) { return value != nullptr && value[0] != '\0'; }

bool HasPlatformArgument(int argc, const char* const* argv) {
  for (int i = 1; i < argc; ++i) {
    const char* arg = argv[i];
    if (arg == nullptr) continue;
    // Qt takes "-platform" and "--platform".
    if (std::strcmp(arg, "-platform") == 0 || std::strcmp(arg, "--platform") == 0) return true;
  }
  return false;
}

}  // namespace

std::string PreferredPlatform(int argc, const char* const* argv, const char* qpaPlatform,
                              const char* waylandDisplay, const char* display) {
  if (IsSet(qpaPlatform) || HasPlatformArgument(argc, argv)) return {};
  if (!IsSet(waylandDisplay) || !IsSet(display)) return {};
  return "xcb;wayland";
}

void ApplyPreferredPlatform(int argc, const char* const* argv) {
  const std::string platform =
      PreferredPlatform(argc, argv, std::getenv("QT_QPA_PLATFORM"), std::getenv("WAYLAND_DISPLAY"),
                        std::getenv("DISPLAY"));
  if (!platform.empty()) qputenv("QT_QPA_PLATFORM", QByteArray::fromStdString(platform));
}

}  // namespace koron
