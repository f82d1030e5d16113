#pragma once

#include <QAbstractListModel>
#include <QCache>
#include <QPixmap>
#include <QSize>
#include <cstddef>
#include <string>
#include <vector>

#include "library/user_store.h"

namespace koron {

class Library;

// The entries the library window shows, as thumbnails: either entries of the library (by their
// index into Library::Entries(), their text read only when wanted) or kept ones (the history,
// the favourites), which carry their own text. A thumbnail is drawn when the view first asks for
// it, which is when it comes into view, and kept in a cache bounded in pixels.
class LibraryEntryModel : public QAbstractListModel {
  Q_OBJECT

 public:
  static constexpr int kReferenceRole = Qt::UserRole + 1;  // "FILE#N"

  explicit LibraryEntryModel(QObject* parent = nullptr);

  // The thumbnails' box; a smaller picture keeps its own size.
  QSize ThumbnailSize() const { return thumbnailSize_; }

  // `library` must outlive the rows, or be replaced by SetEmpty first.
  void SetLibraryRows(Library* library, std::vector<std::size_t> indexes);
  void SetKeptRows(std::vector<KeptEntry> entries);
  void SetEmpty();

  // The row's entry as the user store keeps it, with its text (time left 0).
  KeptEntry Entry(int row) const;
  QString Reference(int row) const;

  int rowCount(const QModelIndex& parent = QModelIndex()) const override;
  QVariant data(const QModelIndex& index, int role) const override;

 private:
  QString Name(int row) const;
  QPixmap Thumbnail(int row) const;

  Library* library_ = nullptr;
  std::vector<std::size_t> indexes_;
  std::vector<KeptEntry> kept_;
  bool showsKept_ = false;
  QSize thumbnailSize_{128, 96};
  // Library entries by their id; kept ones by their place in the list, cleared with it.
  mutable QCache<QString, QPixmap> thumbnails_;
};

// A picture's thumbnail: its first lines drawn in the text-art font, scaled down to fit `box`.
QPixmap TextArtThumbnail(const std::u16string& text, QSize box);

}  // namespace koron
