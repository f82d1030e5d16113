#include "app/library_window.h"

#include <QAction>
#include <QButtonGroup>
#include <QCloseEvent>
#include <QDesktopServices>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileDialog>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListView>
#include <QMap>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QSettings>
#include <QShortcut>
#include <QSplitter>
#include <QStandardPaths>
#include <QTimer>
#include <QToolButton>
#include <QTreeWidget>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>
#include <climits>
#include <functional>
#include <optional>
#include <utility>

#include "app/balloon.h"
#include "app/box_menu.h"
#include "app/failure_policy.h"
#include "app/form1.h"
#include "app/library_entry_model.h"
#include "app/library_indexer.h"
#include "app/text_box.h"
#include "library/library_index.h"
#include "library/search_folding.h"
#include "library/user_store.h"
#include "posting/dot_widths.h"
#include "posting/shift_jis_safe.h"
#include "posting/spacing_fix.h"
#include "render/text_art.h"

namespace koron {
namespace {

constexpr int kKindRole = Qt::UserRole;
// A file's index; a folder's path with its slash, as the library's bytes (names need not be
// UTF-8: collections unpacked from Windows archives keep code page 932 names).
constexpr int kWhereRole = Qt::UserRole + 1;

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

// Whether a kept entry holds every term, folded as the library's search folds them: in its
// text, name, section or file.
bool Matches(const KeptEntry& entry, const std::vector<std::u16string>& terms) {
  if (terms.empty()) return true;
  const std::u16string haystack =
      FoldForSearch(entry.text + u'\n' + entry.name + u'\n' + entry.section + u'\n' +
                    QString::fromStdString(entry.path).toStdU16String());
  return std::all_of(terms.begin(), terms.end(), [&](const std::u16string& term) {
    return haystack.find(term) != std::u16string::npos;
  });
}

// A file name for an entry's picture: its name, or its file's with its number, without the
// characters file names cannot hold or that file managers stumble on.
QString PictureFileName(const KeptEntry& entry) {
  QString base = QString::fromStdU16String(entry.name);
  if (base.isEmpty()) {
    base = QFileInfo(QString::fromStdString(entry.path)).completeBaseName() + u'-' +
           QString::number(entry.number);
  }
  for (QChar& c : base) {
    if (c == u'/' || c == u'\\' || c.category() == QChar::Other_Control) c = u'_';
  }
  base = base.trimmed();
  if (base.isEmpty() || base.startsWith(u'.')) base.prepend(QStringLiteral("aa"));
  return base.left(100) + QStringLiteral(".png");
}

// `name`, or `name 2`, `name 3` … : the first that names nothing in `folder`, links included.
QString FreeName(const QDir& folder, const QString& name) {
  QString candidate = name;
  const auto taken = [&](const QString& name) {
    const QFileInfo there(folder.filePath(name));
    return there.exists() || there.isSymLink();  // a dangling link takes its name too
  };
  for (int n = 2; taken(candidate); ++n) {
    candidate = QStringLiteral("%1 %2").arg(name, QString::number(n));
  }
  return candidate;
}

// The picture at full size in `label`, or why it is not there.
void ShowPicture(QLabel* label, std::u16string_view text) {
  const QImage picture = RenderTextArt(text);
  if (picture.isNull()) {
    label->setText(QString::fromUtf16(u"大きすぎて表示できません"));
  } else {
    label->setPixmap(QPixmap::fromImage(picture));
  }
}

bool IsEnter(const QKeyEvent* key) {
  return key->key() == Qt::Key_Return || key->key() == Qt::Key_Enter;
}

}  // namespace

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

  const int size = settings.value(QStringLiteral("LibraryWindow/size"), 1).toInt();
  SetThumbnailSize(size >= 0 && size <= 2 ? static_cast<Size>(size) : Size::kMedium);

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
  checkLater_ = new QTimer(this);
  checkLater_->setSingleShot(true);
  checkLater_->setInterval(0);
  connect(checkLater_, &QTimer::timeout, this, [this] { RunOrSkip([this] { CheckSome(); }); });
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
  Entries->setSpacing(4);
  Entries->setContextMenuPolicy(Qt::CustomContextMenu);
  Entries->setDragEnabled(true);
  Entries->setDragDropMode(QAbstractItemView::DragOnly);
  Entries->setDefaultDropAction(Qt::CopyAction);
  Entries->setMouseTracking(true);  // to take the hover preview away as the pointer moves on
  Entries->setModel(model_);

