#include "app/library_entry_model.h"

#include <QImage>
#include <QPainter>
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

LibraryEntryModel::LibraryEntryModel(QObject* parent) : QAbstractListModel(parent) {
  thumbnails_.setMaxCost(16 * 1024 * 1024);  // pixels: 64 MB at most
}

void LibraryEntryModel::SetLibraryRows(Library* library, std::vector<std::size_t> indexes) {
  beginResetModel();
  if (showsKept_ || library != library_) thumbnails_.clear();
  library_ = library;
  indexes_ = std::move(indexes);
  kept_.clear();
  showsKept_ = false;
  endResetModel();
}

void LibraryEntryModel::SetKeptRows(std::vector<KeptEntry> entries) {
  beginResetModel();
  thumbnails_.clear();
  kept_ = std::move(entries);
  indexes_.clear();
  showsKept_ = true;
  endResetModel();
}

void LibraryEntryModel::SetEmpty() {
  beginResetModel();
  thumbnails_.clear();
  library_ = nullptr;
  indexes_.clear();
  kept_.clear();
  showsKept_ = false;
  endResetModel();
}

int LibraryEntryModel::rowCount(const QModelIndex& parent) const {
  if (parent.isValid()) return 0;
  return static_cast<int>(showsKept_ ? kept_.size() : indexes_.size());
}

KeptEntry LibraryEntryModel::Entry(int row) const {
  if (showsKept_) return kept_.at(static_cast<std::size_t>(row));
  const LibraryEntry& entry = library_->Entries().at(indexes_.at(static_cast<std::size_t>(row)));
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
    const LibraryEntry& entry = library_->Entries().at(indexes_.at(static_cast<std::size_t>(row)));
    path = library_->Files()[entry.file].path;
    number = entry.number;
  }
  return QString::fromStdString(path) + u'#' + QString::number(number);
}

QString LibraryEntryModel::Name(int row) const {
  const std::u16string& name =
      showsKept_ ? kept_.at(static_cast<std::size_t>(row)).name
                 : library_->Entries().at(indexes_.at(static_cast<std::size_t>(row))).name;
  return QString::fromStdU16String(name);
}

QPixmap LibraryEntryModel::Thumbnail(int row) const {
  const QString key =
      showsKept_ ? QStringLiteral("k%1").arg(row)
                 : QStringLiteral("e%1").arg(
                       library_->Entries().at(indexes_.at(static_cast<std::size_t>(row))).id);
  if (const QPixmap* cached = thumbnails_.object(key)) return *cached;
  QPixmap thumbnail = TextArtThumbnail(Entry(row).text, thumbnailSize_);
  const int cost = std::max(1, thumbnail.width() * thumbnail.height());
  thumbnails_.insert(key, new QPixmap(thumbnail), cost);
  return thumbnail;
}

QVariant LibraryEntryModel::data(const QModelIndex& index, int role) const {
  if (!index.isValid() || index.row() >= rowCount()) return {};
  const int row = index.row();
  switch (role) {
    case Qt::DisplayRole: {
      const QString name = Name(row);
      return name.isEmpty() ? Reference(row) : name;
    }
    case Qt::ToolTipRole: {
      const QString name = Name(row);
      return name.isEmpty() ? Reference(row) : Reference(row) + u'\n' + name;
    }
    case Qt::DecorationRole:
      return Thumbnail(row);
    case kReferenceRole:
      return Reference(row);
    default:
      return {};
  }
}

}  // namespace koron
