// What the window holds once it has loaded, from the files in its working directory, and the
// position file it reads at load and writes at unload.
#include <fcntl.h>
#include <sys/stat.h>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QPlainTextEdit>
#include <QScreen>
#include <QTimer>
#include <QtTest>

#include <cstdio>
#include <ctime>

#include "app/application_setup.h"
#include "app/form1.h"
#include "tests/app/app_test_support.h"

using koron::Form1;
using koron::test::ReadBytes;
using koron::test::WriteBytes;
namespace cp932 = koron::test::cp932;

namespace {

QStringList Items(const QComboBox* combo) {
  QStringList items;
  for (int i = 0; i < combo->count(); ++i) items.append(combo->itemText(i));
  return items;
}

QStringList Numbers(int last) {
  QStringList numbers;
  for (int i = 0; i <= last; ++i) numbers.append(QString::number(i));
  return numbers;
}

// Headers of the first list: names in Japanese, a duplicate, an empty name, a name with blanks,
// and lines that only look like headers.
QByteArray FirstList() {
  return "made by hand\r\n"
         "[" +
         cp932::kNeko + "]\r\n" + cp932::kOmega +
         "\r\n"
         "[Dog]\r\n"
         " [not a header]\r\n"
         "[" +
         cp932::kSo +
         "]\r\nx\r\n"
         "[]\r\n"
         "[Dog]\r\nU-o-U\r\n"
         "[ a ]\r\n"
         "[half\r\n";
}

QStringList FirstListNames() {
  return {QString::fromUtf16(u"\u306D\u3053"),
          QStringLiteral("Dog"),
          QString::fromUtf16(u"\u30BD"),
          QString(),
          QStringLiteral("Dog"),
          QStringLiteral(" a ")};
}

QByteArray SecondList() { return "[Cat]\r\n(=o.o=)\r\n[" + cp932::kInu + "]\r\nU-o-U\r\n[Owl]"; }

QStringList SecondListNames() {
  return {QStringLiteral("Cat"), QString::fromUtf16(u"\u72AC"), QStringLiteral("Owl")};
}

// Sets the file's modification time to a whole second, as a filesystem keeping no finer
// times would.
bool SetModified(const char* name, std::time_t second) {
  const timespec times[2] = {{second, 0}, {second, 0}};
  return ::utimensat(AT_FDCWD, name, times, 0) == 0;
}

const QByteArray kNoFile = "<none>";
const QByteArray kDirectory = "<directory>";

// Puts a list file, a directory in its place, or nothing, into the working directory.
void Place(const QString& name, const QByteArray& content) {
  if (content == kDirectory) {
    QDir().mkdir(name);
  } else if (content != kNoFile) {
    WriteBytes(name, content);
  }
}

}  // namespace

class LoadSequenceTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { koron::SetUpApplication(); }
  void init() {
    scratch_ = std::make_unique<koron::test::ScratchDirectory>();
    QVERIFY(scratch_->IsValid());
  }
  void cleanup() { scratch_.reset(); }

  void fixedListsAndEmptyBoxes() {
    Form1 form;
    QCOMPARE(
        Items(form.Combo1),
        QStringList({QString::fromUtf16(u"('\uFF21`)"),
                     QString::fromUtf16(u"(\uFF9F\u0414\uFF9F) \u30B8\u30E7\u30F3"),
                     QString::fromUtf16(u"(\uFF9F\u03C9\uFF9F) \u30B8\u30E7\u30BD"),
                     QString::fromUtf16(u"(\uFF9F\u2200\uFF9F) \u30ED\u30D3\u30F3\u30BD\u30F3"),
                     QString::fromUtf16(u"(\uFF9F\u30FC\uFF9F) \u30DE\u30B7\u30E5\u30FC"),
                     QString::fromUtf16(u"('\u2200`) \uFF1F\uFF1F\uFF1F")}));
    QCOMPARE(form.Combo1->currentIndex(), 0);
    QCOMPARE(Items(form.Combo2), Numbers(20));
    QCOMPARE(Items(form.Combo5), Numbers(10));
    QCOMPARE(Items(form.Combo6), Numbers(10));
    for (QComboBox* count : {form.Combo2, form.Combo5, form.Combo6}) {
      QCOMPARE(count->currentIndex(), 0);
      QCOMPARE(count->currentText(), QStringLiteral("0"));
    }
    QVERIFY(!form.Check1->isChecked());
    QVERIFY(!form.Check2->isChecked());
    QVERIFY(form.TextAA->toPlainText().isEmpty());
    QVERIFY(form.TextAA2->toPlainText().isEmpty());
  }

  // A list that stays empty says in grey which file it looked for, where, and why it is empty.
  void templateLists_data() {
    QTest::addColumn<QByteArray>("first");
    QTest::addColumn<QByteArray>("second");
    QTest::addColumn<QStringList>("firstNames");
    QTest::addColumn<QStringList>("secondNames");
    QTest::addColumn<QString>("firstPlaceholder");  // %1 stands for the folder
    QTest::addColumn<QString>("secondPlaceholder");

    const QString missing1 = QString::fromUtf16(u"AAList_01.txt がありません（フォルダ: %1）");
    const QString missing2 = QString::fromUtf16(u"AAList_02.txt がありません（フォルダ: %1）");
    QTest::newRow("both files") << FirstList() << SecondList() << FirstListNames()
                                << SecondListNames() << QString() << QString();
    QTest::newRow("neither file") << kNoFile << kNoFile << QStringList() << QStringList()
                                  << missing1 << missing2;
    QTest::newRow("only the first")
        << FirstList() << kNoFile << FirstListNames() << QStringList() << QString() << missing2;
    QTest::newRow("only the second")
        << kNoFile << SecondList() << QStringList() << SecondListNames() << missing1 << QString();
    QTest::newRow("a folder in the way, a file without names")
        << kDirectory << QByteArray("a note, no header\r\n") << QStringList() << QStringList()
        << QString::fromUtf16(u"AAList_01.txt を読めません（フォルダ: %1）")
        << QString::fromUtf16(u"AAList_02.txt に名前がありません（フォルダ: %1）");
  }

  void templateLists() {
    QFETCH(QByteArray, first);
    QFETCH(QByteArray, second);
    QFETCH(QStringList, firstNames);
    QFETCH(QStringList, secondNames);
    QFETCH(QString, firstPlaceholder);
    QFETCH(QString, secondPlaceholder);
    Place(QStringLiteral("AAList_01.txt"), first);
    Place(QStringLiteral("AAList_02.txt"), second);

    Form1 form;
    QCOMPARE(Items(form.Combo3), QStringList({QString()}) + firstNames);
    QCOMPARE(form.Combo3->currentIndex(), -1);
    QCOMPARE(form.Combo3->currentText(), QString());
    QCOMPARE(Items(form.Combo4), secondNames);
    QCOMPARE(form.Combo4->currentIndex(), -1);
    QCOMPARE(form.Combo4->currentText(), QString());
    const QString folder = QDir::currentPath();
    QCOMPARE(form.Combo3->placeholderText(),
             firstPlaceholder.isEmpty() ? QString() : firstPlaceholder.arg(folder));
    QCOMPARE(form.Combo4->placeholderText(),
             secondPlaceholder.isEmpty() ? QString() : secondPlaceholder.arg(folder));
    QCOMPARE(form.Combo4->toolTip(), form.Combo4->placeholderText());
    // The lists are filled whatever the template files hold.
    QCOMPARE(form.Combo2->count(), 21);
  }

  // The lists follow their files while the window is open, however an editor saves them, and a
  // chosen name that is still listed stays chosen.
  void listsFollowTheirFiles_data() {
    QTest::addColumn<QString>("how");
    QTest::newRow("rewritten in place") << "rewrite";
    QTest::newRow("replaced by a rename") << "rename";
    QTest::newRow("removed, then created") << "remove";
    // The old file lives on while something holds it open; later writes go to the new one.
    QTest::newRow("replaced while held open, then written") << "held";
    // As on a filesystem that keeps whole seconds: the rewrite leaves size and time as they were.
    QTest::newRow("rewritten at the same size within the second") << "same second";
  }

  void listsFollowTheirFiles() {
    QFETCH(QString, how);
    const bool sameSecond = how == QLatin1String("same second");
    const std::time_t second = std::time(nullptr);
    WriteBytes(QStringLiteral("AAList_01.txt"), sameSecond
                                                    ? "[Cat]\r\nc\r\n[Dog]\r\nd\r\n[Emus]\r\ne\r\n"
                                                    : "[Cat]\r\nc\r\n[Dog]\r\nd\r\n");
    if (sameSecond) QVERIFY(SetModified("AAList_01.txt", second));
    WriteBytes(QStringLiteral("AAList_02.txt"), "[Owl]\r\no\r\n");
    Form1 form;
    form.Combo3->setCurrentIndex(2);
    QFile held(QStringLiteral("AAList_01.txt"));
    if (how == QLatin1String("held")) QVERIFY(held.open(QIODevice::ReadOnly));
    const QByteArray changed = "[Bird]\r\nb\r\n[Cat]\r\nc\r\n[Dog]\r\nd\r\n";
    if (how == QLatin1String("rewrite")) {
      WriteBytes(QStringLiteral("AAList_01.txt"), changed);
    } else if (sameSecond) {
      WriteBytes(QStringLiteral("AAList_01.txt"), changed);
      QVERIFY(SetModified("AAList_01.txt", second));
    } else if (how == QLatin1String("rename") || how == QLatin1String("held")) {
      WriteBytes(QStringLiteral(".AAList_01.txt.new"), changed);
      QCOMPARE(::rename(".AAList_01.txt.new", "AAList_01.txt"), 0);
      if (how == QLatin1String("held")) {
        QTRY_COMPARE(form.Combo3->count(), 4);
        WriteBytes(QStringLiteral("AAList_01.txt"), changed + "[Eel]\r\ne\r\n");
        QTRY_COMPARE(form.Combo3->count(), 5);
        QVERIFY(held.isOpen());
        QCOMPARE(form.Combo3->itemText(4), QStringLiteral("Eel"));
      }
    } else {
      QVERIFY(QFile::remove(QStringLiteral("AAList_01.txt")));
      QTRY_COMPARE(Items(form.Combo3), QStringList({QString()}));
      QCOMPARE(form.Combo3->currentIndex(), -1);
      WriteBytes(QStringLiteral("AAList_01.txt"), changed);
    }
    QTRY_COMPARE(Items(form.Combo3).mid(0, 4), QStringList({QString(), "Bird", "Cat", "Dog"}));
    QCOMPARE(form.Combo3->currentText(), how == QLatin1String("remove") ? QString() : "Dog");
    QVERIFY(form.Combo3->placeholderText().isEmpty());
    QCOMPARE(Items(form.Combo4), QStringList({"Owl"}));
  }

  // The lists follow their folder by its name: one moved away and made anew holds the lists.
  void listsFollowTheirFolder_data() {
    QTest::addColumn<bool>("listsAtOnce");
    QTest::newRow("replaced by a folder with new lists") << true;
    QTest::newRow("replaced by an empty folder, lists put in later") << false;
  }

  void listsFollowTheirFolder() {
    QFETCH(bool, listsAtOnce);
    QVERIFY(QDir().mkdir(QStringLiteral("w")));
    WriteBytes(QStringLiteral("w/AAList_01.txt"), "[Cat]\r\nc\r\n");
    WriteBytes(QStringLiteral("w/AAList_02.txt"), "[Owl]\r\no\r\n");
    const QString folder = QDir().absoluteFilePath(QStringLiteral("w"));
    Form1 form(folder);
    QCOMPARE(Items(form.Combo4), QStringList({"Owl"}));

    QVERIFY(QDir().rename(QStringLiteral("w"), QStringLiteral("w_old")));
    QVERIFY(QDir().mkdir(QStringLiteral("w")));
    if (!listsAtOnce) {
      QTRY_COMPARE(Items(form.Combo3), QStringList({QString()}));
      QTRY_COMPARE(Items(form.Combo4), QStringList());
      QCOMPARE(form.Combo4->placeholderText(),
               QString::fromUtf16(u"AAList_02.txt がありません（フォルダ: %1）").arg(folder));
    }
    WriteBytes(QStringLiteral("w/AAList_01.txt"), "[Bird]\r\nb\r\n");
    WriteBytes(QStringLiteral("w/AAList_02.txt"), "[Eel]\r\ne\r\n");
    QTRY_COMPARE(Items(form.Combo3), QStringList({QString(), "Bird"}));
    QTRY_COMPARE(Items(form.Combo4), QStringList({"Eel"}));
    QVERIFY(form.Combo4->placeholderText().isEmpty());
  }

  // A file written again and again, as by a tool that logs into it, is still read now and then
  // while the writing goes on, not only once it stops.
  void listReadWhileWrittenOften() {
    WriteBytes(QStringLiteral("AAList_01.txt"), "[w0]\r\n");
    Form1 form;
    int writes = 0;
    int readsWhileWriting = 0;
    QTimer writer;
    writer.setInterval(50);
    connect(&writer, &QTimer::timeout, [&] {
      WriteBytes(QStringLiteral("AAList_01.txt"), "[w" + QByteArray::number(++writes) + "]\r\n");
      if (writes == 50) writer.stop();
    });
    connect(form.Combo3->model(), &QAbstractItemModel::modelReset, [&] {
      if (writer.isActive()) ++readsWhileWriting;
    });
    writer.start();
    QTRY_VERIFY_WITH_TIMEOUT(!writer.isActive(), 20000);
    QVERIFY2(readsWhileWriting >= 2, QByteArray::number(readsWhileWriting));
    QTRY_COMPARE(Items(form.Combo3), QStringList({QString(), "w50"}));
  }

  // Large files: every name in file order, the first list still led by its empty item, and the
  // lists as usable as short ones.
  void longTemplateLists() {
    QByteArray first, second;
    QStringList firstNames({QString()}), secondNames;
    for (int i = 0; i < 5000; ++i) {
      const QByteArray number = QByteArray::number(i);
      first += "[a" + number + "]\r\nline\r\n";
      second += "[" + cp932::kInu + number + "]\r\n" + cp932::kOmega + "\r\n";
      firstNames.append(QStringLiteral("a") + QString::number(i));
      secondNames.append(QString::fromUtf16(u"\u72AC") + QString::number(i));
    }
    WriteBytes(QStringLiteral("AAList_01.txt"), first);
    WriteBytes(QStringLiteral("AAList_02.txt"), second);

    Form1 form;
    QCOMPARE(Items(form.Combo3), firstNames);
    QCOMPARE(Items(form.Combo4), secondNames);
    QCOMPARE(form.Combo3->currentIndex(), -1);
    QCOMPARE(form.Combo4->currentIndex(), -1);
    form.Combo3->setCurrentIndex(4999);
    QCOMPARE(form.Combo3->currentText(), QStringLiteral("a4998"));
    QCOMPARE(form.Combo4->findText(secondNames.last()), 4999);
  }

  void positionReadAtLoad_data() {
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QPoint>("expected");

    const QRect screen = QGuiApplication::primaryScreen()->geometry();
    const QByteArray bottom = QByteArray::number((screen.bottom() - 10) * 15);

    QTest::newRow("saved") << QByteArray("[TOP]\r\n 2400 \r\n[LEFT]\r\n 3600 \r\n")
                           << QPoint(240, 160);
    QTest::newRow("no file") << kNoFile << QPoint(0, 0);
    QTest::newRow("left only") << QByteArray("[LEFT]\r\n1500\r\n") << QPoint(100, 0);
    QTest::newRow("between pixels")
        << QByteArray("[TOP]\r\n1507\r\n[LEFT]\r\n1493\r\n") << QPoint(100, 100);
    QTest::newRow("marker as last line")
        << QByteArray("[LEFT]\r\n3600\r\n[TOP]\r\n") << QPoint(0, 0);
    // Positions where no screen shows the title bar count as refused.
    QTest::newRow("beyond every screen")
        << QByteArray("[TOP]\r\n 150000 \r\n[LEFT]\r\n 150000 \r\n") << QPoint(0, 0);
    QTest::newRow("title bar above the screen")
        << QByteArray("[TOP]\r\n-300\r\n[LEFT]\r\n1500\r\n") << QPoint(0, 0);
    QTest::newRow("title bar cut by the bottom edge")
        << QByteArray("[TOP]\r\n" + bottom + "\r\n[LEFT]\r\n1500\r\n") << QPoint(0, 0);
    QTest::newRow("largest numbers")
        << QByteArray("[TOP]\r\n2147483647\r\n[LEFT]\r\n-2147483648\r\n") << QPoint(0, 0);
  }

  void positionReadAtLoad() {
    QFETCH(QByteArray, file);
    QFETCH(QPoint, expected);
    if (file != kNoFile) WriteBytes(QStringLiteral("MARU.ini"), file);

    Form1 form;
    QCOMPARE(form.pos(), expected);
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QCOMPARE(form.pos(), expected);
  }

  void positionWrittenAtUnload_data() {
    QTest::addColumn<QPoint>("position");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("somewhere") << QPoint(240, 160)
                               << QByteArray("[TOP]\r\n 2400 \r\n[LEFT]\r\n 3600 \r\n");
    QTest::newRow("top left corner")
        << QPoint(0, 0) << QByteArray("[TOP]\r\n 0 \r\n[LEFT]\r\n 0 \r\n");
    QTest::newRow("odd pixels") << QPoint(1, 7)
                                << QByteArray("[TOP]\r\n 105 \r\n[LEFT]\r\n 15 \r\n");
    // Partly beyond the left edge: the file keeps what it held.
    QTest::newRow("negative left") << QPoint(-20, 30) << QByteArray("[TOP]\r\n 45 \r\n");
  }

  void positionWrittenAtUnload() {
    QFETCH(QPoint, position);
    QFETCH(QByteArray, expected);
    WriteBytes(QStringLiteral("MARU.ini"), "[TOP]\r\n 45 \r\n");

    Form1 form;
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    form.move(position);
    QTRY_COMPARE(form.pos(), position);
    QVERIFY(form.close());
    QCOMPARE(ReadBytes(QStringLiteral("MARU.ini")), expected);
  }

  void positionKeptFromOneRunToTheNext() {
    {
      Form1 form;
      form.show();
      QVERIFY(QTest::qWaitForWindowExposed(&form));
      form.move(123, 45);
      QVERIFY(form.close());
    }
    Form1 again;
    QCOMPARE(again.pos(), QPoint(123, 45));
  }

 private:
  std::unique_ptr<koron::test::ScratchDirectory> scratch_;
};

QTEST_MAIN(LoadSequenceTest)
#include "load_sequence_test.moc"