  auto* preview = new QWidget(this);
  Reference = new QLabel(preview);
  Reference->setObjectName(QStringLiteral("reference"));
  Reference->setWordWrap(true);
  Reference->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
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
  AddFolder = new QPushButton(Q(u"フォルダを追加…"), this);
  AddFolder->setObjectName(QStringLiteral("addFolder"));
  auto* treePane = new QWidget(this);
  auto* treeLayout = new QVBoxLayout(treePane);
  treeLayout->setContentsMargins(0, 0, 0, 0);
  treeLayout->addWidget(Tree, 1);
  treeLayout->addWidget(AddFolder);
  Tree->setContextMenuPolicy(Qt::CustomContextMenu);
  connect(AddFolder, &QPushButton::clicked, this,
          [this] { RunOrSkip([this] { ChooseFolderToAdd(); }); });
  connect(Tree, &QTreeWidget::customContextMenuRequested, this, [this](QPoint at) {
    QMenu* menu = CreateTreeMenu(Tree->itemAt(at));
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(Tree->viewport()->mapToGlobal(at));
  });
  Splitter->addWidget(treePane);
  Splitter->addWidget(Entries);
  Splitter->addWidget(preview);
  Splitter->setStretchFactor(1, 1);
  Splitter->setChildrenCollapsible(false);

  Status = new QLabel(this);
  Status->setObjectName(QStringLiteral("status"));
  // Long words (a deep folder's path) are cut at the window's edge rather than widening it.
  Status->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
  Status->setMinimumWidth(1);
  Progress = new QProgressBar(this);
  Progress->setObjectName(QStringLiteral("progress"));
  Progress->setMinimumWidth(320);
  Progress->hide();

