#include "cli/command_line.h"

#include <QDir>

namespace koron {

StartRequest ReadCommandLine(int, char**) {
  StartRequest start;
  start.openWindow = true;
  start.folder = QDir::currentPath();
  return start;
}

}  // namespace koron
