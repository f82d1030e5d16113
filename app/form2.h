#pragma once

#include <QDialog>
#include <array>

class QLabel;

namespace koron {

// The about window: two photographs side by side, nothing to press; Escape or the close
// command dismisses it.
class Form2 : public QDialog {
  Q_OBJECT

 public:
  explicit Form2(QWidget* owner);

  std::array<QLabel*, 2> Image1{};
};

}  // namespace koron
