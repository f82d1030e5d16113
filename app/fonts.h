#pragma once

#include <QFont>
#include <QString>
#include <QStringList>
#include <thread>

namespace koron {

// The face every control asks for: "ＭＳ Ｐゴシック", the proportional Gothic that text art is
// drawn for.
QString ControlFaceName();

// The faces that stand in for it where it is missing, best match of character widths first.
QStringList ControlFaceSubstitutes();

// Registers the substitutes with Qt. Call once, after the application object exists and before
// the first window is built.
void SetUpFonts();

// The control face at `pointSize`, regular weight, no styling.
QFont ControlFont(qreal pointSize);

// The window's default font: the control face at 9 pt.
QFont WindowDefaultFont();

// Loads the system's font configuration on a thread of its own. Qt loads it when the first text
// is laid out, which for the main window is while its controls are built: the largest single
// cost of start-up. Begun before the application object is made, the loading overlaps the
// connection to the display, and Qt then finds it loaded. Without a thread to spare, or without
// fontconfig, nothing happens here and Qt loads it as before.
class FontConfigWarmUp {
 public:
  FontConfigWarmUp() noexcept;
  ~FontConfigWarmUp();
  FontConfigWarmUp(const FontConfigWarmUp&) = delete;
  FontConfigWarmUp& operator=(const FontConfigWarmUp&) = delete;

  // Waits until the configuration is loaded. Call before the first window is built: loading it
  // twice at once would only double the work.
  void Wait() noexcept;

 private:
  std::thread thread_;
};

}  // namespace koron
