#include "app/strip_label.h"

#include <QMouseEvent>

namespace koron {

StripLabel::StripLabel(QWidget* parent) : QLabel(parent) {}

void StripLabel::mouseDoubleClickEvent(QMouseEvent* event) {
  if (event->button() == Qt::LeftButton) {
    event->accept();
    emit doubleClicked();
    return;
  }
  QLabel::mouseDoubleClickEvent(event);
}

}  // namespace koron
