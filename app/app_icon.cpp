#include "app/app_icon.h"

#include <QImage>
#include <QPixmap>

#include "app/app_icon_pixels.h"

namespace koron {

QIcon AppIcon() {
  // Built from pixels compiled into the program: reading the PNG files would load every image
  // format plugin at start-up just to find the one built into Qt.
  QIcon icon;
  for (int i = 0; i < kIconPixelsCount; ++i) {
    const IconPixels& pixels = kIconPixels[i];
    const QImage image(reinterpret_cast<const uchar*>(pixels.argb), pixels.size, pixels.size,
                       pixels.size * 4, QImage::Format_ARGB32);
    icon.addPixmap(QPixmap::fromImage(image));
  }
  return icon;
}

}  // namespace koron
