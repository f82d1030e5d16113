#include "app/library_entry_model.h"

#include <QElapsedTimer>
#include <QFont>
#include <QImage>
#include <QMimeData>
#include <QPainter>
#include <QTimer>
#include <algorithm>
#include <utility>

#include "library/library_index.h"
#include "render/text_art.h"

namespace koron {
namespace {

// A thumbnail shows no more than a screenful of the picture, so a huge entry costs no more to
// draw than an ordinary one.
constexpr std::size_t kThumbnailLines = 40;
constexpr std::size_t kThumbnailLineLength = 200;

std::u16string Beginning(const std::u16string& text) {
  std::u16string head;
  std::size_t lines = 0;
  std::size_t start = 0;
  while (start < text.size() && lines < kThumbnailLines) {
    std::size_t end = text.find(u'\n', start);
    if (end == std::u16string::npos) end = text.size();
    std::size_t length = end - start;
    if (length > 0 && text[start + length - 1] == u'\r') --length;
    head.append(text, start, std::min(length, kThumbnailLineLength));
    head += u"\r\n";
    ++lines;
    start = end + 1;
  }
  return head;
}

}  // namespace

QPixmap TextArtThumbnail(const std::u16string& text, QSize box) {
  QImage picture = RenderTextArt(Beginning(text));
  if (picture.isNull()) return QPixmap();
  if (picture.width() > box.width() || picture.height() > box.height()) {
    picture = picture.scaled(box, Qt::KeepAspectRatio, Qt::SmoothTransformation);
  }
  // Every thumbnail fills the whole box, the picture centred on white, so that the names below
  // them stand in one line.
  QPixmap thumbnail(box);
  thumbnail.fill(Qt::white);
  QPainter painter(&thumbnail);
  painter.drawImage((box.width() - picture.width()) / 2, (box.height() - picture.height()) / 2,
                    picture);
  return thumbnail;
}

QSize LibraryEntryModel::BoxOf(Size size) {
  switch (size) {
    case Size::kSmall:
      return {80, 60};
    case Size::kMedium:
      break;
    case Size::kLarge:
      return {224, 168};
  }
  return {128, 96};
}

LibraryEntryModel::LibraryEntryModel(QObject* parent) : QAbstractListModel(parent) {
  thumbnails_.setMaxCost(16 * 1024 * 1024);  // pixels: 64 MB at most
  drawLater_ = new QTimer(this);
  drawLater_->setSingleShot(true);
  drawLater_->setInterval(0);
  connect(drawLater_, &QTimer::timeout, this, &LibraryEntryModel::DrawPending);
  // Rows that moved or went are no longer the ones asked for.
  connect(this, &QAbstractItemModel::modelReset, this, [this] { pending_.clear(); });
}

void LibraryEntryModel::SetThumbnailSize(QSize box) {
  if (box == thumbnailSize_) return;
  beginResetModel();
  thumbnails_.clear();
  thumbnailSize_ = box;
  endResetModel();
}

void LibraryEntryModel::SetLibraryRows(Library* library, std::vector<std::size_t> indexes) {
  beginResetModel();
  if (showsKept_ || library != library_) thumbnails_.clear();
  library_ = library;
  kept_.clear();
  showsKept_ = false;
  headings_ = 0;
  rows_ = RowsFor(indexes, nullptr);
  endResetModel();
}

void LibraryEntryModel::AppendLibraryRows(const std::vector<std::size_t>& indexes) {
  if (indexes.empty() || showsKept_ || library_ == nullptr) return;
  const std::vector<Row> more =
      RowsFor(indexes, rows_.empty() ? nullptr : &library_->Entries()[rows_.back().index]);
  const int first = static_cast<int>(rows_.size());
  beginInsertRows(QModelIndex(), first, first + static_cast<int>(more.size()) - 1);
  rows_.insert(rows_.end(), more.begin(), more.end());
  endInsertRows();
}

std::vector<LibraryEntryModel::Row> LibraryEntryModel::RowsFor(
    const std::vector<std::size_t>& indexes, const LibraryEntry* previous) {
  const std::vector<LibraryEntry>& entries = library_->Entries();
  std::vector<Row> rows;
  rows.reserve(indexes.size());
  for (const std::size_t index : indexes) {
    const LibraryEntry& entry = entries[index];
    const bool newSection =
        previous == nullptr || previous->file != entry.file || previous->section != entry.section;
    if (newSection && !entry.section.empty()) {
      rows.push_back({index, true});
      ++headings_;
    }
    rows.push_back({index, false});
    previous = &entry;
  }
  return rows;
}

void LibraryEntryModel::SetKeptRows(std::vector<KeptEntry> entries) {
  beginResetModel();
  thumbnails_.clear();
  kept_ = std::move(entries);
  rows_.clear();
  headings_ = 0;
  showsKept_ = true;
  endResetModel();
}

void LibraryEntryModel::SetEmpty() {
  beginResetModel();
  thumbnails_.clear();
  library_ = nullptr;
  rows_.clear();
  headings_ = 0;
  kept_.clear();
  showsKept_ = false;
  endResetModel();
}

int LibraryEntryModel::rowCount(const QModelIndex& parent) const {
  if (parent.isValid()) return 0;
  return static_cast<int>(showsKept_ ? kept_.size() : rows_.size());
}

bool LibraryEntryModel::IsHeading(int row) const {
  return !showsKept_ && row >= 0 && static_cast<std::size_t>(row) < rows_.size() &&
         rows_[static_cast<std::size_t>(row)].heading;
}

std::size_t LibraryEntryModel::EntryCount() const {
  return showsKept_ ? kept_.size() : rows_.size() - headings_;
}

const LibraryEntry& LibraryEntryModel::LibraryEntryOf(int row) const {
  return library_->Entries().at(rows_.at(static_cast<std::size_t>(row)).index);
}

KeptEntry LibraryEntryModel::Entry(int row) const {
  if (showsKept_) return kept_.at(static_cast<std::size_t>(row));
  const LibraryEntry& entry = LibraryEntryOf(row);
  KeptEntry kept;
  kept.path = library_->Files()[entry.file].path;
  kept.number = entry.number;
  kept.name = entry.name;
  kept.section = entry.section;
  kept.text = library_->Text(entry);
  return kept;
}

QString LibraryEntryModel::Reference(int row) const {
  std::string path;
  std::uint32_t number = 0;
  if (showsKept_) {
    const KeptEntry& kept = kept_.at(static_cast<std::size_t>(row));
    path = kept.path;
    number = kept.number;
  } else {
    const LibraryEntry& entry = LibraryEntryOf(row);
    path = library_->Files()[entry.file].path;
    number = entry.number;
  }
  return QString::fromStdString(path) + u'#' + QString::number(number);
}

QString LibraryEntryModel::Name(int row) const {
  const std::u16string& name =
      showsKept_ ? kept_.at(static_cast<std::size_t>(row)).name : LibraryEntryOf(row).name;
  return QString::fromStdU16String(name);
}

QString LibraryEntryModel::ThumbnailKey(int row) const {
  return showsKept_ ? QStringLiteral("k%1").arg(row)
                    : QStringLiteral("e%1").arg(LibraryEntryOf(row).id);
}

QPixmap LibraryEntryModel::Thumbnail(int row) const {
  const QString key = ThumbnailKey(row);
  if (const QPixmap* cached = thumbnails_.object(key)) return *cached;
  // Drawn soon, a few at a time between events, so that scrolling never waits for a page of
  // them; a blank box stands in meanwhile.
  if (std::find(pending_.begin(), pending_.end(), row) == pending_.end()) pending_.push_back(row);
  drawLater_->start();
  if (blank_.size() != thumbnailSize_) {
    blank_ = QPixmap(thumbnailSize_);
    blank_.fill(Qt::white);
  }
  return blank_;
}

void LibraryEntryModel::DrawPending() {
  constexpr qint64 kSliceMs = 12;
  QElapsedTimer clock;
  clock.start();
  while (!pending_.empty() && clock.elapsed() < kSliceMs) {
    const int row = pending_.front();
    pending_.erase(pending_.begin());
    if (row >= rowCount() || IsHeading(row)) continue;
    const QString key = ThumbnailKey(row);
    if (!thumbnails_.contains(key)) {
      const QPixmap thumbnail = TextArtThumbnail(Entry(row).text, thumbnailSize_);
      thumbnails_.insert(key, new QPixmap(thumbnail),
                         std::max(1, thumbnail.width() * thumbnail.height()));
    }
    emit dataChanged(index(row), index(row), {Qt::DecorationRole});
  }
  if (!pending_.empty()) drawLater_->start();
}

// A section's heading fills a thumbnail's box: its words in bold, wrapped, over a rule.
QPixmap LibraryEntryModel::Heading(int row) const {
  QPixmap heading(thumbnailSize_);
  heading.fill(Qt::transparent);
  QPainter painter(&heading);
  QFont font = painter.font();
  font.setBold(true);
  painter.setFont(font);
  const QRect box(4, 4, thumbnailSize_.width() - 8, thumbnailSize_.height() - 12);
  painter.drawText(box, Qt::AlignLeft | Qt::AlignBottom | Qt::TextWordWrap,
                   QString::fromStdU16String(LibraryEntryOf(row).section));
  painter.fillRect(QRect(4, thumbnailSize_.height() - 6, thumbnailSize_.width() - 8, 2),
                   QColor(0x80, 0x80, 0x80));
  return heading;
}

QVariant LibraryEntryModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= rowCount()) return {};
  const int row = index.row();
  if (IsHeading(row)) {
    switch (role) {
      case Qt::DecorationRole:
        return Heading(row);
      case Qt::ToolTipRole:
      case Qt::AccessibleTextRole:
        return QString::fromStdU16String(LibraryEntryOf(row).section);
      case kHeadingRole:
        return true;
      default:
        return {};
    }
  }
  switch (role) {
    case Qt::DisplayRole: {
      // A nameless page is captioned by its file's own name and number: the folders above it
      // are in the tree, and would crowd every caption alike.
      const QString name = Name(row);
      if (!name.isEmpty()) return name;
      const QString reference = Reference(row);
      return reference.mid(reference.lastIndexOf(u'/', reference.lastIndexOf(u'#')) + 1);
    }
    case Qt::ToolTipRole: {
      const QString name = Name(row);
      return name.isEmpty() ? Reference(row) : Reference(row) + u'\n' + name;
    }
    case Qt::DecorationRole:
      return Thumbnail(row);
    case kReferenceRole:
      return Reference(row);
    case kHeadingRole:
      return false;
    default:
      return {};
  }
}

Qt::ItemFlags LibraryEntryModel::flags(const QModelIndex& index) const {
  if (!index.isValid()) return Qt::NoItemFlags;
  // A heading can hold the cursor as it passes, but is never chosen.
  if (IsHeading(index.row())) return Qt::ItemIsEnabled;
  return Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsDragEnabled;
}

QStringList LibraryEntryModel::mimeTypes() const { return {QStringLiteral("text/plain")}; }

QMimeData* LibraryEntryModel::mimeData(const QModelIndexList& indexes) const {
  QString text;
  for (const QModelIndex& index : indexes) {
    if (!index.isValid() || IsHeading(index.row())) continue;
    text += QString::fromStdU16String(Entry(index.row()).text);
  }
  if (text.isEmpty()) return nullptr;
  auto* data = new QMimeData;
  data->setText(text);
  return data;
}

}  // namespace koron
