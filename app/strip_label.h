#pragma once

#include <QLabel>

namespace koron {

// A caption-less label that reports double-clicks and nothing else.
class StripLabel : public QLabel {
  Q_OBJECT

 public:
  explicit StripLabel(QWidget* parent = nullptr);

 signals:
  void doubleClicked();

 protected:
  void mouseDoubleClickEvent(QMouseEvent* event) override;
};

}  // namespace koron
