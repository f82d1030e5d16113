// The library window ＡＡ庫: opening it, searching, the tree's nodes, using an entry, the keys,
// and the worker that indexes.
#include <sys/stat.h>

#include <cstdio>

#include <QAbstractButton>
#include <QButtonGroup>
#include <QClipboard>
#include <QDesktopServices>
#include <QDir>
#include <QFileDialog>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMenu>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QSettings>
#include <QSignalSpy>
#include <QTreeWidget>
#include <QtTest>

#include "app/application_setup.h"
#include "app/box_menu.h"
#include "app/form1.h"
#include "app/library_entry_model.h"
#include "app/library_indexer.h"
#include "app/library_window.h"
#include "app/text_box.h"
#include "library/library_index.h"
#include "render/text_art.h"
#include "tests/app/app_test_support.h"

using koron::Form1;
using koron::LibraryWindow;
using Kind = koron::LibraryWindow::NodeKind;

namespace {

// Takes the place of the desktop's file manager.
class UrlCatcher : public QObject {
  Q_OBJECT

 public slots:
  void open(const QUrl& url) { opened = url; }

 public:
  QUrl opened;
};

const QString kHeartText = QString::fromUtf16(u"\u2665love\u2665\r\n");

// Five entries in two files, one of them in a folder of its own.
void WriteCollection() {
  QDir().mkpath(QStringLiteral("AA/sub"));
  koron::test::WriteBytes(QStringLiteral("AA/faces.ast"),
                          "[AA][smile]\r\n(^_^)\r\n[AA][heart]\r\n&#9829;love&#9829;\r\n"
                          "[AA][cry]\r\n(T_T)\r\n");
  koron::test::WriteBytes(QStringLiteral("AA/sub/cats.ast"),
                          "[AA][cat]\r\n(=^.^=)\r\n[AA][tiger]\r\n(=`.`=) smile\r\n");
}

// Opens the library window over `form` and waits for its library.
LibraryWindow* OpenAndWait(Form1& form) {
  LibraryWindow* library = form.OpenLibrary();
  if (library->IsIndexing()) {
    QSignalSpy ready(library, &LibraryWindow::libraryReady);
    ready.wait(30000);
  }
  return library;
}

QStringList Shown(LibraryWindow* library) {
  QStringList names;
  for (int row = 0; row < library->Model()->rowCount(); ++row) {
    names << library->Model()->index(row).data().toString();
  }
  return names;
}

QString Chosen(LibraryWindow* library) {
  return library->Model()->Reference(library->Entries->currentIndex().row());
}

int RowOf(LibraryWindow* library, const QString& name) {
  for (int row = 0; row < library->Model()->rowCount(); ++row) {
    if (library->Model()->index(row).data().toString() == name) return row;
  }
  return -1;
}

void Choose(LibraryWindow* library, Kind kind) {
  library->Tree->setCurrentItem(library->Node(kind));
}

}  // namespace

class LibraryWindowTest : public QObject {
  Q_OBJECT

 private slots:
  void initTestCase() { koron::SetUpApplication(); }
  void init() {
    scratch_ = std::make_unique<koron::test::ScratchDirectory>();
    QVERIFY(scratch_->IsValid());  // the index, the history and the settings go in it too
  }
  void cleanup() {
    QTRY_COMPARE_WITH_TIMEOUT(koron::LibraryIndexer::Running(), 0, 30000);
    koron::LibraryIndexer::SetPace({});
    scratch_.reset();
  }

