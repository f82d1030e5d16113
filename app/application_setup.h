#pragma once

namespace koron {

// Names, version, fonts and icon of the application. Call once, right after the application
// object is created and before the main window is built.
void SetUpApplication();

}  // namespace koron