  auto* top = new QHBoxLayout;
  top->addWidget(Search, 1);
  top->addWidget(Count);
  Sizes = new QButtonGroup(this);
  const std::pair<Size, const char16_t*> sizes[] = {
      {Size::kSmall, u"小"}, {Size::kMedium, u"中"}, {Size::kLarge, u"大"}};
  for (const auto& [size, caption] : sizes) {
    auto* button = new QToolButton(this);
    button->setText(Q(caption));
    button->setObjectName(QStringLiteral("size%1").arg(static_cast<int>(size)));
    button->setToolTip(Q(u"サムネイルの大きさ: %1").arg(Q(caption)));
    button->setAccessibleName(button->toolTip());
    button->setCheckable(true);
    button->setAutoRaise(true);
    Sizes->addButton(button, static_cast<int>(size));
    top->addWidget(button);
  }
  connect(Sizes, &QButtonGroup::idClicked, this, [this](int id) {
    RunOrSkip([&] {
      SetThumbnailSize(static_cast<Size>(id));
      QSettings(SettingsPath(), QSettings::IniFormat)
          .setValue(QStringLiteral("LibraryWindow/size"), id);
    });
  });
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
          [this](const QModelIndex& current, const QModelIndex& previous) {
            // The cursor passes over a heading, on in the way it went.
            if (current.isValid() && model_->IsHeading(current.row())) {
              const int back = previous.isValid() && previous.row() > current.row() ? -1 : 1;
              for (const int step : {back, -back}) {
                const int row = current.row() + step;
                if (row >= 0 && row < model_->rowCount() && !model_->IsHeading(row)) {
                  Entries->setCurrentIndex(model_->index(row));
                  return;
                }
              }
            }
            RunOrSkip([this] { ShowChosen(); });
          });
  connect(Entries, &QListView::doubleClicked, this,
          [this](const QModelIndex& index) { RunOrSkip([&] { UseEntry(index.row(), false); }); });
  connect(Entries, &QListView::customContextMenuRequested, this, [this](QPoint at) {
    const QModelIndex index = Entries->indexAt(at);
    if (!index.isValid() || model_->IsHeading(index.row())) return;
    Entries->setCurrentIndex(index);
    QMenu* menu = CreateEntryMenu(index.row());
    menu->setAttribute(Qt::WA_DeleteOnClose);
    menu->popup(Entries->viewport()->mapToGlobal(at));
  });
  Search->installEventFilter(this);
  Entries->installEventFilter(this);
  Entries->viewport()->installEventFilter(this);

  // What an empty list means, over the list itself.
  Nothing = new QLabel(Entries->viewport());
  Nothing->setObjectName(QStringLiteral("nothing"));
  Nothing->setAlignment(Qt::AlignCenter);
  Nothing->setWordWrap(true);
  Nothing->setForegroundRole(QPalette::PlaceholderText);
  Nothing->setContentsMargins(16, 16, 16, 16);
  Nothing->hide();

  HoverPreview = new QLabel(this, Qt::ToolTip | Qt::FramelessWindowHint);
  HoverPreview->setObjectName(QStringLiteral("hoverPreview"));
  HoverPreview->setAlignment(Qt::AlignLeft | Qt::AlignTop);
  HoverPreview->setAutoFillBackground(true);
  HoverPreview->setStyleSheet(
      QStringLiteral("QLabel { background: white; border: 1px solid gray; }"));

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
      Tell(Q(u"\uFF21\uFF21はまだありません"));  // the list itself says how to add some
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
  QMap<QByteArray, QTreeWidgetItem*> folders;
  QMap<QTreeWidgetItem*, std::size_t> sums;
  const std::vector<LibraryFileInfo>& files = library_->Files();
  for (std::size_t i = 0; i < files.size(); ++i) {
    const QByteArray path = QByteArray::fromStdString(files[i].path);
    const bool underAA = path.startsWith("AA/");
    const QList<QByteArray> parts = (underAA ? path.mid(3) : path).split('/');
    QTreeWidgetItem* parent = nullptr;
    QByteArray prefix = underAA ? QByteArray("AA/") : QByteArray();
    for (qsizetype p = 0; p + 1 < parts.size(); ++p) {
      prefix += parts[p] + '/';
      QTreeWidgetItem*& node = folders[prefix];
      if (node == nullptr) {
        node = NewNode(NodeKind::kFolder, QFile::decodeName(parts[p]));
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
    QTreeWidgetItem* item =
        NewNode(NodeKind::kFile, Counted(QFile::decodeName(parts.last()), files[i].entries));
    item->setData(0, kWhereRole, static_cast<qulonglong>(i));
    item->setToolTip(0, QFile::decodeName(path));
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
  StopChecking();
  const QTreeWidgetItem* node = Tree->currentItem();
  const NodeKind kind = KindOf(node);
  const QString query = Search->text();
  if (kind == NodeKind::kHistory || kind == NodeKind::kFavourites) {
    std::vector<KeptEntry> kept =
        kind == NodeKind::kHistory ? store_->History() : store_->Favourites();
    const std::vector<std::u16string> terms = SplitQuery(query.toStdU16String());
    kept.erase(std::remove_if(kept.begin(), kept.end(),
                              [&](const KeptEntry& entry) { return !Matches(entry, terms); }),
               kept.end());
    model_->SetKeptRows(std::move(kept));
  } else if (library_ != nullptr) {
    LibraryCandidates candidates = library_->FindCandidates(query.toStdU16String());
    std::vector<std::size_t>& found = candidates.entries;
    if (kind == NodeKind::kFile || kind == NodeKind::kFolder) {
      const std::vector<LibraryFileInfo>& files = library_->Files();
      std::vector<bool> wanted(files.size(), false);
      if (kind == NodeKind::kFile) {
        wanted.at(node->data(0, kWhereRole).toULongLong()) = true;
      } else {
        const std::string prefix = node->data(0, kWhereRole).toByteArray().toStdString();
        for (std::size_t i = 0; i < files.size(); ++i) {
          wanted[i] = files[i].path.compare(0, prefix.size(), prefix) == 0;
        }
      }
      const std::vector<LibraryEntry>& entries = library_->Entries();
      std::size_t kept = 0;
      for (std::size_t k = 0; k < found.size(); ++k) {
        if (!wanted[entries[found[k]].file]) continue;
        found[kept] = found[k];
        candidates.sure[kept++] = candidates.sure[k];
      }
      found.resize(kept);
      candidates.sure.resize(kept);
    }
    if (candidates.unsure.empty()) {
      model_->SetLibraryRows(library_.get(), std::move(found));
    } else {
      // The index only narrows these down: each is read to be sure, a slice at a time, so that
      // the first results show at once and typing never waits for the last.
      model_->SetLibraryRows(library_.get(), {});
      checking_ = std::move(candidates);
      checked_ = 0;
      CheckSome();
      return;
    }
  } else {
    model_->SetEmpty();
  }
  ShowFound();
}

void LibraryWindow::StopChecking() {
  checkLater_->stop();
  checking_ = LibraryCandidates();
  checked_ = 0;
}

bool LibraryWindow::IsSearching() const { return checked_ < checking_.entries.size(); }

void LibraryWindow::CheckSome() {
  constexpr qint64 kSliceMs = 8;
  QElapsedTimer clock;
  clock.start();
  std::vector<std::size_t> found;
  const std::size_t total = checking_.entries.size();
  const std::size_t last = checked_ + std::min(slice_, total - checked_);
  while (checked_ < last && clock.elapsed() < kSliceMs) {
    for (int k = 0; k < 8 && checked_ < last; ++k) {
      const std::size_t at = checked_++;
      if (library_->Holds(at, checking_)) found.push_back(checking_.entries[at]);
    }
  }
  const bool first = model_->rowCount() == 0;
  model_->AppendLibraryRows(found);
  if (checked_ < total) {
    ShowCount(true);
    Nothing->hide();
    if (first && model_->rowCount() > 0) Entries->setCurrentIndex(model_->index(0));
    checkLater_->start();
    return;
  }
  StopChecking();
  if (first) {
    ShowFound();
  } else {
    ShowCount(false);
  }
}

void LibraryWindow::ShowCount(bool more) {
  Count->setText(Q(more ? u"%1 件…" : u"%1 件").arg(GroupedNumber(model_->EntryCount())));
}

void LibraryWindow::ShowFound() {
  ShowCount(false);
  SayWhyEmpty(KindOf(Tree->currentItem()), Search->text());
  if (model_->rowCount() > 0) {
    Entries->setCurrentIndex(model_->index(0));
  } else {
    ShowChosen();
  }
}

void LibraryWindow::SayWhyEmpty(NodeKind kind, const QString& query) {
  QString words;
  if (model_->rowCount() > 0) {
    // nothing to say
  } else if (!query.trimmed().isEmpty()) {
    words = Q(u"「%1」に合う\uFF21\uFF21はありません").arg(query.trimmed());
  } else if (kind == NodeKind::kHistory) {
    words = Q(
        u"使った\uFF21\uFF21はまだありません。\nEnter やダブルクリックで使うと、ここに並びます。");
  } else if (kind == NodeKind::kFavourites) {
    words = Q(
        u"お気に入りはまだありません。\n\uFF21\uFF21を右クリックして「お気に入りに追加」を選ぶと、"
        u"ここに並びます。");
  } else if (library_ != nullptr && library_->Entries().empty()) {
    words =
        Q(u"\uFF21\uFF21はまだありません。\n「フォルダを追加…」で MLT・AST・TXT のファイルがある"
          u"フォルダを加えるか、%1 に入れてください。")
            .arg(QDir::toNativeSeparators(LibraryFolder()));
  }
  Nothing->setText(words);
  Nothing->setVisible(!words.isEmpty());
}

int LibraryWindow::CurrentRow() const {
  const QModelIndex current = Entries->currentIndex();
  return current.isValid() && !model_->IsHeading(current.row()) ? current.row() : -1;
}

void LibraryWindow::ShowChosen() {
  const int row = CurrentRow();
  // Nothing chosen: the lines above the picture give up their room too.
  Reference->setVisible(row >= 0);
  Readout->setVisible(row >= 0);
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
  ShowPicture(Preview, entry.text);
}

void LibraryWindow::UseEntry(int row, bool shiftJis) {
  const std::optional<Target> target = TargetAt(row);
  if (!target) return;
  const std::u16string& text = target->entry.text;
  CopyToClipboard(QString::fromStdU16String(shiftJis ? MakeShiftJisSafe(text).text : text));
  const bool shown = main_ != nullptr && main_->ShowInPanel(text);
  store_->Use(target->entry);
  const QString& reference = target->reference;
  if (shown) {
    Tell(Q(shiftJis ? u"%1 を Shift_JIS でコピーして右の欄に表示しました"
                    : u"%1 をコピーして右の欄に表示しました")
             .arg(reference));
  } else if (main_ != nullptr) {
    Tell(Q(shiftJis ? u"%1 を Shift_JIS でコピーしました（長すぎて右の欄には表示できません）"
                    : u"%1 をコピーしました（長すぎて右の欄には表示できません）")
             .arg(reference));
  } else {
    Tell(Q(shiftJis ? u"%1 を Shift_JIS でコピーしました" : u"%1 をコピーしました").arg(reference));
  }
  if (KindOf(Tree->currentItem()) == NodeKind::kHistory) Refresh();
}

std::optional<LibraryWindow::Target> LibraryWindow::TargetAt(int row) const {
  if (row < 0 || row >= model_->rowCount() || model_->IsHeading(row)) return std::nullopt;
  return Target{model_->Entry(row), model_->Reference(row)};
}

void LibraryWindow::CopyEntry(int row, bool shiftJis) {
  if (const std::optional<Target> target = TargetAt(row)) Copy(*target, shiftJis);
}

void LibraryWindow::ToggleFavourite(int row) {
  if (const std::optional<Target> target = TargetAt(row)) Toggle(*target);
}

void LibraryWindow::Copy(const Target& target, bool shiftJis) {
  const std::u16string& text = target.entry.text;
  CopyToClipboard(QString::fromStdU16String(shiftJis ? MakeShiftJisSafe(text).text : text));
  Tell(Q(shiftJis ? u"%1 を Shift_JIS でコピーしました" : u"%1 をコピーしました")
           .arg(target.reference));
}

void LibraryWindow::CopyFixed(const Target& target) {
  const SpacingFix fix = FixSpacing(target.entry.text, ChosenBoard());
  CopyToClipboard(QString::fromStdU16String(fix.text));
  if (fix.misses.empty()) {
    Tell(Q(u"%1 を掲示板向けに空白を整えてコピーしました").arg(target.reference));
  } else {
    Tell(Q(u"%1 を空白を整えてコピーしました（%2 か所は幅を保てませんでした）")
             .arg(target.reference, GroupedNumber(fix.misses.size())));
  }
}

void LibraryWindow::Show(const Target& target) {
  if (main_ == nullptr) return;
  if (main_->ShowInPanel(target.entry.text)) {
    Tell(Q(u"%1 を右の欄に表示しました").arg(target.reference));
  } else {
    Tell(Q(u"%1 は長すぎて右の欄に表示できません").arg(target.reference));
  }
}

void LibraryWindow::Toggle(const Target& target) {
  if (store_->IsFavourite(target.entry)) {
    store_->RemoveFavourite(target.entry);
    Tell(Q(u"%1 をお気に入りから外しました").arg(target.reference));
  } else {
    store_->AddFavourite(target.entry);
    Tell(Q(u"%1 をお気に入りに追加しました").arg(target.reference));
  }
  if (KindOf(Tree->currentItem()) == NodeKind::kFavourites) Refresh();
}

QMenu* LibraryWindow::CreateEntryMenu(int row) {
  auto* menu = new QMenu(this);
  // The entry as it is now: the list may be rebuilt while the menu is open (a file changed),
  // and its row would then name another.
  const std::optional<Target> chosen = TargetAt(row);
  if (!chosen) return menu;
  const Target target = *chosen;
  const auto add = [&](const char* name, const QString& caption,
                       void (LibraryWindow::*handler)(const Target&)) {
    QAction* action = menu->addAction(caption);
    action->setObjectName(QString::fromLatin1(name));
    connect(action, &QAction::triggered, this,
            [this, handler, target] { RunOrSkip([&] { (this->*handler)(target); }); });
  };
  add("copy", Q(u"コピー"), &LibraryWindow::CopyPlain);
  add("copyShiftJis", Q(u"Shift_JIS でコピー"), &LibraryWindow::CopyShiftJis);
  add("copyFixedSpacing", Q(u"掲示板向けに空白を整えてコピー"), &LibraryWindow::CopyFixed);
  add("showInPanel", Q(u"右の欄に表示"), &LibraryWindow::Show);
  menu->addSeparator();
  bool favourite = false;
  RunOrSkip([&] { favourite = store_->IsFavourite(target.entry); });
  add("saveImage", Q(u"画像として保存…"), &LibraryWindow::SaveImage);
  menu->addSeparator();
  add("favourite", favourite ? Q(u"お気に入りから外す") : Q(u"お気に入りに追加"),
      &LibraryWindow::Toggle);
  add("openFolder", Q(u"フォルダを開く"), &LibraryWindow::OpenFolder);
  return menu;
}

void LibraryWindow::SaveImage(const Target& target) {
  QSettings settings(SettingsPath(), QSettings::IniFormat);
  QString folder = settings.value(QStringLiteral("LibraryWindow/imageFolder")).toString();
  if (folder.isEmpty() || !QFileInfo(folder).isDir()) {
    folder = QStandardPaths::writableLocation(QStandardPaths::PicturesLocation);
    if (!QFileInfo(folder).isDir()) folder = QDir::homePath();
  }
  QString failure;
  const QString saved =
      AskAndSaveImage(this, target.entry.text, folder, PictureFileName(target.entry), &failure);
  if (!saved.isEmpty()) {
    settings.setValue(QStringLiteral("LibraryWindow/imageFolder"), QFileInfo(saved).absolutePath());
    Tell(Q(u"%1 を %2 に保存しました").arg(target.reference, QDir::toNativeSeparators(saved)));
  } else if (!failure.isEmpty()) {
    Tell(failure);
  }
}

void LibraryWindow::OpenFolder(const Target& target) {
  const QString file = QDir(folder_).filePath(QFile::decodeName(target.entry.path.c_str()));
  const QString where = QFileInfo(file).absolutePath();
  if (!QFileInfo(where).isDir()) {
    Tell(Q(u"フォルダ %1 がありません").arg(QDir::toNativeSeparators(where)));
  } else if (!QDesktopServices::openUrl(QUrl::fromLocalFile(where))) {
    Tell(Q(u"フォルダ %1 を開けませんでした").arg(QDir::toNativeSeparators(where)));
  } else {
    Tell(Q(u"フォルダ %1 を開きました").arg(QDir::toNativeSeparators(where)));
  }
}

void LibraryWindow::SetThumbnailSize(Size size) {
  const int row = CurrentRow();
  model_->SetThumbnailSize(LibraryEntryModel::BoxOf(size));
  Entries->setIconSize(model_->ThumbnailSize());
  const int textHeight = Entries->fontMetrics().height();
  Entries->setGridSize(model_->ThumbnailSize() + QSize(16, textHeight + 12));
  if (QAbstractButton* button = Sizes->button(static_cast<int>(size))) button->setChecked(true);
  if (row >= 0) {
    Entries->setCurrentIndex(model_->index(row));
    Entries->scrollTo(model_->index(row));
  }
}

QString LibraryWindow::LibraryFolder() const {
  return QDir(folder_).filePath(QStringLiteral("AA"));
}

void LibraryWindow::ChooseFolderToAdd() {
  const QString chosen =
      QFileDialog::getExistingDirectory(this, Q(u"ＡＡ庫に追加するフォルダ"), QDir::homePath());
  if (!chosen.isEmpty()) AddFolderLink(chosen);
}

QString LibraryWindow::AddFolderLink(const QString& chosen) {
  const QFileInfo target(chosen);
  const QString canonical = target.canonicalFilePath();
  if (canonical.isEmpty() || !target.isDir()) {
    Tell(Q(u"%1 はフォルダではありません").arg(QDir::toNativeSeparators(chosen)));
    return QString();
  }
  QDir aa(LibraryFolder());
  if (!aa.exists() && !QDir().mkpath(aa.path())) {
    Tell(Q(u"フォルダ %1 を作れませんでした").arg(QDir::toNativeSeparators(aa.path())));
    return QString();
  }
  // A folder already reached from AA/, or one that holds the library itself, is not linked
  // again: the first would list its pictures twice, the second the whole library in itself.
  const QString aaCanonical = QFileInfo(aa.path()).canonicalFilePath();
  const auto inside = [](const QString& path, const QString& folder) {
    return path == folder || path.startsWith(folder + u'/');
  };
  if (inside(canonical, aaCanonical) || inside(aaCanonical, canonical)) {
    Tell(Q(u"%1 はもうＡＡ庫にあります").arg(QDir::toNativeSeparators(chosen)));
    return QString();
  }
  for (const QFileInfo& link :
       aa.entryInfoList(QDir::AllDirs | QDir::NoDotAndDotDot | QDir::System)) {
    if (link.isSymLink() && link.canonicalFilePath() == canonical) {
      Tell(Q(u"%1 はもう %2 としてＡＡ庫にあります")
               .arg(QDir::toNativeSeparators(chosen), link.fileName()));
      return QString();
    }
  }
  QString name = target.fileName();
  if (name.isEmpty() || name.startsWith(u'.')) name = QStringLiteral("folder");
  name = FreeName(aa, name);
  if (!QFile::link(canonical, aa.filePath(name))) {
    Tell(Q(u"%1 にリンクを作れませんでした").arg(QDir::toNativeSeparators(aa.filePath(name))));
    return QString();
  }
  Tell(Q(u"%1 を %2 としてＡＡ庫に追加しました").arg(QDir::toNativeSeparators(chosen), name));
  UpdateLibrary();
  return name;
}

bool LibraryWindow::RemoveFolderLink(const QString& name) {
  const QFileInfo link(QDir(LibraryFolder()).filePath(name));
  if (name.isEmpty() || name.contains(u'/') || !link.isSymLink()) return false;
  // Removing the link leaves the folder it leads to as it is.
  if (!QFile::remove(link.filePath())) {
    Tell(Q(u"リンク %1 を削除できませんでした").arg(QDir::toNativeSeparators(link.filePath())));
    return false;
  }
  Tell(Q(u"%1 をＡＡ庫から外しました（フォルダ %2 はそのままです）")
           .arg(name, QDir::toNativeSeparators(link.symLinkTarget())));
  UpdateLibrary();
  return true;
}

QMenu* LibraryWindow::CreateTreeMenu(QTreeWidgetItem* item) {
  auto* menu = new QMenu(this);
  QAction* add = menu->addAction(Q(u"フォルダを追加…"));
  add->setObjectName(QStringLiteral("addFolder"));
  connect(add, &QAction::triggered, this, [this] { RunOrSkip([this] { ChooseFolderToAdd(); }); });
  // A folder added by a link directly in AA/ can be taken out again.
  if (item != nullptr && KindOf(item) == NodeKind::kFolder) {
    const QByteArray where = item->data(0, kWhereRole).toByteArray();  // "AA/name/"
    const QString name = QFile::decodeName(where.mid(3).chopped(1));
    if (where.startsWith("AA/") && !name.contains(u'/') &&
        QFileInfo(QDir(LibraryFolder()).filePath(name)).isSymLink()) {
      QAction* remove = menu->addAction(Q(u"ＡＡ庫から外す"));
      remove->setObjectName(QStringLiteral("removeFolder"));
      connect(remove, &QAction::triggered, this,
              [this, name] { RunOrSkip([&] { RemoveFolderLink(name); }); });
    }
  }
  return menu;
}

void LibraryWindow::UpdateLibrary() {
  // The files are followed anyway; this spares the wait for the folder's own notice.
  if (indexer_ != nullptr) indexer_->Update();
}

void LibraryWindow::ShowHoverPreview(int row, QPoint at) {
  if (row < 0 || row >= model_->rowCount() || model_->IsHeading(row)) {
    HoverPreview->hide();
    return;
  }
  if (row != hoverRow_ || !HoverPreview->isVisible()) {
    ShowPicture(HoverPreview, model_->Entry(row).text);
    HoverPreview->adjustSize();
    hoverRow_ = row;
  }
  // Beside the pointer, kept on its screen; a picture larger than the screen shows its top left.
  QRect box(at + QPoint(16, 16), HoverPreview->size());
  if (const QScreen* screen = QGuiApplication::screenAt(at)) {
    const QRect room = screen->availableGeometry();
    box.setSize(box.size().boundedTo(room.size()));
    if (box.right() > room.right()) box.moveRight(std::max(room.left(), at.x() - 16));
    if (box.bottom() > room.bottom()) box.moveBottom(room.bottom());
    if (box.left() < room.left()) box.moveLeft(room.left());
    if (box.top() < room.top()) box.moveTop(room.top());
  }
  HoverPreview->setGeometry(box);
  HoverPreview->show();
}

void LibraryWindow::Escape() {
  if (HoverPreview->isVisible()) {
    HoverPreview->hide();
  } else if (!Search->text().isEmpty()) {
    Search->clear();
    Search->setFocus(Qt::ShortcutFocusReason);
  } else {
    close();
  }
}

void LibraryWindow::Tell(const QString& words) {
  Status->setText(words);
  Status->setToolTip(words);  // all of it, where the line is too short
}

bool LibraryWindow::eventFilter(QObject* watched, QEvent* event) {
  if (watched == Entries->viewport()) {
    switch (event->type()) {
      case QEvent::Resize:
        Nothing->setGeometry(Entries->viewport()->rect());
        break;
      case QEvent::ToolTip: {
        const auto* help = static_cast<QHelpEvent*>(event);
        const QModelIndex index = Entries->indexAt(help->pos());
        RunOrSkip([&] { ShowHoverPreview(index.isValid() ? index.row() : -1, help->globalPos()); });
        return true;
      }
      case QEvent::MouseMove:
        if (HoverPreview->isVisible() &&
            Entries->indexAt(static_cast<QMouseEvent*>(event)->pos()).row() != hoverRow_) {
          HoverPreview->hide();
        }
        break;
      case QEvent::Leave:
      case QEvent::MouseButtonPress:
      case QEvent::Wheel:
        HoverPreview->hide();
        break;
      default:
        break;
    }
    return QWidget::eventFilter(watched, event);
  }
  if (event->type() != QEvent::KeyPress) return QWidget::eventFilter(watched, event);
  HoverPreview->hide();
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
  std::string where;
  if (kind == NodeKind::kFolder) where = node->data(0, kWhereRole).toByteArray().toStdString();
  if (kind == NodeKind::kFile && library_ != nullptr) {
    where = library_->Files().at(node->data(0, kWhereRole).toULongLong()).path;
  }
  const QString chosen = CurrentRow() < 0 ? QString() : model_->Reference(CurrentRow());
  StopChecking();
  model_->SetEmpty();  // its rows point into the library that goes
  library_ = std::move(library);
  FillTree();
  QTreeWidgetItem* again = Tree->topLevelItem(0);
  for (QTreeWidgetItemIterator it(Tree); *it != nullptr; ++it) {
    if (KindOf(*it) != kind) continue;
    const QVariant place = (*it)->data(0, kWhereRole);
    if (kind == NodeKind::kFile
            ? library_->Files().at(place.toULongLong()).path == where
            : kind != NodeKind::kFolder || place.toByteArray().toStdString() == where) {
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
