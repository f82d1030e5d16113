#include "app/library_window.h"

#include <QAction>
#include <QCloseEvent>
#include <QDir>
#include <QFile>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMap>
#include <QMenu>
#include <QProgressBar>
#include <QRegularExpression>
#include <QScrollArea>
#include <QSettings>
#include <QShortcut>
#include <QSplitter>
#include <QStandardPaths>
#include <QTreeWidget>
#include <QVBoxLayout>
#include <algorithm>
#include <climits>
#include <functional>
#include <utility>

#include "app/balloon.h"
#include "app/box_menu.h"
#include "app/failure_policy.h"
#include "app/form1.h"
#include "app/library_entry_model.h"
#include "app/library_indexer.h"
#include "app/text_box.h"
#include "library/library_index.h"
#include "library/user_store.h"
#include "posting/dot_widths.h"
#include "posting/shift_jis_safe.h"
#include "render/text_art.h"

namespace koron {
namespace {

constexpr int kKindRole = Qt::UserRole;
constexpr int kWhereRole = Qt::UserRole + 1;  // a file's index, a folder's path with its slash

QString Q(const char16_t* text) { return QString::fromUtf16(text); }

LibraryWindow::NodeKind KindOf(const QTreeWidgetItem* item) {
  if (item == nullptr) return LibraryWindow::NodeKind::kAll;
  return static_cast<LibraryWindow::NodeKind>(item->data(0, kKindRole).toInt());
}

QTreeWidgetItem* NewNode(LibraryWindow::NodeKind kind, const QString& caption) {
  auto* item = new QTreeWidgetItem(QStringList{caption});
  item->setData(0, kKindRole, static_cast<int>(kind));
  return item;
}

QString Counted(const QString& caption, std::size_t count) {
  return QStringLiteral("%1 (%2)").arg(caption, GroupedNumber(count));
}

// Whether a kept entry holds every term of `query`, as the library's search compares them.
bool Matches(const KeptEntry& entry, const QStringList& terms) {
  const auto fold = [](const QString& text) {
    return text.normalized(QString::NormalizationForm_KC).toCaseFolded();
  };
  const QString haystack = fold(
      QString::fromStdU16String(entry.name) + u'\n' + QString::fromStdU16String(entry.section) +
      u'\n' + QString::fromStdString(entry.path) + u'\n' + QString::fromStdU16String(entry.text));
  return std::all_of(terms.begin(), terms.end(),
                     [&](const QString& term) { return haystack.contains(fold(term)); });
}

bool IsEnter(const QKeyEvent* key) {
  return key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
}

}  // namespace

QString SettingsPath() {
  return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
         QStringLiteral("/koron-aa/koron-aa.conf");
}

LibraryWindow::LibraryWindow(const QString& folder, Form1* main)
    : QWidget(nullptr, Qt::Window), folder_(folder), main_(main) {
  setObjectName(QStringLiteral("LibraryWindow"));
  setAttribute(Qt::WA_DeleteOnClose);
  setWindowTitle(Q(u"\uFF21\uFF21庫"));
  CreateControls();

  const std::string dataFolder = DefaultDataFolder();
  store_ = UserStore::Open(dataFolder.empty() ? std::string() : dataFolder + "/library.sqlite3",
                           QFile::encodeName(folder_).toStdString());

  QSettings settings(SettingsPath(), QSettings::IniFormat);
  if (!restoreGeometry(settings.value(QStringLiteral("LibraryWindow/geometry")).toByteArray())) {
    resize(960, 600);
    if (main != nullptr) move(main->pos() + QPoint(40, 40));
  }
  if (!Splitter->restoreState(
          settings.value(QStringLiteral("LibraryWindow/splitter")).toByteArray())) {
    Splitter->setSizes({200, 480, 280});
  }

  Refresh();
  StartIndexing();
  Search->setFocus(Qt::OtherFocusReason);
}

LibraryWindow::~LibraryWindow() {
  // The rows point into the library, which goes before the model does.
  model_->SetEmpty();
}

void LibraryWindow::CreateControls() {
  Search = new QLineEdit(this);
  Search->setObjectName(QStringLiteral("search"));
  Search->setPlaceholderText(Q(u"検索（本文・名前・見出し・ファイル名）"));
  Search->setClearButtonEnabled(true);
  Search->setAccessibleName(Q(u"検索"));
  Count = new QLabel(this);
  Count->setObjectName(QStringLiteral("count"));
  Count->setMinimumWidth(80);
  Count->setAlignment(Qt::AlignRight | Qt::AlignVCenter);

  Tree = new QTreeWidget(this);
  Tree->setObjectName(QStringLiteral("tree"));
  Tree->setHeaderHidden(true);
  Tree->setRootIsDecorated(false);
  Tree->setAccessibleName(Q(u"ファイル"));
  Tree->addTopLevelItem(NewNode(NodeKind::kAll, Q(u"すべて")));
  Tree->addTopLevelItem(NewNode(NodeKind::kHistory, Q(u"最近使った\uFF21\uFF21")));
  Tree->addTopLevelItem(NewNode(NodeKind::kFavourites, Q(u"お気に入り")));
  Tree->setCurrentItem(Tree->topLevelItem(0));

  model_ = new LibraryEntryModel(this);
  Entries = new QListView(this);
  Entries->setObjectName(QStringLiteral("entries"));
  Entries->setAccessibleName(Q(u"\uFF21\uFF21の一覧"));
  Entries->setViewMode(QListView::IconMode);
  Entries->setMovement(QListView::Static);
  Entries->setResizeMode(QListView::Adjust);
  Entries->setUniformItemSizes(true);  // so that laying out never asks each entry for its size
  Entries->setSelectionMode(QAbstractItemView::SingleSelection);
  Entries->setWordWrap(false);
  Entries->setTextElideMode(Qt::ElideRight);
  Entries->setIconSize(model_->ThumbnailSize());
  const int textHeight = Entries->fontMetrics().height();
  Entries->setGridSize(model_->ThumbnailSize() + QSize(16, textHeight + 12));
  Entries->setSpacing(4);
  Entries->setContextMenuPolicy(Qt::CustomContextMenu);
  Entries->setModel(model_);

  auto* preview = new QWidget(this);
  Reference = new QLabel(preview);
  Reference->setObjectName(QStringLiteral("reference"));
  Reference->setTextInteractionFlags(Qt::TextSelectableByMouse);
  Readout = new QLabel(preview);
  Readout->setObjectName(QStringLiteral("readout"));
  Preview = new QLabel;
  Preview->setObjectName(QStringLiteral("preview"));
  Preview->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  Preview->setBackgroundRole(QPalette::Base);
  auto* scroll = new QScrollArea(preview);
  scroll->setWidget(Preview);
  scroll->setWidgetResizable(true);
  scroll->setBackgroundRole(QPalette::Base);
  auto* previewLayout = new QVBoxLayout(preview);
  previewLayout->setContentsMargins(0, 0, 0, 0);
  previewLayout->addWidget(Reference);
  previewLayout->addWidget(Readout);
  previewLayout->addWidget(scroll, 1);

  Splitter = new QSplitter(Qt::Horizontal, this);
  Splitter->setObjectName(QStringLiteral("splitter"));
  Splitter->addWidget(Tree);
  Splitter->addWidget(Entries);
  Splitter->addWidget(preview);
  Splitter->setStretchFactor(1, 1);
  Splitter->setChildrenCollapsible(false);

  Status = new QLabel(this);
  Status->setObjectName(QStringLiteral("status"));
  Progress = new QProgressBar(this);
  Progress->setObjectName(QStringLiteral("progress"));
  Progress->setMinimumWidth(320);
  Progress->hide();

  auto* top = new QHBoxLayout;
  top->addWidget(Search, 1);
  top->addWidget(Count);
  auto* bottom = new QHBoxLayout;
  bottom->addWidget(Status, 1);
  bottom->addWidget(Progress);
  auto* layout = new QVBoxLayout(this);
  layout->addLayout(top);
  layout->addWidget(Splitter, 1);
  layout->addLayout(bottom);

  connect(Search, &QLineEdit::textChanged, this, [this] { RunOrSkip([this] { Refresh(); }); });
  connect(Tree, &QTreeWidget::currentItemChanged, this,
          [this] { RunOrSkip([this] { Refresh(); }); });
  connect(Entries->selectionModel(), &QItemSelectionModel::currentChanged, this,
          [this] { RunOrSkip([this] { ShowChosen(); }); });
  connect(Entries, &QListView::doubleClicked, this,
          [this](const QModelIndex& index) { RunOrSkip([&] { UseEntry(index.row(), false); }); });
  connect(Entries, &QListView::customContextMenuRequested, this, [this](QPoint at) {
    const QModelIndex index = Entries->indexAt(at);
    if (!index.isValid()) return;
    Entries->setCurrentIndex(index);
    QMenu* menu = CreateEntryMenu(index.row());
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(Entries->viewport()->mapToGlobal(at));
  });
  Search->installEventFilter(this);
  Entries->installEventFilter(this);

  auto* escape = new QShortcut(QKeySequence(Qt::Key_Escape), this);
  connect(escape, &QShortcut::activated, this, &LibraryWindow::Escape);
}

void LibraryWindow::StartIndexing() {
  indexer_ = new LibraryIndexer(folder_, this);
  connect(indexer_, &LibraryIndexer::progress, this, [this](std::size_t done, std::size_t total) {
    Progress->setRange(0, static_cast<int>(std::min<std::size_t>(total, INT_MAX)));
    Progress->setValue(static_cast<int>(std::min(done, total)));
    Progress->setFormat(
        Q(u"索引を作成中… %1 / %2 ファイル").arg(GroupedNumber(done), GroupedNumber(total)));
    Progress->show();
  });
  connect(indexer_, &LibraryIndexer::partial, this,
          [this] { RunOrSkip([this] { OnPartlyIndexed(); }); });
  connect(indexer_, &LibraryIndexer::finished, this,
          [this] { RunOrSkip([this] { OnIndexed(); }); });
  Tell(Q(u"\uFF21\uFF21庫を開いています…"));
  indexer_->Follow();
  indexer_->Start();
}

bool LibraryWindow::IsIndexing() const { return indexer_ != nullptr && indexer_->IsRunning(); }

void LibraryWindow::OnIndexed() {
  std::unique_ptr<Library> library = indexer_->Take();
  Progress->hide();
  if (opened_) {
    // Files changed while the window is open; a run that fails keeps what is shown.
    if (library == nullptr) return;
    SwapLibrary(std::move(library));
    Tell(Q(u"\uFF21\uFF21庫を更新しました"));
  } else if (library == nullptr) {
    Tell(Q(u"\uFF21\uFF21庫を開けませんでした: %1").arg(indexer_->Error()));
  } else {
    opened_ = true;
    SwapLibrary(std::move(library));
    const std::size_t entries = library_->Entries().size();
    if (entries == 0) {
      Tell(Q(u"\uFF21\uFF21はまだありません（%1 に AA フォルダを作り、"
             u".mlt・.ast・.txt のファイルを入れてください）")
               .arg(QDir::toNativeSeparators(folder_)));
    } else {
      Tell(Q(u"%1 個のファイルの %2 個の\uFF21\uFF21")
               .arg(GroupedNumber(library_->Files().size()), GroupedNumber(entries)));
    }
  }
  emit libraryReady();
}

void LibraryWindow::FillTree() {
  const QSignalBlocker quiet(Tree);
  QTreeWidgetItem* all = Tree->topLevelItem(0);
  while (Tree->topLevelItemCount() > 3) delete Tree->takeTopLevelItem(3);
  all->setText(0, Counted(Q(u"すべて"), library_->Entries().size()));

  // Folders as parent nodes, each counting the entries under it.
  QMap<QString, QTreeWidgetItem*> folders;
  QMap<QTreeWidgetItem*, std::size_t> sums;
  const std::vector<LibraryFileInfo>& files = library_->Files();
  for (std::size_t i = 0; i < files.size(); ++i) {
    QString path = QString::fromStdString(files[i].path);
    const QString shown = path.startsWith(QStringLiteral("AA/")) ? path.mid(3) : path;
    const QStringList parts = shown.split(u'/');
    QTreeWidgetItem* parent = nullptr;
    QString prefix = path.startsWith(QStringLiteral("AA/")) ? QStringLiteral("AA/") : QString();
    for (qsizetype p = 0; p + 1 < parts.size(); ++p) {
      prefix += parts[p] + u'/';
      QTreeWidgetItem*& node = folders[prefix];
      if (node == nullptr) {
        node = NewNode(NodeKind::kFolder, parts[p]);
        node->setData(0, kWhereRole, prefix);
        if (parent == nullptr) {
          Tree->addTopLevelItem(node);
        } else {
          parent->addChild(node);
        }
      }
      sums[node] += files[i].entries;
      parent = node;
    }
    QTreeWidgetItem* item = NewNode(NodeKind::kFile, Counted(parts.last(), files[i].entries));
    item->setData(0, kWhereRole, static_cast<qulonglong>(i));
    item->setToolTip(0, path);
    if (parent == nullptr) {
      Tree->addTopLevelItem(item);
    } else {
      parent->addChild(item);
    }
  }
  for (auto it = sums.begin(); it != sums.end(); ++it) {
    it.key()->setText(0, Counted(it.key()->text(0), it.value()));
    it.key()->setExpanded(true);
  }
  // Room for the branches only where there are folders to open.
  Tree->setRootIsDecorated(!folders.isEmpty());
}

QTreeWidgetItem* LibraryWindow::Node(NodeKind kind) const {
  for (QTreeWidgetItemIterator it(Tree); *it != nullptr; ++it) {
    if (KindOf(*it) == kind) return *it;
  }
  return nullptr;
}

void LibraryWindow::Refresh() {
  const QTreeWidgetItem* node = Tree->currentItem();
  const NodeKind kind = KindOf(node);
  const QString query = Search->text();
  if (kind == NodeKind::kHistory || kind == NodeKind::kFavourites) {
    std::vector<KeptEntry> kept =
        kind == NodeKind::kHistory ? store_->History() : store_->Favourites();
    const QStringList terms =
        query.split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
    kept.erase(std::remove_if(kept.begin(), kept.end(),
                              [&](const KeptEntry& entry) { return !Matches(entry, terms); }),
               kept.end());
    model_->SetKeptRows(std::move(kept));
  } else if (library_ != nullptr) {
    std::vector<std::size_t> found = library_->Search(query.toStdU16String());
    if (kind == NodeKind::kFile || kind == NodeKind::kFolder) {
      const std::vector<LibraryFileInfo>& files = library_->Files();
      std::vector<bool> wanted(files.size(), false);
      if (kind == NodeKind::kFile) {
        wanted.at(node->data(0, kWhereRole).toULongLong()) = true;
      } else {
        const std::string prefix = node->data(0, kWhereRole).toString().toStdString();
        for (std::size_t i = 0; i < files.size(); ++i) {
          wanted[i] = files[i].path.compare(0, prefix.size(), prefix) == 0;
        }
      }
      const std::vector<LibraryEntry>& entries = library_->Entries();
      found.erase(std::remove_if(found.begin(), found.end(),
                                 [&](std::size_t i) { return !wanted[entries[i].file]; }),
                  found.end());
    }
    model_->SetLibraryRows(library_.get(), std::move(found));
  } else {
    model_->SetEmpty();
  }
  Count->setText(Q(u"%1 件").arg(GroupedNumber(static_cast<unsigned>(model_->rowCount()))));
  if (model_->rowCount() > 0) {
    Entries->setCurrentIndex(model_->index(0));
  } else {
    ShowChosen();
  }
}

int LibraryWindow::CurrentRow() const {
  const QModelIndex current = Entries->currentIndex();
  return current.isValid() ? current.row() : -1;
}

void LibraryWindow::ShowChosen() {
  const int row = CurrentRow();
  if (row < 0) {
    Reference->clear();
    Readout->clear();
    Preview->clear();
    return;
  }
  const KeptEntry entry = model_->Entry(row);
  const QString name = QString::fromStdU16String(entry.name);
  Reference->setText(name.isEmpty() ? model_->Reference(row)
                                    : model_->Reference(row) + QStringLiteral("　") + name);
  Readout->setText(ReadoutWords(entry.text) +
                   Q(u"　%1 行").arg(GroupedNumber(SplitLines(entry.text).size())));
  const QImage picture = RenderTextArt(entry.text);
  if (picture.isNull()) {
    Preview->setText(Q(u"大きすぎて表示できません"));
  } else {
    Preview->setPixmap(QPixmap::fromImage(picture));
  }
}

void LibraryWindow::UseEntry(int row, bool shiftJis) {
  if (row < 0 || row >= model_->rowCount()) return;
  const KeptEntry entry = model_->Entry(row);
  const std::u16string& text = entry.text;
  CopyToClipboard(QString::fromStdU16String(shiftJis ? MakeShiftJisSafe(text).text : text));
  const bool shown = main_ != nullptr && main_->ShowInPanel(text);
  store_->Use(entry);
  const QString reference = model_->Reference(row);
  if (shown) {
    Tell(Q(shiftJis ? u"%1 を Shift_JIS でコピーして右の欄に表示しました"
                    : u"%1 をコピーして右の欄に表示しました")
             .arg(reference));
  } else {
    Tell(Q(shiftJis ? u"%1 を Shift_JIS でコピーしました" : u"%1 をコピーしました").arg(reference));
  }
  if (KindOf(Tree->currentItem()) == NodeKind::kHistory) Refresh();
}

void LibraryWindow::CopyEntry(int row, bool shiftJis) {
  if (row < 0 || row >= model_->rowCount()) return;
  const std::u16string text = model_->Entry(row).text;
  CopyToClipboard(QString::fromStdU16String(shiftJis ? MakeShiftJisSafe(text).text : text));
  Tell(Q(shiftJis ? u"%1 を Shift_JIS でコピーしました" : u"%1 をコピーしました")
           .arg(model_->Reference(row)));
}

void LibraryWindow::ShowEntry(int row) {
  if (row < 0 || row >= model_->rowCount() || main_ == nullptr) return;
  if (main_->ShowInPanel(model_->Entry(row).text)) {
    Tell(Q(u"%1 を右の欄に表示しました").arg(model_->Reference(row)));
  } else {
    Tell(Q(u"%1 は長すぎて右の欄に表示できません").arg(model_->Reference(row)));
  }
}

void LibraryWindow::ToggleFavourite(int row) {
  if (row < 0 || row >= model_->rowCount()) return;
  const KeptEntry entry = model_->Entry(row);
  const QString reference = model_->Reference(row);
  if (store_->IsFavourite(entry)) {
    store_->RemoveFavourite(entry);
    Tell(Q(u"%1 をお気に入りから外しました").arg(reference));
  } else {
    store_->AddFavourite(entry);
    Tell(Q(u"%1 をお気に入りに追加しました").arg(reference));
  }
  if (KindOf(Tree->currentItem()) == NodeKind::kFavourites) Refresh();
}

QMenu* LibraryWindow::CreateEntryMenu(int row) {
  auto* menu = new QMenu(this);
  const auto add = [&](const char* name, const QString& caption, std::function<void()> handler) {
    QAction* action = menu->addAction(caption);
    action->setObjectName(QString::fromLatin1(name));
    connect(action, &QAction::triggered, this,
            [handler = std::move(handler)] { RunOrSkip(handler); });
  };
  add("copy", Q(u"コピー"), [this, row] { CopyEntry(row, false); });
  add("copyShiftJis", Q(u"Shift_JIS でコピー"), [this, row] { CopyEntry(row, true); });
  add("showInPanel", Q(u"右の欄に表示"), [this, row] { ShowEntry(row); });
  menu->addSeparator();
  bool favourite = false;
  RunOrSkip([&] { favourite = store_->IsFavourite(model_->Entry(row)); });
  add("favourite", favourite ? Q(u"お気に入りから外す") : Q(u"お気に入りに追加"),
      [this, row] { ToggleFavourite(row); });
  return menu;
}

void LibraryWindow::Escape() {
  if (!Search->text().isEmpty()) {
    Search->clear();
    Search->setFocus(Qt::ShortcutFocusReason);
  } else {
    close();
  }
}

void LibraryWindow::Tell(const QString& words) { Status->setText(words); }

bool LibraryWindow::eventFilter(QObject* watched, QEvent* event) {
  if (event->type() != QEvent::KeyPress) return QWidget::eventFilter(watched, event);
  const auto* key = static_cast<QKeyEvent*>(event);
  if (watched == Search && key->key() == Qt::Key_Down && model_->rowCount() > 0) {
    if (CurrentRow() < 0) Entries->setCurrentIndex(model_->index(0));
    Entries->setFocus(Qt::TabFocusReason);
    return true;
  }
  if (watched == Entries) {
    if (IsEnter(key)) {
      RunOrSkip([&] { UseEntry(CurrentRow(), key->modifiers().testFlag(Qt::ShiftModifier)); });
      return true;
    }
    if (key->matches(QKeySequence::Copy)) {
      RunOrSkip([&] { CopyEntry(CurrentRow(), false); });
      return true;
    }
  }
  return QWidget::eventFilter(watched, event);
}

void LibraryWindow::OnPartlyIndexed() {
  std::unique_ptr<Library> library = indexer_->Take();
  if (library != nullptr && !opened_) SwapLibrary(std::move(library));
}

void LibraryWindow::SwapLibrary(std::unique_ptr<Library> library) {
  // The node and the entry chosen, found again by what they name where they are still there.
  const QTreeWidgetItem* node = Tree->currentItem();
  const NodeKind kind = KindOf(node);
  QString where;
  if (kind == NodeKind::kFolder) where = node->data(0, kWhereRole).toString();
  if (kind == NodeKind::kFile && library_ != nullptr) {
    where =
        QString::fromStdString(library_->Files().at(node->data(0, kWhereRole).toULongLong()).path);
  }
  const QString chosen = CurrentRow() < 0 ? QString() : model_->Reference(CurrentRow());
  model_->SetEmpty();  // its rows point into the library that goes
  library_ = std::move(library);
  FillTree();
  QTreeWidgetItem* again = Tree->topLevelItem(0);
  for (QTreeWidgetItemIterator it(Tree); *it != nullptr; ++it) {
    if (KindOf(*it) != kind) continue;
    const QVariant place = (*it)->data(0, kWhereRole);
    if (kind == NodeKind::kFile
            ? library_->Files().at(place.toULongLong()).path == where.toStdString()
            : kind != NodeKind::kFolder || place.toString() == where) {
      again = *it;
      break;
    }
  }
  {
    const QSignalBlocker quiet(Tree);
    Tree->setCurrentItem(again);
  }
  Refresh();
  for (int row = 0; !chosen.isEmpty() && row < model_->rowCount(); ++row) {
    if (model_->Reference(row) == chosen) {
      Entries->setCurrentIndex(model_->index(row));
      break;
    }
  }
}

void LibraryWindow::closeEvent(QCloseEvent* event) {
  RunOrSkip([this] {
    QSettings settings(SettingsPath(), QSettings::IniFormat);
    settings.setValue(QStringLiteral("LibraryWindow/geometry"), saveGeometry());
    settings.setValue(QStringLiteral("LibraryWindow/splitter"), Splitter->saveState());
  });
  // The worker stops between two files; nothing here waits for it.
  delete indexer_;
  indexer_ = nullptr;
  QWidget::closeEvent(event);
}

}  // namespace koron
