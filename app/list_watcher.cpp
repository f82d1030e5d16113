#include "app/list_watcher.h"

#include <QDir>
#include <QFile>
#include <algorithm>
#include <cstdint>
#include <ctime>

namespace koron {
namespace {

// Long enough to gather the events of one save, short enough that the list follows at once.
constexpr int kSettleMilliseconds = 150;
// A file written without pause (a tool logging into it) never lets the events settle; it is
// still read this often while the writing goes on.
constexpr int kLongestWaitMilliseconds = 800;
// Some filesystems keep file times in whole seconds (ext2) or even two (FAT). A file rewritten at
// the same size within that grain of its last read keeps its stamp, so until a read comes
// clearly after its time it may have changed unseen, as git says of racily clean files.
constexpr std::int64_t kTimeGrainNanoseconds = 2'000'000'000;
constexpr int kRacyCheckMilliseconds = 2000;

timespec Now() {
  timespec now{};
  ::clock_gettime(CLOCK_REALTIME, &now);
  return now;
}

// A time far ahead of the clock is no sign of a recent write, and re-reading for it would never
// end: only times within the grain either side count.
bool IsWithinGrain(const timespec& modified, const timespec& readAt) {
  const std::int64_t gap =
      (static_cast<std::int64_t>(readAt.tv_sec) - modified.tv_sec) * 1'000'000'000 +
      (readAt.tv_nsec - modified.tv_nsec);
  return gap < kTimeGrainNanoseconds && gap > -kTimeGrainNanoseconds;
}

}  // namespace

ListWatcher::ListWatcher(const QString& folder, const QStringList& names, QObject* parent)
    : QObject(parent), read_(static_cast<std::size_t>(names.size())) {
  for (const QString& name : names) paths_.append(QDir(folder).filePath(name));
  settle_.setSingleShot(true);
  settle_.setInterval(kSettleMilliseconds);
  connect(&settle_, &QTimer::timeout, this, &ListWatcher::Settle);
  longestWait_.setSingleShot(true);
  longestWait_.setInterval(kLongestWaitMilliseconds);
  connect(&longestWait_, &QTimer::timeout, this, &ListWatcher::Settle);
  racyCheck_.setSingleShot(true);
  racyCheck_.setInterval(kRacyCheckMilliseconds);
  connect(&racyCheck_, &QTimer::timeout, this, &ListWatcher::Settle);
  // The folder tells of files created, removed or renamed into place; the files themselves of
  // writes in place.
  connect(&watcher_, &QFileSystemWatcher::directoryChanged, this, &ListWatcher::Changed);
  connect(&watcher_, &QFileSystemWatcher::fileChanged, this, &ListWatcher::Changed);
  // A watch follows the folder it was put on even when that folder is renamed away, and the
  // folder made anew under its name goes unseen. The parent tells of that; each settling looks
  // again at what stands under the name.
  folders_.push_back({QDir(folder).absolutePath()});
  const QString parentFolder = QFileInfo(folders_.front().path).absolutePath();
  if (parentFolder != folders_.front().path) folders_.push_back({parentFolder});
  WatchFolders();
  WatchFiles();
  TakeCurrentState();
}

bool ListWatcher::Stamp::operator==(const Stamp& other) const {
  return exists == other.exists && device == other.device && inode == other.inode &&
         size == other.size && modified.tv_sec == other.modified.tv_sec &&
         modified.tv_nsec == other.modified.tv_nsec;
}

ListWatcher::Stamp ListWatcher::StampOf(int which) const {
  Stamp stamp;
  struct stat info {};
  if (::stat(QFile::encodeName(paths_[which]).constData(), &info) == 0) {
    stamp.exists = true;
    stamp.device = info.st_dev;
    stamp.inode = info.st_ino;
    stamp.size = info.st_size;
    stamp.modified = info.st_mtim;
  }
  return stamp;
}

ListWatcher::Read ListWatcher::ReadOf(int which) const {
  // The clock before the file: a read time too early can only make the file look racy longer.
  const timespec readAt = Now();
  Read read;
  read.stamp = StampOf(which);
  read.racy = read.stamp.exists && IsWithinGrain(read.stamp.modified, readAt);
  return read;
}

void ListWatcher::TakeCurrentState() {
  for (int i = 0; i < paths_.size(); ++i) read_[static_cast<std::size_t>(i)] = ReadOf(i);
  CheckRacyLater();
}

void ListWatcher::CheckRacyLater() {
  // Without this a racy file would wait for an event that may never come.
  const bool anyRacy =
      std::any_of(read_.begin(), read_.end(), [](const Read& read) { return read.racy; });
  if (anyRacy) {
    racyCheck_.start();
  } else {
    racyCheck_.stop();
  }
}

void ListWatcher::WatchFolders() {
  for (Folder& folder : folders_) {
    struct stat info {};
    const bool isFolder =
        ::stat(QFile::encodeName(folder.path).constData(), &info) == 0 && S_ISDIR(info.st_mode);
    const bool watched = watcher_.directories().contains(folder.path);
    if (watched && isFolder && info.st_dev == folder.device && info.st_ino == folder.inode) {
      continue;
    }
    if (watched) watcher_.removePath(folder.path);
    if (isFolder && watcher_.addPath(folder.path)) {
      folder.device = info.st_dev;
      folder.inode = info.st_ino;
    }
  }
}

void ListWatcher::WatchFiles() {
  // A removed file drops out of the watch: watch whatever stands under the names now.
  for (const QString& path : paths_) {
    if (!watcher_.files().contains(path) && QFileInfo::exists(path)) watcher_.addPath(path);
  }
}

void ListWatcher::Changed() {
  settle_.start();
  if (!longestWait_.isActive()) longestWait_.start();
}

void ListWatcher::Settle() {
  settle_.stop();
  longestWait_.stop();
  // Before the files, so that a list put into a new folder meanwhile is seen now or by an event.
  WatchFolders();
  for (int i = 0; i < paths_.size(); ++i) {
    const QString& path = paths_[i];
    Read& read = read_[static_cast<std::size_t>(i)];
    const Read now = ReadOf(i);
    if (now.stamp == read.stamp && !read.racy) continue;
    // A file replaced by a rename is a new file. The watch stays on the old one for as long as
    // anything holds it open, and would miss every later write to the new one.
    if (now.stamp.device != read.stamp.device || now.stamp.inode != read.stamp.inode) {
      watcher_.removePath(path);
    }
    read = now;
    emit listChanged(i);
  }
  WatchFiles();
  CheckRacyLater();
}

}  // namespace koron
