#include "app/app_icon.h"

namespace koron {

QIcon AppIcon() {
  QIcon icon;
  icon.addFile(QStringLiteral(":/icon-16.png"), QSize(16, 16));
  icon.addFile(QStringLiteral(":/icon-32.png"), QSize(32, 32));
  return icon;
}

}  // namespace koron
