// The buttons: composing into TextAA, showing a template in TextAA2, copying either box.
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QFileDialog>
#include <QImage>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSettings>
#include <QTextCursor>
#include <QToolTip>
#include <QtTest>

#include "app/application_setup.h"
#include "app/board_choice.h"
#include "app/box_menu.h"
#include "app/form1.h"
#include "app/text_box.h"
#include "composer/composer.h"
#include "posting/post_split.h"
#include "render/text_art.h"
#include "tests/app/app_test_support.h"

using koron::Form1;
using koron::test::WriteBytes;
namespace cp932 = koron::test::cp932;

namespace {

const QString kCrLf = QStringLiteral("\r\n");

// The policeman alone, as a press right after start-up shows him.
const QString kPoliceman =
    QString::fromUtf16(u"__[\u8B66]\r\n\u3000(\u3000 )\r\n\u3000(\u3000 )\r\n\u3000 | |\u3000");

// A template longer than any box may show: two lines of 100,000 characters.
QByteArray BigEntry() {
  const QByteArray line(100'000, 'x');
  return "[Big]\r\n" + line + "\r\n" + line + "\r\n";
}

// Entries for the composer's list: a two-line body, a Japanese name whose body is Japanese,
// and one that the test removes from the file after the window has listed it.
QByteArray FirstList() {
  return "[Cat]\r\n(=o.o=)\r\n\r\n"
         "[" +
         cp932::kNeko + "]\r\n" + cp932::kOmega + "\r\n" + cp932::kSo +
         "\r\n"
         "[Gone]\r\nsoon\r\n" +
         BigEntry();
}

// A list of animals: a name twice, the first time without a body.
QByteArray SecondList() {
  return "made by hand\r\n[Cat]\r\n(=o.o=)\r\n\r\n[Dog]\r\n[Bird]\r\n(v)\r\n[Dog]\r\nU-o-U\r\n"
         "[" +
         cp932::kNeko + "]\r\n" + cp932::kOmega + "\r\n" + BigEntry() + "[Owl]";
}

const QString kOmegaText = QString::fromUtf16(u"\uFF08\u00B4\u30FB\u03C9\u30FB\uFF40\uFF09");
const QString kSoText = QString::fromUtf16(u"\u30BD");

QString Picture(int marchers, int face, const QString& faceText, bool ears, int cheer, int sign) {
  koron::ProcessionChoices choices;
  choices.MarcherCount = marchers;
  choices.FaceIndex = static_cast<std::int16_t>(face);
  choices.FaceText = faceText.toStdU16String();
  choices.Ears = ears;
  choices.CheerCount = cheer;
  choices.SignCount = sign;
  return QString::fromStdU16String(koron::ComposePicture(choices));
}

void Type(QComboBox* combo, const QString& text) {
  combo->lineEdit()->setText(text);
  QCOMPARE(combo->currentText(), text);
}

}  // namespace

class HandlersTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { koron::SetUpApplication(); }
  void init() {
    scratch_ = std::make_unique<koron::test::ScratchDirectory>();
    QVERIFY(scratch_->IsValid());
    WriteBytes(QStringLiteral("AAList_01.txt"), FirstList());
    WriteBytes(QStringLiteral("AAList_02.txt"), SecondList());
  }
  void cleanup() { scratch_.reset(); }

  void pressRightAfterStartShowsThePoliceman() {
    Form1 form;
    QTest::mouseClick(form.Command1, Qt::LeftButton);
    QCOMPARE(koron::BoxText(form.TextAA), kPoliceman);
    QCOMPARE(kPoliceman.size(), 27);
  }