  // The window opens with its caption and the focus in the search field, and shows what the
  // library holds; a working folder without AA/ gives an empty window and no error.
  void opens_data() {
    QTest::addColumn<bool>("collection");
    QTest::addColumn<QString>("all");  // the node's caption
    QTest::addColumn<int>("nodes");    // top-level nodes of the tree
    QTest::newRow("collection") << true << QStringLiteral("すべて (5)") << 5;
    QTest::newRow("no AA folder") << false << QStringLiteral("すべて (0)") << 3;
  }
  void opens() {
    QFETCH(bool, collection);
    QFETCH(QString, all);
    QFETCH(int, nodes);
    if (collection) WriteCollection();
    Form1 form;
    form.show();
    LibraryWindow* library = OpenAndWait(form);
    QCOMPARE(library->windowTitle(), QStringLiteral("ＡＡ庫"));
    QVERIFY(QTest::qWaitForWindowActive(library));
    QCOMPARE(QApplication::focusWidget(), library->Search);
    QCOMPARE(library->Node(Kind::kAll)->text(0), all);
    QCOMPARE(library->Tree->topLevelItemCount(), nodes);
    QCOMPARE(library->Count->text(), QStringLiteral("%1 件").arg(collection ? 5 : 0));
    QVERIFY(!library->Progress->isVisible());
    // An empty list says why, and how to fill it.
    QCOMPARE(library->Nothing->isVisibleTo(library), !collection);
    QCOMPARE(library->Nothing->text().contains(QStringLiteral("「フォルダを追加…」")), !collection);
    QVERIFY2(!library->Status->text().contains(QStringLiteral("開けません")),
             qPrintable(library->Status->text()));
    if (collection) {
      // A folder is a parent node, counting what is under it.
      QCOMPARE(library->Node(Kind::kFolder)->text(0), QStringLiteral("sub (2)"));
      QCOMPARE(library->Node(Kind::kFolder)->child(0)->text(0), QStringLiteral("cats.ast (2)"));
      QCOMPARE(library->Reference->text(), QStringLiteral("AA/faces.ast#1　smile"));
      QVERIFY2(library->Readout->text().endsWith(QStringLiteral("バイト　1 行")),
               qPrintable(library->Readout->text()));
      QVERIFY(library->Preview->pixmap().height() >= 16);
    }
  }

  // Each node shows only its entries, and the search filters them as it is typed.
  void filters_data() {
    QTest::addColumn<int>("node");
    QTest::addColumn<QString>("query");
    QTest::addColumn<QStringList>("names");
    const auto node = [](Kind kind) { return static_cast<int>(kind); };
    QTest::newRow("all") << node(Kind::kAll) << QString()
                         << QStringList{"smile", "heart", "cry", "cat", "tiger"};
    QTest::newRow("all, searched in the text")
        << node(Kind::kAll) << QStringLiteral("SMILE") << QStringList{"smile", "tiger"};
    QTest::newRow("file") << node(Kind::kFile) << QString() << QStringList{"smile", "heart", "cry"};
    QTest::newRow("folder, searched")
        << node(Kind::kFolder) << QStringLiteral("smile") << QStringList{"tiger"};
    QTest::newRow("favourites") << node(Kind::kFavourites) << QString() << QStringList{"cat"};
    QTest::newRow("favourites, searched")
        << node(Kind::kFavourites) << QStringLiteral("smile") << QStringList{};
    QTest::newRow("favourites, folded as the library folds")
        << node(Kind::kFavourites) << QStringLiteral("ＣＡＴ　^.^") << QStringList{"cat"};
    QTest::newRow("history") << node(Kind::kHistory) << QString() << QStringList{};
  }
  void filters() {
    QFETCH(int, node);
    QFETCH(QString, query);
    QFETCH(QStringList, names);
    WriteCollection();
    Form1 form;
    LibraryWindow* library = OpenAndWait(form);
    library->ToggleFavourite(RowOf(library, QStringLiteral("cat")));
    QCOMPARE(library->Status->text(),
             QStringLiteral("AA/sub/cats.ast#1 をお気に入りに追加しました"));
    // One candidate read at a time: results that fill in give the same rows in the end.
    library->SetSearchSlice(1);
    Choose(library, static_cast<Kind>(node));
    library->Search->insert(query);
    QTRY_VERIFY(!library->IsSearching());
    QStringList shown;
    for (int row = 0; row < library->Model()->rowCount(); ++row) {
      shown << library->Model()->index(row).data().toString();
    }
    QCOMPARE(shown, names);
    QCOMPARE(library->Count->text(), QStringLiteral("%1 件").arg(names.size()));
  }

