#include "app/balloon.h"

#include <QApplication>
#include <QEvent>
#include <QLocale>
#include <QTimer>
#include <QToolTip>
#include <QWidget>

namespace koron {
namespace {

constexpr int kBalloonMilliseconds = 10'000;
constexpr int kLongestWaitForReturn = 1'000;

// Shows its balloon once the anchor's window is active again, or when the wait runs out.
class BalloonOnReturn : public QObject {
 public:
  BalloonOnReturn(QWidget* anchor, QString text)
      : QObject(anchor), anchor_(anchor), text_(std::move(text)) {
    QWidget* window = anchor->window();
    if (window->isActiveWindow() && QApplication::activeModalWidget() == nullptr) {
      QTimer::singleShot(0, this, &BalloonOnReturn::Show);
    } else {
      window->installEventFilter(this);
      QTimer::singleShot(kLongestWaitForReturn, this, &BalloonOnReturn::Show);
    }
  }

  bool eventFilter(QObject* watched, QEvent* event) override {
    // After the activation itself, whose focus change comes in the same pass.
    if (event->type() == QEvent::WindowActivate) {
      QTimer::singleShot(0, this, &BalloonOnReturn::Show);
    }
    return QObject::eventFilter(watched, event);
  }

 private:
  void Show() {
    if (shown_) return;
    shown_ = true;
    ShowBalloon(anchor_, text_);
    deleteLater();
  }

  QWidget* anchor_;
  QString text_;
  bool shown_ = false;
};

}  // namespace

void ShowBalloon(QWidget* anchor, const QString& text) {
  const QPoint below = anchor->mapToGlobal(QPoint(anchor->width() / 2, anchor->height()));
  // Hidden first, so that the same words shown twice still show again where they belong.
  QToolTip::hideText();
  QToolTip::showText(below, text, anchor, QRect(), kBalloonMilliseconds);
}

void ShowBalloonOnReturn(QWidget* anchor, const QString& text) {
  new BalloonOnReturn(anchor, text);  // owned by the anchor; deletes itself once shown
}

QString GroupedNumber(unsigned long long value) {
  return QLocale(QLocale::English).toString(value);
}

}  // namespace koron
