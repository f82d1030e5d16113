#pragma once

#include <sys/stat.h>
#include <QFileSystemWatcher>
#include <QObject>
#include <QString>
#include <QTimer>
#include <array>

namespace koron {

// Tells when one of the two template list files of a folder has changed: rewritten in place,
// replaced by a rename (as many editors save), created or removed. The events of one save come
// in a burst, so they are gathered for a moment and each changed file is reported once.
class ListWatcher : public QObject {
  Q_OBJECT

 public:
  ListWatcher(const QString& folder, const std::array<QString, 2>& names, QObject* parent);

  // Takes the files as they are now as the state that was last read.
  void TakeCurrentState();

 signals:
  // `which` is 0 for the first name, 1 for the second.
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

  Stamp StampOf(int which) const;
  void WatchFiles();
  void Settle();

  std::array<QString, 2> paths_;
  std::array<Stamp, 2> read_;
  QFileSystemWatcher watcher_;
  QTimer settle_;
};

}  // namespace koron