  // Enter copies the entry, shows it in the right-hand box and keeps it in the history;
  // Shift+Enter copies the Shift_JIS text. Down from the search field leads there.
  void enter_data() {
    QTest::addColumn<Qt::KeyboardModifiers>("modifiers");
    QTest::addColumn<QString>("copied");
    QTest::newRow("Enter") << Qt::KeyboardModifiers() << kHeartText;
    QTest::newRow("Shift+Enter") << Qt::KeyboardModifiers(Qt::ShiftModifier)
                                 << QStringLiteral("&#9829;love&#9829;\r\n");
  }
  void enter() {
    QFETCH(Qt::KeyboardModifiers, modifiers);
    QFETCH(QString, copied);
    WriteCollection();
    Form1 form;
    form.show();
    LibraryWindow* library = OpenAndWait(form);
    QVERIFY(QTest::qWaitForWindowActive(library));
    QTest::keyClicks(library->Search, QStringLiteral("love"));
    QTest::keyClick(library->Search, Qt::Key_Down);
    QCOMPARE(QApplication::focusWidget(), library->Entries);
    QTest::keyClick(library->Entries, Qt::Key_Return, modifiers);
    QCOMPARE(QGuiApplication::clipboard()->text(), copied);
    QCOMPARE(koron::BoxText(form.TextAA2), kHeartText);
    Choose(library, Kind::kHistory);
    QCOMPARE(library->Model()->rowCount(), 1);
    QCOMPARE(QString::fromStdU16String(library->Model()->Entry(0).text), kHeartText);

    // Ctrl+C copies alone; the entry's menu offers the rest.
    QGuiApplication::clipboard()->clear();
    QTest::keyClick(library->Entries, Qt::Key_C, Qt::ControlModifier);
    QCOMPARE(QGuiApplication::clipboard()->text(), kHeartText);
    std::unique_ptr<QMenu> menu(library->CreateEntryMenu(0));
    QStringList captions;
    for (QAction* action : menu->actions()) {
      if (!action->isSeparator()) captions << action->text();
    }
    QCOMPARE(captions, (QStringList{"コピー", "Shift_JIS でコピー",
                                    "掲示板向けに空白を整えてコピー", "右の欄に表示",
                                    "画像として保存…", "お気に入りに追加", "フォルダを開く"}));
  }

