#include "app/balloon.h"

#include <QLocale>
#include <QToolTip>
#include <QWidget>

namespace koron {
namespace {

constexpr int kBalloonMilliseconds = 10'000;

}  // namespace

void ShowBalloon(QWidget* anchor, const QString& text) {
  const QPoint below = anchor->mapToGlobal(QPoint(anchor->width() / 2, anchor->height()));
  // Hidden first, so that the same words shown twice still show again where they belong.
  QToolTip::hideText();
  QToolTip::showText(below, text, anchor, QRect(), kBalloonMilliseconds);
}

QString GroupedNumber(unsigned long long value) {
  return QLocale(QLocale::English).toString(value);
}

}  // namespace koron
