#pragma once

#include <sys/stat.h>
#include <QFileSystemWatcher>
#include <QObject>
#include <QString>
#include <QStringList>
#include <QTimer>
#include <vector>

namespace koron {

// Tells when one of the template list files of a folder has changed: rewritten in place,
// replaced by a rename (as many editors save), created or removed, or the folder itself replaced.
// The events of one save come in a burst, so they are gathered for a moment and each changed
// file is reported once; a burst that never ends is still reported now and then.
class ListWatcher : public QObject {
  Q_OBJECT

 public:
  ListWatcher(const QString& folder, const QStringList& names, QObject* parent);

  // Takes the files as they are now as the state that was last read.
  void TakeCurrentState();

 signals:
  // `which` is the index of the file's name in the names the watcher was made with.
  void listChanged(int which);

 private:
  // What tells one version of a file from the next without reading it.
  struct Stamp {
    bool exists = false;
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    timespec modified{};
    bool operator==(const Stamp& other) const;
  };

  // A file as last read: its stamp, and whether it may have changed since without a new stamp.
  struct Read {
    Stamp stamp;
    bool racy = false;
  };

  // A folder watched by its path, with the one that stood under the path when it was watched.
  struct Folder {
    QString path;
    dev_t device = 0;
    ino_t inode = 0;
  };

  Stamp StampOf(int which) const;
  Read ReadOf(int which) const;
  void CheckRacyLater();
  void WatchFolders();
  void WatchFiles();
  void Changed();
  void Settle();

  std::vector<Folder> folders_;  // the list folder, then its parent
  QStringList paths_;
  std::vector<Read> read_;
  QFileSystemWatcher watcher_;
  QTimer settle_;
  QTimer longestWait_;
  QTimer racyCheck_;
};

}  // namespace koron
