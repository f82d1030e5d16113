#pragma once

#include <QPointer>
#include <QString>
#include <QWidget>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

#include "app/board_choice.h"
#include "app/library_entry_model.h"
#include "library/library_index.h"

class QButtonGroup;
class QLabel;
class QLineEdit;
class QListView;
class QMenu;
class QProgressBar;
class QPushButton;
class QSplitter;
class QTimer;
class QTreeWidget;
class QTreeWidgetItem;

namespace koron {

class Form1;
class Library;
class LibraryIndexer;
class UserStore;

// The library window ＡＡ庫: the library's files in a tree under all entries, the history and
// the favourites; the chosen node's entries that match the search, as thumbnails; the chosen
// entry at full size with its readout. Enter (or a double-click) copies an entry, shows it in
// the main window's right-hand box and puts it in the history. The library is opened, and
// indexed when it needs to be, on a worker; the window is usable meanwhile and fills in when
// that ends. It deletes itself when closed.
class LibraryWindow : public QWidget {
  Q_OBJECT

 public:
  // The tree's nodes, by what they show.
  enum class NodeKind { kAll, kHistory, kFavourites, kFile, kFolder };
  using Size = LibraryEntryModel::Size;

  // `main` (may be null) is the window whose right-hand box shows the entries used.
  explicit LibraryWindow(const QString& folder, Form1* main = nullptr);
  ~LibraryWindow() override;

  QLineEdit* Search = nullptr;
  QLabel* Count = nullptr;
  QSplitter* Splitter = nullptr;
  QTreeWidget* Tree = nullptr;
  QListView* Entries = nullptr;
  QLabel* Reference = nullptr;  // FILE#N of the chosen entry
  QLabel* Readout = nullptr;    // its width, bytes and lines
  QLabel* Preview = nullptr;    // the entry at full size
  QLabel* Status = nullptr;
  QProgressBar* Progress = nullptr;
  QButtonGroup* Sizes = nullptr;     // 小 中 大, by Size
  QPushButton* AddFolder = nullptr;  // フォルダを追加…
  QLabel* HoverPreview = nullptr;    // the entry under the pointer at full size
  QLabel* Nothing = nullptr;         // over an empty list: why it is empty

  bool IsIndexing() const;
  // Whether the results of the search are still being checked, slice by slice.
  bool IsSearching() const;
  // At most this many candidates are read in one slice (for tests; by default only time
  // bounds a slice).
  void SetSearchSlice(std::size_t candidates) { slice_ = candidates; }
  LibraryEntryModel* Model() const { return model_; }
  // The tree's node of that kind (the first, for files and folders); null when there is none.
  QTreeWidgetItem* Node(NodeKind kind) const;
  // The context menu of the entry in `row`; the caller owns it.
  QMenu* CreateEntryMenu(int row);

  // What Enter does (Shift+Enter with `shiftJis`): copy, show in the main window, keep in the
  // history.
  void UseEntry(int row, bool shiftJis);
  void CopyEntry(int row, bool shiftJis);
  void ToggleFavourite(int row);
  void SetThumbnailSize(Size size);
  // Adds `folder` to the library as a link in AA/, named after it (with a number when that name
  // is taken); returns the link's name, or empty when it was not added (the status line says
  // why). Removing takes away only such a link, never the folder.
  QString AddFolderLink(const QString& folder);
  bool RemoveFolderLink(const QString& name);
  // The tree's context menu for `item` (may be null); the caller owns it.
  QMenu* CreateTreeMenu(QTreeWidgetItem* item);
  void ShowHoverPreview(int row, QPoint at);

 signals:
  // The library is open (or could not be), its files in the tree.
  void libraryReady();

 protected:
  void closeEvent(QCloseEvent* event) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void CreateControls();
  void StartIndexing();
  void OnIndexed();
  void FillTree();
  // Shows the chosen node's entries that match the search.
  void Refresh();
  void ShowChosen();
  void CheckSome();
  void StopChecking();
  // The rows are all there: their count, why there are none, the first chosen.
  void ShowFound();
  // The count of entries shown; `more` while the search is still checking.
  void ShowCount(bool more);
  void Escape();
  void Tell(const QString& words);
  int CurrentRow() const;
  // An entry as an action found it, with its FILE#N.
  struct Target {
    KeptEntry entry;
    QString reference;
  };
  std::optional<Target> TargetAt(int row) const;
  void Copy(const Target& target, bool shiftJis);
  void CopyPlain(const Target& target) { Copy(target, false); }
  void CopyShiftJis(const Target& target) { Copy(target, true); }
  void CopyFixed(const Target& target);
  void Show(const Target& target);
  void Toggle(const Target& target);
  void SaveImage(const Target& target);
  void OpenFolder(const Target& target);
  void SayWhyEmpty(NodeKind kind, const QString& query);
  void ChooseFolderToAdd();
  QString LibraryFolder() const;
  // Brings the library up to date with its files, on the worker.
  void UpdateLibrary();
  // Shows what is indexed so far, while the first indexing goes on.
  void OnPartlyIndexed();
  // Shows `library` in place of the one shown, keeping the search, the node and the entry.
  void SwapLibrary(std::unique_ptr<Library> library);

  QString folder_;
  QPointer<Form1> main_;
  LibraryEntryModel* model_ = nullptr;
  LibraryIndexer* indexer_ = nullptr;
  std::unique_ptr<Library> library_;
  std::unique_ptr<UserStore> store_;
  int hoverRow_ = -1;
  LibraryCandidates checking_;  // a search's candidates still to be read, from checked_ on
  std::size_t checked_ = 0;
  std::size_t slice_ = SIZE_MAX;
  QTimer* checkLater_ = nullptr;
  bool opened_ = false;  // a whole library was shown; later ones are updates
};

}  // namespace koron