  void compose_data() {
    QTest::addColumn<QString>("marchers");
    QTest::addColumn<QString>("cheer");
    QTest::addColumn<QString>("sign");
    QTest::addColumn<int>("face");
    QTest::addColumn<bool>("ears");
    QTest::addColumn<int>("templateItem");  // index in Combo3, -1 for none
    QTest::addColumn<bool>("templateOnly");
    QTest::addColumn<int>("expectedMarchers");
    QTest::addColumn<int>("expectedCheer");
    QTest::addColumn<int>("expectedSign");
    QTest::addColumn<QString>("expectedBody");  // null: no template line at all

    const QString none;
    // Count texts: the leading number, halves to even, out of range or no number gives 0.
    QTest::newRow("2.5 marchers") << "2.5"
                                  << "0"
                                  << "0" << 0 << false << -1 << false  //
                                  << 2 << 0 << 0 << none;
    QTest::newRow("3.5 marchers") << "3.5"
                                  << "0"
                                  << "0" << 0 << false << -1 << false  //
                                  << 4 << 0 << 0 << none;
    QTest::newRow("7abc marchers") << "7abc"
                                   << "0"
                                   << "0" << 0 << false << -1 << false  //
                                   << 7 << 0 << 0 << none;
    QTest::newRow("letters") << "abc"
                             << "0"
                             << "0" << 0 << false << -1 << false  //
                             << 0 << 0 << 0 << none;
    QTest::newRow("-1 marchers") << "-1"
                                 << "0"
                                 << "0" << 0 << false << -1 << false  //
                                 << -1 << 0 << 0 << none;
    // Read as it stands, however long: nothing cuts it short.
    QTest::newRow("pasted 100,000 characters")
        << QString(99'999, QLatin1Char('0')) + QStringLiteral("5") << "0"
        << "0" << 0 << false << -1 << false << 5 << 0 << 0 << none;
    QTest::newRow("eleven nines") << "99999999999"
                                  << "0"
                                  << "0" << 0 << false << -1 << false << 0 << 0 << 0 << none;
    QTest::newRow("typed 35 beyond the items")
        << "35"
        << "0"
        << "0" << 1 << false << -1 << false << 35 << 0 << 0 << none;
    QTest::newRow("-1 cheering") << "0"
                                 << "-1"
                                 << "0" << 0 << false << -1 << false  //
                                 << 0 << -1 << 0 << none;
    QTest::newRow("2.5 sign bearers") << "0"
                                      << "0"
                                      << "2.5" << 0 << false << -1 << false  //
                                      << 0 << 0 << 2 << none;
    QTest::newRow("eleven nines cheering")
        << "1"
        << "99999999999"
        << "3" << 0 << false << -1 << false << 1 << 0 << 3 << none;
    // Every face, with and without ears, and all three rows at once.
    for (int face = 0; face < 6; ++face) {
      for (bool ears : {false, true}) {
        QTest::addRow("face %d%s", face, ears ? " with ears" : "")
            << "3"
            << "2"
            << "1" << face << ears << -1 << false << 3 << 2 << 1 << none;
      }
    }
    // Templates from the first list.
    QTest::newRow("template added") << "2"
                                    << "0"
                                    << "0" << 0 << false << 1 << false  //
                                    << 2 << 0 << 0 << QStringLiteral("(=o.o=)\r\n\r\n");
    QTest::newRow("Japanese template added")
        << "1"
        << "1"
        << "1" << 2 << true << 2 << false << 1 << 1 << 1 << kOmegaText + kCrLf + kSoText + kCrLf;
    QTest::newRow("template only") << "5"
                                   << "3"
                                   << "0" << 0 << true << 1 << true  //
                                   << 5 << 3 << 0 << QStringLiteral("(=o.o=)\r\n\r\n");
    QTest::newRow("template only without a name")
        << "5"
        << "0"
        << "0" << 0 << false << -1 << true << 5 << 0 << 0 << QString("");
    QTest::newRow("a name the file no longer holds")
        << "1"
        << "0"
        << "0" << 0 << false << 3 << false << 1 << 0 << 0 << QString("");
    QTest::newRow("template only, name no longer held")
        << "1"
        << "0"
        << "0" << 0 << false << 3 << true << 1 << 0 << 0 << QString("");
    QTest::newRow("the empty item") << "1"
                                    << "0"
                                    << "0" << 0 << false << 0 << false  //
                                    << 1 << 0 << 0 << none;
  }

  void compose() {
    QFETCH(QString, marchers);
    QFETCH(QString, cheer);
    QFETCH(QString, sign);
    QFETCH(int, face);
    QFETCH(bool, ears);
    QFETCH(int, templateItem);
    QFETCH(bool, templateOnly);
    QFETCH(int, expectedMarchers);
    QFETCH(int, expectedCheer);
    QFETCH(int, expectedSign);
    QFETCH(QString, expectedBody);

    Form1 form;
    // The list was read at load; the entry goes away afterwards.
    WriteBytes(QStringLiteral("AAList_01.txt"), FirstList().replace("[Gone]\r\nsoon\r\n", ""));
    Type(form.Combo2, marchers);
    Type(form.Combo5, cheer);
    Type(form.Combo6, sign);
    form.Combo1->setCurrentIndex(face);
    form.Check2->setChecked(ears);
    form.Combo3->setCurrentIndex(templateItem);
    form.Check1->setChecked(templateOnly);
    form.TextAA->setPlainText(QStringLiteral("earlier text"));

    QTest::mouseClick(form.Command1, Qt::LeftButton);

    const QString picture = Picture(expectedMarchers, face, form.Combo1->currentText(), ears,
                                    expectedCheer, expectedSign);
    QString expected;
    if (templateOnly) {
      expected = expectedBody;
    } else {
      expected = picture;
      if (!expectedBody.isNull()) expected += kCrLf + kCrLf + expectedBody;
    }
    QCOMPARE(koron::BoxText(form.TextAA), expected);
    QVERIFY(!picture.isEmpty());
    // Pressing again with the same choices gives the same text.
    QTest::mouseClick(form.Command1, Qt::LeftButton);
    QCOMPARE(koron::BoxText(form.TextAA), expected);
  }

  // A picture too long to show is not composed: the box keeps what it held, unless only the
  // template was asked for.
  void hugeCount_data() {
    QTest::addColumn<QString>("control");
    QTest::addColumn<int>("templateItem");
    QTest::addColumn<bool>("templateOnly");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<QString>("balloon");  // what the balloon at the button says; empty: none

    const QString earlier = QStringLiteral("earlier\r\ntext\r\n");
    // The picture's length and the limit, as the balloon writes them.
    const QString longPicture = QStringLiteral(": 34,896,609,289 ");
    QTest::newRow("marchers") << "Combo2" << -1 << false << earlier << longPicture;
    QTest::newRow("cheering figures") << "Combo5" << -1 << false << earlier << ": 31,138,512,908 ";
    QTest::newRow("sign bearers") << "Combo6" << -1 << false << earlier << ": 17,179,869,204 ";
    QTest::newRow("with a template") << "Combo2" << 1 << false << earlier << longPicture;
    QTest::newRow("template only") << "Combo2" << 1 << true << "(=o.o=)\r\n\r\n" << QString();
    // However short the picture, a template longer than the limit is refused too.
    QTest::newRow("long template") << "" << 4 << false << earlier << "200,000";
    QTest::newRow("long template only") << "" << 4 << true << earlier << "200,000";
  }

  void hugeCount() {
    QFETCH(QString, control);
    QFETCH(int, templateItem);
    QFETCH(bool, templateOnly);
    QFETCH(QString, expected);
    QFETCH(QString, balloon);

    Form1 form;
    form.TextAA->setPlainText(QStringLiteral("earlier\r\ntext\r\n"));
    if (!control.isEmpty()) {
      Type(form.findChild<QComboBox*>(control), QStringLiteral("2147483647"));
    }
    form.Combo3->setCurrentIndex(templateItem);
    form.Check1->setChecked(templateOnly);
    QToolTip::hideText();
    QTest::mouseClick(form.Command1, Qt::LeftButton);
    QCOMPARE(koron::BoxText(form.TextAA), expected);
    QCOMPARE(QToolTip::isVisible(), !balloon.isEmpty());
    if (!balloon.isEmpty()) {
      QVERIFY2(QToolTip::text().contains(balloon), qPrintable(QToolTip::text()));
      QVERIFY(QToolTip::text().contains(QStringLiteral("200,000")));
    }
  }

  void longestPictureStillShown() {
    // The largest marcher count whose picture stays within the limit is shown; one more is not.
    koron::ProcessionChoices choices;
    choices.FaceText = u"('\uFF21`)";
    std::int32_t low = 0;
    std::int32_t high = 1 << 30;
    while (low < high) {
      const std::int32_t mid = low + (high - low + 1) / 2;
      choices.MarcherCount = mid;
      if (koron::PictureLength(choices) <= koron::kMaxPictureLength) {
        low = mid;
      } else {
        high = mid - 1;
      }
    }
    Form1 form;
    Type(form.Combo2, QString::number(low + 1));
    form.TextAA->setPlainText(QStringLiteral("earlier"));
    QTest::mouseClick(form.Command1, Qt::LeftButton);
    QCOMPARE(koron::BoxText(form.TextAA), QStringLiteral("earlier"));

    Type(form.Combo2, QString::number(low));
    QTest::mouseClick(form.Command1, Qt::LeftButton);
    choices.MarcherCount = low;
    QCOMPARE(static_cast<std::uint64_t>(form.TextAA->document()->characterCount() - 1),
             koron::PictureLength(choices) - 3);  // each CR LF is one block break

    // With a template added the text would pass the limit: refused, the picture stays.
    const int blocks = form.TextAA->blockCount();
    form.Combo3->setCurrentIndex(1);
    QTest::mouseClick(form.Command1, Qt::LeftButton);
    QCOMPARE(form.TextAA->blockCount(), blocks);
    QVERIFY(QToolTip::isVisible());
  }

  void showTemplate_data() {
    QTest::addColumn<int>("item");  // index in Combo4, -1 for none
    QTest::addColumn<QString>("expected");

    QTest::newRow("none chosen") << -1 << "";
    QTest::newRow("Cat") << 0 << "(=o.o=)\r\n\r\n";
    // Found by name: both Dog items show the second Dog, the first having no body.
    QTest::newRow("first Dog") << 1 << "U-o-U\r\n";
    QTest::newRow("second Dog") << 3 << "U-o-U\r\n";
    QTest::newRow("Bird") << 2 << "(v)\r\n";
    QTest::newRow("Japanese") << 4 << kOmegaText + kCrLf;
    QTest::newRow("header as last line") << 6 << "";
    // Longer than the box may show: refused, and the box keeps the user's text.
    QTest::newRow("too long") << 5 << "user's edits";
  }

  void showTemplate() {
    QFETCH(int, item);
    QFETCH(QString, expected);

    Form1 form;
    QCOMPARE(form.Combo4->count(), 7);
    QToolTip::hideText();
    form.Combo4->setCurrentIndex(item);
    form.TextAA->setPlainText(QStringLiteral("picture"));
    form.TextAA2->setPlainText(QStringLiteral("user's edits"));
    QTest::mouseClick(form.Command4, Qt::LeftButton);
    QCOMPARE(koron::BoxText(form.TextAA2), expected);
    // Only a refusal says something.
    QCOMPARE(QToolTip::isVisible(), item == 5);
    if (item == 5) QVERIFY(QToolTip::text().contains(QStringLiteral("200,000")));
    // Nothing else changes.
    QCOMPARE(koron::BoxText(form.TextAA), QStringLiteral("picture"));
    QCOMPARE(form.Combo4->currentIndex(), item);
  }

  void showTemplateReadsTheFileAfresh() {
    Form1 form;
    form.Combo4->setCurrentIndex(0);
    WriteBytes(QStringLiteral("AAList_02.txt"), "[Cat]\r\nnew cat\r\n");
    QTest::mouseClick(form.Command4, Qt::LeftButton);
    QCOMPARE(koron::BoxText(form.TextAA2), QStringLiteral("new cat\r\n"));

    QVERIFY(QFile::remove(QStringLiteral("AAList_02.txt")));
    QTest::mouseClick(form.Command4, Qt::LeftButton);
    QCOMPARE(koron::BoxText(form.TextAA2), QString());
  }

  // The copy gives back every character the template holds, separators and line feeds inside a
  // line included, also after the user has edited the box; only the box's own line breaks (and
  // a Shift+Enter typed in it) come out as CR LF.
  void templateCharactersSurviveTheCopy_data() {
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("body");
    QTest::addColumn<int>("blocks");  // as the box shows it
    QTest::addColumn<int>("caret");   // where the user types, just after a stand-in

    QTest::newRow("line feed inside a line")
        << QByteArray("[T]\r\n/\\\n\\/\r\nend\r\n") << "/\\\n\\/\r\nend\r\n"
        << 3 << 3;
    QTest::newRow("separators and noncharacters")
        << QByteArray(
               "\xEF\xBB\xBF[T]\r\na\xE2\x80\xA8"
               "b\xE2\x80\xA9"
               "c\xEF\xB7\x90\r\n")
        << QString::fromUtf16(u"a\u2028b\u2029c\uFDD0\r\n") << 2 << 4;
    // Thousands of them on one line are laid out once, not once each.
    const QByteArray many = QByteArray("a\n").repeated(4000);
    QTest::newRow("thousands of line feeds in one line")
        << QByteArray("[T]\r\n" + many + "\r\n") << QString::fromLatin1(many + "\r\n") << 2 << 2;
  }

  void templateCharactersSurviveTheCopy() {
    QFETCH(QByteArray, file);
    QFETCH(QString, body);
    QFETCH(int, blocks);
    QFETCH(int, caret);
    WriteBytes(QStringLiteral("AAList_02.txt"), file);
    Form1 form;
    form.show();  // a shown box lays its text out
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    form.Combo4->setCurrentIndex(0);
    QTest::mouseClick(form.Command4, Qt::LeftButton);
    QTest::mouseClick(form.Command3, Qt::LeftButton);
    QCOMPARE(QGuiApplication::clipboard()->text(), body);
    QCOMPARE(form.TextAA2->blockCount(), blocks);

    // What the user types keeps its own meaning, also right after a stand-in.
    QTextCursor at = form.TextAA2->textCursor();
    at.setPosition(caret);
    form.TextAA2->setTextCursor(at);
    QTest::keyClicks(form.TextAA2, QStringLiteral("!"));
    QTest::keyClick(form.TextAA2, Qt::Key_Return, Qt::ShiftModifier);
    form.TextAA2->moveCursor(QTextCursor::End);
    QTest::keyClicks(form.TextAA2, QStringLiteral("?"));
    QTest::mouseClick(form.Command3, Qt::LeftButton);
    QCOMPARE(QGuiApplication::clipboard()->text(),
             QString(body).insert(caret, QStringLiteral("!\r\n")) + QStringLiteral("?"));
  }

  void copy_data() {
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("text");      // put into the button's box
    QTest::addColumn<QString>("expected");  // on the clipboard

    QTest::newRow("picture with CR LF") << "Command2" << kPoliceman << kPoliceman;
    QTest::newRow("trailing line break kept") << "Command3"
                                              << "(=o.o=)\r\n\r\n"
                                              << "(=o.o=)\r\n\r\n";
    QTest::newRow("line feeds become CR LF") << "Command2"
                                             << "a\nb\n"
                                             << "a\r\nb\r\n";
    QTest::newRow("empty box") << "Command2"
                               << ""
                               << "";
    QTest::newRow("empty template box") << "Command3"
                                        << ""
                                        << "";
    QTest::newRow("blanks and no-break spaces kept")
        << "Command3" << QString::fromUtf16(u" a\u00A0\u3000\t \r\n")
        << QString::fromUtf16(u" a\u00A0\u3000\t \r\n");
    QTest::newRow("full and half width kept")
        << "Command2" << kOmegaText + QString::fromUtf16(u"\uFF9F")
        << kOmegaText + QString::fromUtf16(u"\uFF9F");
  }

  void copy() {
    QFETCH(QString, button);
    QFETCH(QString, text);
    QFETCH(QString, expected);

    Form1 form;
    auto* own = button == QLatin1String("Command2") ? form.TextAA : form.TextAA2;
    auto* other = own == form.TextAA ? form.TextAA2 : form.TextAA;
    own->setPlainText(text);
    other->setPlainText(QStringLiteral("the other box"));

    // Something else on the clipboard first, in more than one format.
    auto* earlier = new QMimeData;
    earlier->setHtml(QStringLiteral("<b>earlier</b>"));
    earlier->setText(QStringLiteral("earlier"));
    earlier->setData(QStringLiteral("application/x-earlier"), "x");
    QGuiApplication::clipboard()->setMimeData(earlier);

    QTest::mouseClick(form.findChild<QPushButton*>(button), Qt::LeftButton);

    const QMimeData* data = QGuiApplication::clipboard()->mimeData();
    QVERIFY(data != nullptr);
    QCOMPARE(data->formats(), QStringList({QStringLiteral("text/plain")}));
    QCOMPARE(QGuiApplication::clipboard()->text(), expected);
  }

  // Each box's context menu: the standard entries in Japanese, a readout of the widest line and
  // the Shift_JIS bytes against the board's budget, a Shift_JIS copy, saving as a picture, and
  // opening the library window.
  void contextMenu_data() {
    QTest::addColumn<QString>("box");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("readout");  // what the first line says, after its width
    QTest::addColumn<QString>("copied");   // by "Shift_JIS でコピー"

    QTest::newRow("references for what Shift_JIS lacks")
        << "TextAA" << QString::fromUtf16(u"\u00E9\u2665\r\n\u2200\uFF5E\U0001F600")
        << QStringLiteral("ドット　28 / 4,096 バイト")
        << QString::fromUtf16(u"&#233;&#9829;\r\n\u2200\uFF5E&#128512;");
    QTest::newRow("over the board's count only")
        << "TextAA" << QString(1100, QLatin1Char('<'))
        << QStringLiteral(
               "ドット　1,100 / 4,096 バイト（掲示板の数え方では 4,400 バイト、超過）　ずれ 1 か所")
        << QString(1100, QLatin1Char('<'));
    QTest::newRow("over the budget")
        << "TextAA2" << QString(5000, QLatin1Char('a'))
        << QStringLiteral("ドット　5,000 / 4,096 バイト（超過）　ずれ 1 か所")
        << QString(5000, QLatin1Char('a'));
  }

  void contextMenu() {
    QFETCH(QString, box);
    QFETCH(QString, text);
    QFETCH(QString, readout);
    QFETCH(QString, copied);
    Form1 form;
    auto* edit = form.findChild<QPlainTextEdit*>(box);
    koron::SetBoxText(edit, text.toStdU16String());
    std::unique_ptr<QMenu> menu(koron::CreateBoxMenu(edit, form.folder(), QPoint(5, 5)));
    const QList<QAction*> actions = menu->actions();

    QCOMPARE(actions.first()->objectName(), QStringLiteral("readout"));
    QVERIFY2(actions.first()->text().endsWith(readout), qPrintable(actions.first()->text()));
    QVERIFY(!actions.first()->isEnabled());
    QCOMPARE(actions.first()->icon().isNull(), !readout.contains(QStringLiteral("超過")));
    auto* standard = menu->findChild<QAction*>(QStringLiteral("select-all"));
    QVERIFY(standard != nullptr);
    QVERIFY2(standard->text().startsWith(QStringLiteral("すべてを選択")),
             qPrintable(standard->text()));

    // The main window's own entry comes last, after a separator.
    QCOMPARE(actions.last()->objectName(), QStringLiteral("openLibrary"));
    QCOMPARE(actions.last()->text(), QStringLiteral("ＡＡ庫を開く"));
    QVERIFY(actions[actions.size() - 2]->isSeparator());
    QCOMPARE(actions[actions.size() - 3]->menu()->objectName(), QStringLiteral("boards"));
    QVERIFY(actions[actions.size() - 4]->isSeparator());
    QAction* save = actions[actions.size() - 5];
    QCOMPARE(save->objectName(), QStringLiteral("saveImage"));
    QCOMPARE(save->text(), QStringLiteral("画像として保存…"));
    QCOMPARE(actions[actions.size() - 6]->objectName(), QStringLiteral("fixSpacing"));
    QCOMPARE(actions[actions.size() - 7]->objectName(), QStringLiteral("copySplit"));
    QAction* copy = actions[actions.size() - 8];
    QCOMPARE(copy->text(), QStringLiteral("Shift_JIS でコピー"));
    copy->trigger();
    QCOMPARE(QGuiApplication::clipboard()->text(), copied);
    QCOMPARE(koron::BoxText(edit), text);  // the box keeps its own text
  }

  // "掲示板向けに空白を整える" rewrites the blanks the board would drop in place, as one undo
  // step, and says where a width could not be kept.
  void fixSpacing_data() {
    QTest::addColumn<bool>("referencesPass");
    QTest::addColumn<QString>("fixed");
    QTest::addColumn<bool>("balloon");
    QTest::newRow("thin spaces pass")
        << true << QString::fromUtf16(u"\u2004a\u2007b\r\n\u3000 c") << false;
    QTest::newRow("references lost")
        << false << QString::fromUtf16(u"a\u3000b\r\n\u3000 c") << true;
  }
  void fixSpacing() {
    QFETCH(bool, referencesPass);
    QFETCH(QString, fixed);
    QFETCH(bool, balloon);
    Form1 form;
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    const QString text = QStringLiteral(" a  b\r\n\u3000 c");
    koron::SetBoxText(form.TextAA, text.toStdU16String());
    koron::BoardProfile board;
    board.referencesPass = referencesPass;
    QToolTip::hideText();
    const std::vector<koron::SpacingMiss> misses = koron::FixBoxSpacing(form.TextAA, board);
    QCOMPARE(koron::BoxText(form.TextAA), fixed);
    QCOMPARE(!misses.empty(), balloon);
    form.TextAA->undo();
    QCOMPARE(koron::BoxText(form.TextAA), text);
  }

  // The boxes' 掲示板 submenu offers the built-in board and those made of a SETTING.TXT; the one
  // chosen is kept and sets the readout's budget and count of problems; 分割してコピー copies the
  // parts that fit it in turn, and starts again when the text changes.
  void boardsAndSplit() {
    koron::test::WriteBytes(QStringLiteral("SETTING.TXT"),
                            "BBS_TITLE=tiny\r\nBBS_MESSAGE_COUNT=16\r\nBBS_LINE_NUMBER=1\r\n"
                            "BBS_UNICODE=change\r\n");
    QCOMPARE(koron::AdoptBoardSettings(QStringLiteral("SETTING.TXT")), QString());
    QCOMPARE(koron::ChosenBoard().name, "tiny");
    Form1 form;
    const std::u16string text = u"aaaa\r\nbbbb\r\n\r\ncc  c\r\n";
    koron::SetBoxText(form.TextAA, text);
    const auto menu = [&] {
      return std::unique_ptr<QMenu>(koron::CreateBoxMenu(form.TextAA, form.folder(), QPoint()));
    };
    std::unique_ptr<QMenu> first = menu();
    const QString readout = first->actions().first()->text();
    QVERIFY2(readout.contains(QStringLiteral("/ 16 バイト")) &&
                 readout.endsWith(QStringLiteral("ずれ 3 か所")),
             qPrintable(readout));
    QStringList boards;
    for (QAction* action : first->findChild<QMenu*>(QStringLiteral("boards"))->actions()) {
      if (action->isCheckable()) boards << action->text() + (action->isChecked() ? "*" : "");
    }
    QCOMPARE(boards, (QStringList{"5ch（4,096 バイト・60 行）", "tiny（16 バイト・2 行）*"}));

    const koron::PostSplit split = koron::SplitPost(text, koron::ChosenBoard());
    QCOMPARE(split.parts.size(), 2u);  // cut at the blank line
    for (const int part : {0, 1, 0}) {
      const std::unique_ptr<QMenu> again = menu();
      QAction* copy = again->findChild<QAction*>(QStringLiteral("copySplit"));
      QCOMPARE(copy->text(), QStringLiteral("分割してコピー（%1 / 2）").arg(part + 1));
      copy->trigger();
      QCOMPARE(QGuiApplication::clipboard()->text(),
               QString::fromStdU16String(std::u16string(split.parts[part])));
      QVERIFY(menu()->actions().first()->text().endsWith(
          QStringLiteral("　分割 %1 / 2").arg(part + 1)));
    }
    form.TextAA->appendPlainText(QStringLiteral("d"));
    QVERIFY(menu()
                ->findChild<QAction*>(QStringLiteral("copySplit"))
                ->text()
                .startsWith(QStringLiteral("分割してコピー（1 / ")));

    // A line over the limit on its own is a part by itself, and the balloon says so.
    koron::SetBoxText(form.TextAA, std::u16string(20, u'x'));
    QToolTip::hideText();
    menu()->findChild<QAction*>(QStringLiteral("copySplit"))->trigger();
    QTRY_VERIFY(QToolTip::isVisible());
    QVERIFY2(QToolTip::text().contains(QStringLiteral("上限を超えています")),
             qPrintable(QToolTip::text()));

    first->findChild<QMenu*>(QStringLiteral("boards"))->actions().first()->trigger();
    QCOMPARE(koron::ChosenBoard().name, "5ch");
    QCOMPARE(QSettings(koron::SettingsPath(), QSettings::IniFormat).value("Board/name"),
             QVariant(QStringLiteral("5ch")));
  }

  // "画像として保存…" offers koron-aa.png in the working folder and writes the picture there; a
  // picture it cannot write leaves no file and a balloon at the box that says why.
  void saveAsImage_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("balloon");  // empty: saved
    QTest::newRow("saved") << QString::fromUtf16(u"__[\u8B66]\r\n\u3000(\u3000 )") << QString();
    QTest::newRow("too wide") << QString(100'000, QChar(0x3000))
                              << QString::fromUtf16(u"画像が大きすぎます: 1,100,016 × 34 ピクセル");
  }

  void saveAsImage() {
    QFETCH(QString, text);
    QFETCH(QString, balloon);
    Form1 form;
    koron::SetBoxText(form.TextAA, text.toStdU16String());
    form.show();
    QVERIFY(QTest::qWaitForWindowActive(&form));
    std::unique_ptr<QMenu> menu(koron::CreateBoxMenu(form.TextAA, form.folder(), QPoint()));
    QString offered;
    QTimer::singleShot(0, &form, [&offered] {
      auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
      if (dialog == nullptr) return;
      offered = dialog->selectedFiles().value(0);
      static_cast<QDialog*>(dialog)->accept();
    });
    QToolTip::hideText();
    menu->findChild<QAction*>(QStringLiteral("saveImage"))->trigger();
    form.activateWindow();  // as the desktop does when the dialog has gone
    const QString expected = QDir(form.folder()).filePath(QStringLiteral("koron-aa.png"));
    QCOMPARE(offered, expected);
    QCOMPARE(QFileInfo::exists(expected), balloon.isEmpty());
    if (balloon.isEmpty()) {
      QCOMPARE(QImage(expected).size(), koron::TextArtImageSize(text.toStdU16String()));
      QTest::qWait(50);
      QVERIFY(!QToolTip::isVisible());
    } else {
      QTRY_VERIFY(QToolTip::isVisible());
      QVERIFY2(QToolTip::text().contains(balloon), qPrintable(QToolTip::text()));
      QTest::qWait(50);
      QVERIFY(QToolTip::isVisible());  // the return to the window did not take it away
    }
  }

  void copyTakesTheUsersEdits() {
    Form1 form;
    QTest::mouseClick(form.Command1, Qt::LeftButton);
    form.TextAA->moveCursor(QTextCursor::End);
    form.TextAA->insertPlainText(QStringLiteral("\nmore"));
    QTest::mouseClick(form.Command2, Qt::LeftButton);
    QCOMPARE(QGuiApplication::clipboard()->text(), kPoliceman + QStringLiteral("\r\nmore"));
  }

 private:
  std::unique_ptr<koron::test::ScratchDirectory> scratch_;
};

QTEST_MAIN(HandlersTest)
#include "handlers_test.moc"
