// The main window as built: caption, frame, every control's place, kind and font, the tab chain.
#include <QCheckBox>
#include <QComboBox>
#include <QFontDatabase>
#include <QFontInfo>
#include <QFrame>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QtTest>

#include "app/application_setup.h"
#include "app/form1.h"
#include "app/strip_label.h"
#include "tests/app/app_test_support.h"

using koron::Form1;

namespace {

const QString kFace = QString::fromUtf16(u"\uFF2D\uFF33\u0020\uFF30\u30B4\u30B7\u30C3\u30AF");

// The widget that stands for the focus: an editable list's inner line edit counts as the list.
QWidget* FocusedControl() {
  QWidget* focus = QApplication::focusWidget();
  if (focus != nullptr && qobject_cast<QLineEdit*>(focus) != nullptr &&
      qobject_cast<QComboBox*>(focus->parentWidget()) != nullptr) {
    return focus->parentWidget();
  }
  return focus;
}

}  // namespace

class MainWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { koron::SetUpApplication(); }
  void init() {
    scratch_ = std::make_unique<koron::test::ScratchDirectory>();
    QVERIFY(scratch_->IsValid());
  }
  void cleanup() { scratch_.reset(); }

  void captionAndVersion() {
    Form1 form;
    QCOMPARE(form.windowTitle(),
             QString::fromUtf16(u"\uFF2B\uFF2F\uFF32\uFF2F\uFF2E \uFF21\uFF21\u4F5C\u6210  "
                                u"Ver.1.4.1"));
    QCOMPARE(QApplication::applicationVersion(), QStringLiteral("1.4.1"));
    QCOMPARE(QGuiApplication::desktopFileName(), QStringLiteral("io.github.koronaa.KoronAA"));
    QVERIFY(!form.windowIcon().isNull());
    QVERIFY(form.windowIcon().availableSizes().contains(QSize(16, 16)));
    QVERIFY(form.windowIcon().availableSizes().contains(QSize(32, 32)));
  }

  void fixedFrameWithMinimiseAndClose() {
    Form1 form;
    QCOMPARE(form.minimumSize(), QSize(603, 294));
    QCOMPARE(form.maximumSize(), QSize(603, 294));
    const Qt::WindowFlags flags = form.windowFlags();
    QVERIFY(flags.testFlag(Qt::Window));
    QVERIFY(flags.testFlag(Qt::CustomizeWindowHint));
    QVERIFY(flags.testFlag(Qt::WindowMinimizeButtonHint));
    QVERIFY(flags.testFlag(Qt::WindowCloseButtonHint));
    QVERIFY(!flags.testFlag(Qt::WindowMaximizeButtonHint));
  }

  void placeAndFont_data() {
    QTest::addColumn<int>("left");
    QTest::addColumn<int>("top");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<qreal>("pointSize");

    // Twips as laid out; 9 pt is the window's default font, for controls that set none.
    QTest::newRow("Label1_1") << 120 << 120 << 1275 << 315 << 12.0;
    QTest::newRow("Combo2") << 1440 << 120 << 735 << 345 << 11.25;
    QTest::newRow("Label1_4") << 2220 << 120 << 1275 << 315 << 12.0;
    QTest::newRow("Combo5") << 3600 << 120 << 735 << 345 << 11.25;
    QTest::newRow("Label1_5") << 2220 << 540 << 1275 << 315 << 12.0;
    QTest::newRow("Combo6") << 3600 << 540 << 735 << 345 << 11.25;
    QTest::newRow("Label1_0") << 120 << 960 << 795 << 315 << 12.0;
    QTest::newRow("Combo1") << 1440 << 960 << 1935 << 345 << 11.25;
    QTest::newRow("Check2") << 3480 << 960 << 855 << 315 << 9.0;
    QTest::newRow("Label1_2") << 120 << 1380 << 1215 << 315 << 12.0;
    QTest::newRow("Combo3") << 1440 << 1380 << 2895 << 345 << 11.25;
    QTest::newRow("Check1") << 1440 << 1800 << 1575 << 315 << 9.0;
    QTest::newRow("Command1") << 120 << 1860 << 1155 << 615 << 9.75;
    QTest::newRow("Command2") << 3180 << 1860 << 1155 << 615 << 9.75;
    QTest::newRow("TextAA") << 120 << 2580 << 4215 << 1695 << 9.0;
    QTest::newRow("Label2") << 4440 << 120 << 135 << 4215 << 9.0;
    QTest::newRow("Label1_3") << 4680 << 120 << 975 << 315 << 12.0;
    QTest::newRow("Combo4") << 5700 << 120 << 2895 << 345 << 11.25;
    QTest::newRow("Command4") << 4740 << 1860 << 1155 << 615 << 9.75;
    QTest::newRow("Command3") << 7740 << 1860 << 1155 << 615 << 9.75;
    QTest::newRow("TextAA2") << 4680 << 2580 << 4215 << 1695 << 9.0;
  }

  void placeAndFont() {
    QFETCH(int, left);
    QFETCH(int, top);
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(qreal, pointSize);

    Form1 form;
    auto* control = form.findChild<QWidget*>(QString::fromLatin1(QTest::currentDataTag()));
    QVERIFY(control != nullptr);
    QCOMPARE(control->parentWidget(), &form);
    QCOMPARE(control->geometry(), QRect(left / 15, top / 15, width / 15, height / 15));

    const QFont font = control->font();
    QCOMPARE(font.family(), kFace);
    QCOMPARE(font.pointSizeF(), pointSize);
    QCOMPARE(font.weight(), QFont::Normal);
    QVERIFY(!font.italic());
    QVERIFY(!font.underline());
    QVERIFY(!font.strikeOut());
    QVERIFY(!control->accessibleName().isEmpty());
  }

  void dividingLine() {
    Form1 form;
    QCOMPARE(form.Line1->objectName(), QStringLiteral("Line1"));
    QCOMPARE(form.Line1->geometry(), QRect(300, 8, 1, 281));
    QCOMPARE(form.Line1->frameShape(), QFrame::VLine);
    QCOMPARE(form.Line1->lineWidth(), 1);
    // The strip lies over the line, shows nothing and takes no focus.
    QCOMPARE(form.childAt(300, 100), form.Label2);
    QVERIFY(form.Label2->text().isEmpty());
    QCOMPARE(form.Label2->frameShape(), QFrame::NoFrame);
    QVERIFY(!form.Label2->autoFillBackground());
    QCOMPARE(form.Label2->focusPolicy(), Qt::NoFocus);
  }

  void facesResolveToTextArtFont_data() {
    QTest::addColumn<QString>("control");
    QTest::newRow("caption") << "Label1_1";
    QTest::newRow("list") << "Combo1";
    QTest::newRow("button") << "Command1";
    QTest::newRow("text box") << "TextAA";
  }

  void facesResolveToTextArtFont() {
    QFETCH(QString, control);
    if (!QFontDatabase::families().contains(QStringLiteral("Monapo"))) {
      QSKIP("the Monapo font is not installed");
    }
    Form1 form;
    auto* widget = form.findChild<QWidget*>(control);
    QVERIFY(widget != nullptr);
    QCOMPARE(QFontInfo(widget->font()).family(), QStringLiteral("Monapo"));
  }

  void captions() {
    Form1 form;
    const QStringList expected = {
        QString::fromUtf16(u"\u9854\u9078\u629E"),
        QString::fromUtf16(u"\u902E\u6355\u8005\u4EBA\u6570"),
        QString::fromUtf16(u"\u8FFD\u52A0\uFF21\uFF21"),
        QString::fromUtf16(u"\uFF21\uFF21\u9078\u629E"),
        QString::fromUtf16(u"\uFF0B\u004B\u004F\u0052\u004F\u004E\u661F\u738B\u5B50"),
        QString::fromUtf16(u"\uFF0B\u3069\u30FC\u3082\u541B"),
    };
    for (int i = 0; i < 6; ++i) {
      QCOMPARE(form.Label1[static_cast<std::size_t>(i)]->text(), expected[i]);
      QCOMPARE(form.Label1[static_cast<std::size_t>(i)]->objectName(),
               QStringLiteral("Label1_%1").arg(i));
    }
    // The cheering figures' caption is cut by its label's width; the tooltip shows it whole.
    QCOMPARE(form.Label1[4]->toolTip(), expected[4]);
    const QString make = QString::fromUtf16(u"AA\u4F5C\u6210");
    QCOMPARE(form.Command1->text(), make);
    QCOMPARE(form.Command4->text(), make);
    QCOMPARE(form.Command2->text(), QStringLiteral("COPY"));
    QCOMPARE(form.Command3->text(), QStringLiteral("COPY"));
    QCOMPARE(form.Check1->text(), QString::fromUtf16(u"\u8FFD\u52A0\u306E\u307F"));
    QCOMPARE(form.Check2->text(), QString::fromUtf16(u"\u8033\u4ED8\u304D"));
  }

  void textBoxesScrollAndDoNotWrap() {
    Form1 form;
    for (QPlainTextEdit* box : {form.TextAA, form.TextAA2}) {
      QCOMPARE(box->lineWrapMode(), QPlainTextEdit::NoWrap);
      QCOMPARE(box->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
      QCOMPARE(box->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
      QCOMPARE(box->maximumBlockCount(), 0);
      QVERIFY(!box->isReadOnly());
    }
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    form.TextAA->setPlainText(QString(500, QLatin1Char('x')));
    QApplication::processEvents();
    QCOMPARE(form.TextAA->document()->lineCount(), 1);
    QVERIFY(form.TextAA->horizontalScrollBar()->maximum() > 0);
  }

  // Typed text is a value, not a new item. Enter in a choice of the left half composes, in the
  // right-hand list it shows the template; Escape does nothing.
  void typingAndEnter_data() {
    QTest::addColumn<QString>("control");
    QTest::addColumn<bool>("editable");
    QTest::addColumn<int>("items");  // -1: a tick box
    QTest::addColumn<QString>("box");
    QTest::newRow("Combo2") << "Combo2" << true << 21 << "TextAA";
    QTest::newRow("Combo5") << "Combo5" << true << 11 << "TextAA";
    QTest::newRow("Combo6") << "Combo6" << true << 11 << "TextAA";
    QTest::newRow("Combo1") << "Combo1" << false << 6 << "TextAA";
    QTest::newRow("Combo3") << "Combo3" << false << 1 << "TextAA";
    QTest::newRow("Check1") << "Check1" << false << -1 << "TextAA";
    QTest::newRow("Check2") << "Check2" << false << -1 << "TextAA";
    QTest::newRow("Combo4") << "Combo4" << false << 0 << "TextAA2";
  }

  void typingAndEnter() {
    QFETCH(QString, control);
    QFETCH(bool, editable);
    QFETCH(int, items);
    QFETCH(QString, box);
    Form1 form;
    form.show();
    QVERIFY(QTest::qWaitForWindowActive(&form));
    auto* widget = form.findChild<QWidget*>(control);
    auto* combo = qobject_cast<QComboBox*>(widget);
    QVERIFY(widget != nullptr);
    QCOMPARE(combo != nullptr && combo->isEditable(), editable);
    auto* output = form.findChild<QPlainTextEdit*>(box);
    output->setPlainText(QStringLiteral("earlier"));
    widget->setFocus();
    QWidget* target = editable ? static_cast<QWidget*>(combo->lineEdit()) : widget;
    if (editable) combo->lineEdit()->selectAll();
    const QString before = combo != nullptr ? combo->currentText() : QString();
    QTest::keyClicks(target, QStringLiteral("42x"));
    QTest::keyClick(target, Qt::Key_Escape);
    QCOMPARE(output->toPlainText(), QStringLiteral("earlier"));
    QTest::keyClick(target, Qt::Key_Return);
    if (combo != nullptr) {
      QCOMPARE(combo->count(), items);
      QCOMPARE(combo->currentText(), editable ? QStringLiteral("42x") : before);
    }
    // The left half composes (42 marchers from "42x"); the empty right-hand list shows nothing.
    QVERIFY(output->toPlainText() != QStringLiteral("earlier"));
    QCOMPARE(output->toPlainText().isEmpty(), box == QLatin1String("TextAA2"));
    QVERIFY(form.isVisible());
  }

  void tabChain() {
    Form1 form;
    form.show();
    QVERIFY(QTest::qWaitForWindowActive(&form));
    QCOMPARE(FocusedControl(), form.Combo2);

    const QList<QWidget*> expected = {
        form.Combo1, form.Combo3, form.Check1,   form.Command1, form.Command2,
        form.TextAA, form.Combo4, form.Command4, form.Command3, form.TextAA2,
        form.Combo5, form.Combo6, form.Check2,   form.Combo2,
    };
    for (QWidget* next : expected) {
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
      QCOMPARE(FocusedControl(), next);
    }
    // And backwards.
    for (qsizetype i = expected.size() - 2; i >= 0; --i) {
      QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab);
      QCOMPARE(FocusedControl(), expected[i]);
    }
  }

 private:
  std::unique_ptr<koron::test::ScratchDirectory> scratch_;
};

QTEST_MAIN(MainWindowTest)
#include "main_window_test.moc"
