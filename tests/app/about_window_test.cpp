// The about window: opened by a double-click on the strip only, modal, centred, closed by Escape
// or its close command, and gone once closed.
#include <QLabel>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QtTest>

#include "app/application_setup.h"
#include "app/form1.h"
#include "app/form2.h"
#include "app/strip_label.h"
#include "tests/app/app_test_support.h"

using koron::Form1;
using koron::Form2;

namespace {

// What the about window looked like while it was open.
struct Seen {
  bool open = false;
  bool modal = false;
  QString title;
  QPoint centre;
  QSize size;
  QWidget* owner = nullptr;
  bool closed = false;
  bool blocksOwner = false;
  QList<QRect> images;
  QList<QSize> imageSizes;
  bool imagesTakeNoInput = true;
  Qt::WindowFlags flags;
};

// Inspects the about window once the modal loop runs, then closes it with Escape or with its
// close command.
void InspectAndCloseWhenShown(Form1* form, Seen* seen, bool byEscape) {
  QTimer::singleShot(0, form, [form, seen, byEscape] {
    auto* about = qobject_cast<Form2*>(QApplication::activeModalWidget());
    if (about == nullptr) {
      QTimer::singleShot(
          10, form, [form, seen, byEscape] { InspectAndCloseWhenShown(form, seen, byEscape); });
      return;
    }
    seen->open = about->isVisible();
    seen->modal = about->isModal();
    seen->title = about->windowTitle();
    seen->centre = about->geometry().center();
    seen->size = about->size();
    seen->owner = about->parentWidget();
    seen->flags = about->windowFlags();
    for (QLabel* image : about->Image1) {
      seen->images.append(image->geometry());
      seen->imageSizes.append(image->pixmap().size());
      seen->imagesTakeNoInput = seen->imagesTakeNoInput &&
                                image->testAttribute(Qt::WA_TransparentForMouseEvents) &&
                                image->focusPolicy() == Qt::NoFocus;
    }
    seen->blocksOwner = QApplication::activeModalWidget() == about;
    if (byEscape) {
      QTest::keyClick(about, Qt::Key_Escape);
    } else {
      about->close();
    }
    seen->closed = !about->isVisible();
  });
}

}  // namespace

class AboutWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { koron::SetUpApplication(); }
  void init() {
    scratch_ = std::make_unique<koron::test::ScratchDirectory>();
    QVERIFY(scratch_->IsValid());
  }
  void cleanup() { scratch_.reset(); }

  void opensModalAndCentredEachTime_data() {
    QTest::addColumn<QPoint>("formPosition");
    QTest::addColumn<QPoint>("clickAt");  // within the strip

    QTest::newRow("middle of the strip") << QPoint(100, 80) << QPoint(4, 140);
    QTest::newRow("on the line itself") << QPoint(40, 200) << QPoint(4, 10);
    QTest::newRow("strip's edges") << QPoint(150, 150) << QPoint(0, 280);
  }

  void opensModalAndCentredEachTime() {
    QFETCH(QPoint, formPosition);
    QFETCH(QPoint, clickAt);

    Form1 form;
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    form.move(formPosition);
    QTRY_COMPARE(form.pos(), formPosition);

    for (int time = 0; time < 2; ++time) {
      Seen seen;
      InspectAndCloseWhenShown(&form, &seen, /*byEscape=*/time == 0);
      QTest::mouseDClick(form.Label2, Qt::LeftButton, {}, clickAt);

      QVERIFY(seen.open);
      QVERIFY(seen.modal);
      QVERIFY(seen.blocksOwner);
      QCOMPARE(seen.title, QString::fromUtf16(u"\u304A\u307E\u3051"));
      QCOMPARE(seen.owner, &form);
      QCOMPARE(seen.size, QSize(601, 368));
      QVERIFY((seen.centre - form.geometry().center()).manhattanLength() <= 2);
      QVERIFY(seen.flags.testFlag(Qt::WindowCloseButtonHint));
      QVERIFY(!seen.flags.testFlag(Qt::WindowMinimizeButtonHint));
      QVERIFY(!seen.flags.testFlag(Qt::WindowMaximizeButtonHint));
      QVERIFY(seen.closed);
      QCOMPARE(seen.images, QList<QRect>({QRect(8, 8, 288, 352), QRect(304, 8, 288, 352)}));
      QCOMPARE(seen.imageSizes, QList<QSize>({QSize(288, 352), QSize(288, 352)}));
      QVERIFY(seen.imagesTakeNoInput);
      // Closed means gone.
      QVERIFY(form.findChildren<Form2*>().isEmpty());

      form.move(formPosition + QPoint(30, 20));  // and centred again on the next opening
      QTRY_COMPARE(form.pos(), formPosition + QPoint(30, 20));
      formPosition += QPoint(30, 20);
    }
  }

  void aboutWindowIsFixed() {
    Form1 form;
    Form2 about(&form);
    QCOMPARE(about.minimumSize(), QSize(601, 368));
    QCOMPARE(about.maximumSize(), QSize(601, 368));
    QVERIFY(!about.windowIcon().isNull());
    QCOMPARE(about.windowIcon().availableSizes(), form.windowIcon().availableSizes());
  }

  void otherClicksOpenNothing_data() {
    QTest::addColumn<QString>("target");
    QTest::addColumn<bool>("doubleClick");

    QTest::newRow("single click on the strip") << "Label2" << false;
    QTest::newRow("double-click on a caption") << "Label1_1" << true;
    QTest::newRow("double-click on the background") << "Form1" << true;
  }

  void otherClicksOpenNothing() {
    QFETCH(QString, target);
    QFETCH(bool, doubleClick);

    Form1 form;
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QWidget* widget = target == QLatin1String("Form1") ? &form : form.findChild<QWidget*>(target);
    QVERIFY(widget != nullptr);
    // Should a window open anyway, close it so that the test fails instead of hanging.
    bool opened = false;
    QTimer::singleShot(50, &form, [&opened] {
      if (QWidget* modal = QApplication::activeModalWidget()) {
        opened = true;
        modal->close();
      }
    });
    const QPoint at = widget == &form ? QPoint(200, 250) : QPoint(2, 2);
    if (doubleClick) {
      QTest::mouseDClick(widget, Qt::LeftButton, {}, at);
    } else {
      QTest::mouseClick(widget, Qt::LeftButton, {}, at);
    }
    QTest::qWait(100);
    QVERIFY(!opened);
    QVERIFY(form.findChildren<Form2*>().isEmpty());
  }

 private:
  std::unique_ptr<koron::test::ScratchDirectory> scratch_;
};

QTEST_MAIN(AboutWindowTest)
#include "about_window_test.moc"