  // A double-click uses the entry; a picture too long for the box is copied, and the box keeps
  // its text, with the right button's balloon.
  void tooLongForTheBox() {
    QDir().mkpath(QStringLiteral("AA"));
    koron::test::WriteBytes(QStringLiteral("AA/big.txt"), QByteArray(200'001, 'x'));
    Form1 form;
    form.show();
    LibraryWindow* library = OpenAndWait(form);
    QVERIFY(QTest::qWaitForWindowExposed(library));
    QRect place;
    QTRY_VERIFY((place = library->Entries->visualRect(library->Model()->index(0))).isValid());
    // The view takes a double-click only on the entry pressed just before.
    QTest::mousePress(library->Entries->viewport(), Qt::LeftButton, {}, place.center());
    QTest::mouseDClick(library->Entries->viewport(), Qt::LeftButton, {}, place.center());
    QCOMPARE(QGuiApplication::clipboard()->text().size(), 200'003);
    QCOMPARE(koron::BoxText(form.TextAA2), QString());
    QCOMPARE(library->Status->text(),
             QStringLiteral("AA/big.txt#1 をコピーしました（長すぎて右の欄には表示できません）"));
  }

  // The entry's menu saves its picture, by default under its name in the folder last saved to,
  // and opens its file's folder in the file manager; dragging it out gives its text.
  void entryMenuAndDrag() {
    WriteCollection();
    koron::test::WriteBytes(QStringLiteral("AA/gap.txt"), "  x  y\r\n");
    QSettings(koron::SettingsPath(), QSettings::IniFormat)
        .setValue(QStringLiteral("LibraryWindow/imageFolder"), QDir::currentPath());
    Form1 form;
    LibraryWindow* library = OpenAndWait(form);
    library->show();
    QVERIFY(QTest::qWaitForWindowActive(library));
    const int cat = RowOf(library, QStringLiteral("cat"));
    std::unique_ptr<QMenu> menu(library->CreateEntryMenu(cat));
    QString offered;
    QTimer::singleShot(0, library, [&offered] {
      auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
      if (dialog == nullptr) return;
      offered = dialog->selectedFiles().value(0);
      static_cast<QDialog*>(dialog)->accept();
    });
    // The menu keeps to its entry though the list changes under it.
    library->Search->setText(QStringLiteral("tiger"));
    menu->findChild<QAction*>(QStringLiteral("saveImage"))->trigger();
    QCOMPARE(offered, QDir::current().filePath(QStringLiteral("cat.png")));
    QCOMPARE(QImage(offered).size(), koron::TextArtImageSize(u"(=^.^=)\r\n"));
    QVERIFY2(library->Status->text().startsWith(QStringLiteral("AA/sub/cats.ast#1 を ")),
             qPrintable(library->Status->text()));

    // The blanks as the board keeps them: none at the start of a line, never two in a row.
    library->Search->clear();
    std::unique_ptr<QMenu> gap(library->CreateEntryMenu(RowOf(library, QStringLiteral("gap"))));
    gap->findChild<QAction*>(QStringLiteral("copyFixedSpacing"))->trigger();
    QCOMPARE(QGuiApplication::clipboard()->text(), QString::fromUtf16(u"\u2007x\u2007y\r\n"));

    UrlCatcher catcher;
    QDesktopServices::setUrlHandler(QStringLiteral("file"), &catcher, "open");
    menu->findChild<QAction*>(QStringLiteral("openFolder"))->trigger();
    QDesktopServices::unsetUrlHandler(QStringLiteral("file"));
    QCOMPARE(catcher.opened,
             QUrl::fromLocalFile(QDir::current().filePath(QStringLiteral("AA/sub"))));

    const QModelIndex index = library->Model()->index(cat);
    QVERIFY(library->Model()->flags(index).testFlag(Qt::ItemIsDragEnabled));
    std::unique_ptr<QMimeData> dragged(library->Model()->mimeData({index}));
    QCOMPARE(dragged->text(), QStringLiteral("(=^.^=)\r\n"));
  }

  // Heading pages show as headings before their sections, which the count leaves out and the
  // arrow keys pass over; the thumbnails' size is chosen in the window and kept.
  void headingsAndSizes() {
    QDir().mkpath(QStringLiteral("AA"));
    koron::test::WriteBytes(QStringLiteral("AA/book.mlt"),
                            "(a)\r\n[SPLIT]\r\n【第一章】\r\n[SPLIT]\r\n(b)\r\n[SPLIT]\r\n(c)\r\n");
    Form1 form;
    LibraryWindow* library = OpenAndWait(form);
    library->show();
    QVERIFY(QTest::qWaitForWindowActive(library));
    koron::LibraryEntryModel* model = library->Model();
    QCOMPARE(model->rowCount(), 4);
    QCOMPARE(library->Count->text(), QStringLiteral("3 件"));
    QVERIFY(model->IsHeading(1));
    QCOMPARE(model->index(1).data(Qt::ToolTipRole).toString(), QStringLiteral("【第一章】"));
    QVERIFY(!model->flags(model->index(1)).testFlag(Qt::ItemIsSelectable));
    library->Entries->setFocus();
    QTest::keyClick(library->Entries, Qt::Key_Right);
    QCOMPARE(library->Entries->currentIndex().row(), 2);
    QTest::keyClick(library->Entries, Qt::Key_Left);
    QCOMPARE(library->Entries->currentIndex().row(), 0);

    QCOMPARE(library->Entries->iconSize(), QSize(128, 96));
    library->Sizes->button(static_cast<int>(LibraryWindow::Size::kLarge))->click();
    QCOMPARE(library->Entries->iconSize(), QSize(224, 168));
    // A blank box first, the picture once the event loop is free.
    QCOMPARE(model->index(0).data(Qt::DecorationRole).value<QPixmap>().size(), QSize(224, 168));
    QImage blank(224, 168, QImage::Format_RGB32);
    blank.fill(Qt::white);
    QTRY_VERIFY(model->index(0)
                    .data(Qt::DecorationRole)
                    .value<QPixmap>()
                    .toImage()
                    .convertToFormat(QImage::Format_RGB32) != blank);
    QCOMPARE(library->Entries->currentIndex().row(), 0);  // the chosen entry stays chosen
    library->close();
    LibraryWindow* again = OpenAndWait(form);
    QCOMPARE(again->Entries->iconSize(), QSize(224, 168));
    QVERIFY(again->Sizes->button(static_cast<int>(LibraryWindow::Size::kLarge))->isChecked());
  }

  // Hovering over a thumbnail shows the entry at full size beside the pointer, until the pointer
  // leaves or Escape is pressed; the search is cleared only by the next Escape.
  void hoverPreview() {
    WriteCollection();
    Form1 form;
    LibraryWindow* library = OpenAndWait(form);
    library->show();
    QVERIFY(QTest::qWaitForWindowActive(library));
    QTest::keyClicks(library->Search, QStringLiteral("love"));
    QRect place;
    QTRY_VERIFY((place = library->Entries->visualRect(library->Model()->index(0))).isValid());
    QHelpEvent hover(QEvent::ToolTip, place.center(),
                     library->Entries->viewport()->mapToGlobal(place.center()));
    QApplication::sendEvent(library->Entries->viewport(), &hover);
    QVERIFY(library->HoverPreview->isVisible());
    QCOMPARE(library->HoverPreview->pixmap().size(),
             koron::TextArtImageSize(kHeartText.toStdU16String()));
    QTest::keyClick(library->Search, Qt::Key_Escape);
    QVERIFY(!library->HoverPreview->isVisible());
    QCOMPARE(library->Search->text(), QStringLiteral("love"));
  }

  // フォルダを追加… links a folder into AA/ under its name, numbered when that is taken, and
  // refuses one already in the library; removing it takes away the link alone.
  void addAndRemoveFolder() {
    WriteCollection();
    for (const char* where : {"elsewhere/pics", "other/pics"}) {
      QDir().mkpath(QString::fromLatin1(where));
      koron::test::WriteBytes(QString::fromLatin1(where) + QStringLiteral("/owl.ast"),
                              "[AA][owl]\r\n(OvO)\r\n");
    }
    Form1 form;
    LibraryWindow* library = OpenAndWait(form);
    const auto added = [&](const QString& folder) {
      QSignalSpy ready(library, &LibraryWindow::libraryReady);
      const QString name = library->AddFolderLink(folder);
      if (!name.isEmpty() && !ready.wait(30000)) return QStringLiteral("not indexed");
      return name;
    };
    QCOMPARE(added(QStringLiteral("elsewhere/pics")), QStringLiteral("pics"));
    QCOMPARE(added(QStringLiteral("other/pics")), QStringLiteral("pics 2"));
    QCOMPARE(library->Node(Kind::kAll)->text(0), QStringLiteral("すべて (7)"));
    for (const char* again : {"elsewhere/pics", "AA/sub", "."}) {
      QCOMPARE(added(QString::fromLatin1(again)), QString());
      QVERIFY2(library->Status->text().contains(QStringLiteral("もう")),
               qPrintable(library->Status->text()));
    }
    QCOMPARE(added(QStringLiteral("AA/faces.ast")), QString());  // not a folder

    const auto node = [&](const QString& caption) -> QTreeWidgetItem* {
      for (QTreeWidgetItemIterator it(library->Tree); *it != nullptr; ++it) {
        if ((*it)->text(0) == caption) return *it;
      }
      return nullptr;
    };
    QVERIFY(node(QStringLiteral("pics (1)")) != nullptr);
    std::unique_ptr<QMenu> menu(library->CreateTreeMenu(node(QStringLiteral("pics (1)"))));
    QSignalSpy ready(library, &LibraryWindow::libraryReady);
    menu->findChild<QAction*>(QStringLiteral("removeFolder"))->trigger();
    QVERIFY(ready.wait(30000));
    QVERIFY(!QFileInfo(QStringLiteral("AA/pics")).isSymLink());
    QVERIFY(QFileInfo::exists(QStringLiteral("elsewhere/pics/owl.ast")));
    QCOMPARE(library->Node(Kind::kAll)->text(0), QStringLiteral("すべて (6)"));
    std::unique_ptr<QMenu> plain(library->CreateTreeMenu(node(QStringLiteral("sub (2)"))));
    QVERIFY(plain->findChild<QAction*>(QStringLiteral("removeFolder")) == nullptr);  // AA/sub
  }

  // A folder named in code page 932, as archives from Windows unpack, is a node of its own
  // that shows its entries.
  void folderNamedInCodePage932() {
    QDir().mkpath(QStringLiteral("AA"));
    QVERIFY(::mkdir("AA/\x83\x41", 0755) == 0);               // ア
    std::FILE* file = std::fopen("AA/\x83\x41/a.txt", "wb");  // bytes Qt's file names cannot hold
    QVERIFY(file != nullptr);
    std::fputs("(^_^)\r\n", file);
    std::fclose(file);
    Form1 form;
    LibraryWindow* library = OpenAndWait(form);
    Choose(library, Kind::kFolder);
    QCOMPARE(library->Model()->rowCount(), 1);
  }

  // Escape clears the search; a second one closes the window.
  void escapeTwice() {
    WriteCollection();
    Form1 form;
    form.show();
    QPointer<LibraryWindow> library = OpenAndWait(form);
    QVERIFY(QTest::qWaitForWindowActive(library));
    QTest::keyClicks(library->Search, QStringLiteral("cat"));
    QTest::keyClick(library->Search, Qt::Key_Escape);
    QCOMPARE(library->Search->text(), QString());
    QCOMPARE(library->Model()->rowCount(), 5);
    QVERIFY(library->isVisible());
    QTest::keyClick(library->Search, Qt::Key_Escape);
    QTRY_VERIFY(library == nullptr);
    QCOMPARE(form.OpenedLibrary(), nullptr);
  }

  // Ctrl+L in the main window, or the boxes' menu, opens one library window and then raises it;
  // it keeps its size, and closes with the main window.
  void openedOnceAndClosedWithTheMainWindow() {
    Form1 form;
    form.show();
    QVERIFY(QTest::qWaitForWindowActive(&form));
    QCOMPARE(form.OpenedLibrary(), nullptr);  // nothing of the library until asked
    QTest::keyClick(form.TextAA, Qt::Key_L, Qt::ControlModifier);
    QPointer<LibraryWindow> library = form.OpenedLibrary();
    QVERIFY(library != nullptr);
    QVERIFY(QTest::qWaitForWindowActive(library));
    library->resize(700, 500);
    form.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&form));
    std::unique_ptr<QMenu> menu(koron::CreateBoxMenu(form.TextAA2, form.folder(), QPoint()));
    QAction* open = menu->actions().last();
    QCOMPARE(open->text(), QStringLiteral("ＡＡ庫を開く"));
    QCOMPARE(open->shortcut(), QKeySequence(QStringLiteral("Ctrl+L")));
    open->trigger();
    QCOMPARE(form.OpenedLibrary(), library.data());
    QVERIFY(QTest::qWaitForWindowActive(library));

    form.close();
    QTRY_VERIFY(library == nullptr);
    Form1 again;
    QCOMPARE(again.OpenLibrary()->size(), QSize(700, 500));  // kept in the settings
  }

  // Indexing runs on the worker, with its progress in words; closing the window meanwhile
  // stops it without waiting, and what was indexed is kept for the next time.
  void indexesOnTheWorker() {
    QDir().mkpath(QStringLiteral("AA"));
    for (int i = 0; i < 1500; ++i) {
      koron::test::WriteBytes(QStringLiteral("AA/%1.txt").arg(i), "(^_^)\r\n");
    }
    koron::LibraryIndexer indexer(QDir::currentPath());
    QSignalSpy finished(&indexer, &koron::LibraryIndexer::finished);
    QSignalSpy partial(&indexer, &koron::LibraryIndexer::partial);
    indexer.Start();
    QCOMPARE(finished.count(), 0);  // not done before Start returns
    QVERIFY(finished.wait(60000));
    QVERIFY(indexer.Take() != nullptr);
    QCOMPARE(partial.count(), 0);  // one batch: nothing to show before the end

    QVERIFY(QDir(QStringLiteral(".xdg/XDG_CACHE_HOME")).removeRecursively());
    {
      Form1 form;
      QPointer<LibraryWindow> library = form.OpenLibrary();
      QVERIFY(library->IsIndexing());
      library->close();
      QTRY_VERIFY(library == nullptr);
    }
    QTRY_COMPARE_WITH_TIMEOUT(koron::LibraryIndexer::Running(), 0, 30000);
    Form1 form;
    LibraryWindow* library = OpenAndWait(form);
    QCOMPARE(library->Node(Kind::kAll)->text(0), QStringLiteral("すべて (1,500)"));
  }

  // While a first indexing goes on, the window shows what is indexed so far, searched, with the
  // progress; the search and the chosen entry stay as more comes in.
  void fillsInWhileIndexing() {
    QDir().mkpath(QStringLiteral("AA"));
    for (int i = 0; i < 12; ++i) {
      koron::test::WriteBytes(QStringLiteral("AA/%1.ast").arg(i, 2, 10, QChar(u'0')),
                              "[AA][cat]\r\n(=^.^=)\r\n[AA][dog]\r\nU^x^U\r\n");
    }
    // A commit after each file, each one shown before the worker goes on.
    koron::LibraryIndexer::SetPace({0, 1, true});
    Form1 form;
    LibraryWindow* library = form.OpenLibrary();
    QSignalSpy ready(library, &LibraryWindow::libraryReady);
    QTest::keyClicks(library->Search, QStringLiteral("dog"));
    QTRY_VERIFY_WITH_TIMEOUT(library->Model()->rowCount() > 0, 30000);
    // Eleven snapshots to take before the end: it is still indexing.
    QVERIFY(library->IsIndexing());
    QVERIFY(library->Model()->rowCount() < 12);
    QVERIFY(library->Progress->isVisibleTo(library));
    QCOMPARE(Shown(library).removeDuplicates(), library->Model()->rowCount() - 1);
    const int last = library->Model()->rowCount() - 1;
    library->Entries->setCurrentIndex(library->Model()->index(last));
    const QString chosen = Chosen(library);
    QVERIFY(ready.wait(30000));
    QCOMPARE(Shown(library), QStringList(12, QStringLiteral("dog")));
    QCOMPARE(Chosen(library), chosen);
    QVERIFY(!library->Progress->isVisibleTo(library));
  }

  // While the window is open, what changes under AA/, in a new folder, through a link, or in
  // a list file shows, keeping the chosen node and entry.
  void followsTheFiles() {
    WriteCollection();
    QDir().mkpath(QStringLiteral(".elsewhere"));  // reached only through the link
    Form1 form;
    LibraryWindow* library = OpenAndWait(form);
    Choose(library, Kind::kFolder);  // sub
    library->Entries->setCurrentIndex(library->Model()->index(1));
    QCOMPARE(Chosen(library), QStringLiteral("AA/sub/cats.ast#2"));
    const auto expect = [library](const QStringList& names) {
      QTRY_COMPARE_WITH_TIMEOUT(Shown(library), names, 20000);
    };
    QDir().mkpath(QStringLiteral("AA/sub/new"));
    koron::test::WriteBytes(QStringLiteral("AA/sub/new/dog.ast"), "[AA][dog]\r\nU^x^U\r\n");
    expect({"cat", "tiger", "dog"});
    QCOMPARE(library->Status->text(), QStringLiteral("ＡＡ庫を更新しました"));
    koron::test::WriteBytes(QStringLiteral("AA/sub/new/puppy.ast"), "[AA][puppy]\r\nu\r\n");
    expect({"cat", "tiger", "dog", "puppy"});
    koron::test::WriteBytes(QStringLiteral("AA/sub/cats.ast"),
                            "[AA][cat]\r\n(=^.^=)\r\n[AA][lion]\r\n(=`o`=)\r\n");
    expect({"cat", "lion", "dog", "puppy"});
    QCOMPARE(Chosen(library), QStringLiteral("AA/sub/cats.ast#2"));
    QVERIFY(QFile::remove(QStringLiteral("AA/sub/new/dog.ast")));
    expect({"cat", "lion", "puppy"});
    QVERIFY(QFile::link(QDir::current().filePath(QStringLiteral(".elsewhere")),
                        QStringLiteral("AA/sub/linked")));
    expect({"cat", "lion", "puppy"});  // an empty folder: nothing to show yet
    koron::test::WriteBytes(QStringLiteral(".elsewhere/pets.ast"), "[AA][bird]\r\nv\r\n");
    expect({"cat", "lion", "bird", "puppy"});
    koron::test::WriteBytes(QStringLiteral(".elsewhere/pets.ast"), "[AA][fish]\r\n<><\r\n");
    expect({"cat", "lion", "fish", "puppy"});

    Choose(library, Kind::kAll);
    QTest::keyClicks(library->Search, QStringLiteral("banner"));
    koron::test::WriteBytes(QStringLiteral("AAList_01.txt"), "[banner]\r\n--\r\n");
    expect({"banner"});
    koron::test::WriteBytes(QStringLiteral("AAList_01.txt"),
                            "[banner]\r\n--\r\n[banner 2]\r\n==\r\n");
    expect({"banner", "banner 2"});
  }

 private:
  std::unique_ptr<koron::test::ScratchDirectory> scratch_;
};

QTEST_MAIN(LibraryWindowTest)
#include "library_window_test.moc"
