#pragma once

#include <QIcon>

namespace koron {

// The tool's icon at 16 and 32 pixels, from the embedded resources.
QIcon AppIcon();

}  // namespace koron
