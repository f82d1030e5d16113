#pragma once

#include <QAbstractListModel>
#include <QCache>
#include <QPixmap>
#include <QSize>
#include <QStringList>
#include <cstddef>
#include <string>
#include <vector>

#include "library/user_store.h"

class QTimer;

namespace koron {

class Library;
struct LibraryEntry;

// The entries the library window shows, as thumbnails: either entries of the library (by their
// index into Library::Entries(), their text read only when wanted) or kept ones (the history,
// the favourites), which carry their own text. Among the library's entries, a heading row comes
// before each run of entries of one section of a file; it can be neither chosen nor used. A
// thumbnail is drawn when the view first asks for it, which is when it comes into view, and kept
// in a cache bounded in pixels. Entries can be dragged out as plain text.
class LibraryEntryModel : public QAbstractListModel {
  Q_OBJECT

 public:
  static constexpr int kReferenceRole = Qt::UserRole + 1;  // "FILE#N"
  static constexpr int kHeadingRole = Qt::UserRole + 2;    // true on a section's heading

  // The thumbnails' boxes, 小, 中 and 大.
  enum class Size { kSmall, kMedium, kLarge };
  static QSize BoxOf(Size size);

  explicit LibraryEntryModel(QObject* parent = nullptr);

  // The thumbnails' box; a smaller picture keeps its own size.
  QSize ThumbnailSize() const { return thumbnailSize_; }
  void SetThumbnailSize(QSize box);

  // `library` must outlive the rows, or be replaced by SetEmpty first.
  void SetLibraryRows(Library* library, std::vector<std::size_t> indexes);
  // More of the library's entries after those shown, in library order.
  void AppendLibraryRows(const std::vector<std::size_t>& indexes);
  void SetKeptRows(std::vector<KeptEntry> entries);
  void SetEmpty();

  bool IsHeading(int row) const;
  // Rows that are entries, headings not counted.
  std::size_t EntryCount() const;

  // The row's entry as the user store keeps it, with its text (time left 0). Not for a heading.
  KeptEntry Entry(int row) const;
  QString Reference(int row) const;

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role) const override;
  Qt::ItemFlags flags(const QModelIndex& index) const override;
  QStringList mimeTypes() const override;
  QMimeData* mimeData(const QModelIndexList& indexes) const override;

 private:
  QString Name(int row) const;
  QPixmap Thumbnail(int row) const;
  QString ThumbnailKey(int row) const;
  void DrawPending();

  // A library row: the entry's index into Library::Entries(); a heading holds that of the first
  // entry of its section.
  struct Row {
    std::size_t index;
    bool heading;
  };
  const LibraryEntry& LibraryEntryOf(int row) const;
  // Rows for `indexes`, with a heading where a section begins after `previous` (counted in
  // headings_).
  std::vector<Row> RowsFor(const std::vector<std::size_t>& indexes, const LibraryEntry* previous);
  QPixmap Heading(int row) const;

  Library* library_ = nullptr;
  std::vector<Row> rows_;
  std::size_t headings_ = 0;
  std::vector<KeptEntry> kept_;
  bool showsKept_ = false;
  QSize thumbnailSize_{128, 96};
  // Library entries by their id; kept ones by their place in the list, cleared with it.
  mutable QCache<QString, QPixmap> thumbnails_;
  mutable std::vector<int> pending_;  // rows asked for and not drawn yet, first asked first
  mutable QPixmap blank_;
  QTimer* drawLater_ = nullptr;
};

// A picture's thumbnail: its first lines drawn in the text-art font, scaled down to fit `box`.
QPixmap TextArtThumbnail(const std::u16string& text, QSize box);

}  // namespace koron
