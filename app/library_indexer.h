#pragma once

#include <QObject>
#include <QString>
#include <QStringList>
#include <cstddef>
#include <cstdint>
#include <memory>

class QFileSystemWatcher;
class QTimer;

namespace koron {

class Library;

// Opens a working folder's library on a worker thread, so that indexing never freezes a window.
// The window polls the progress (told at most ten times a second, not once per file) and takes
// the library once `finished` is emitted; the library is then the GUI thread's alone. While a
// long first indexing goes on, `partial` offers a library of what is indexed so far.
// Once following, it watches the library's folders and files and opens the library again
// shortly after one changes, which reads only what changed; one run at a time.
// Destroying the indexer cancels the work between two files and does not wait for it: the worker
// ends by itself, and the application waits for it only as it quits.
class LibraryIndexer : public QObject {
  Q_OBJECT

 public:
  // How often the worker hands over what it has indexed so far.
  struct Pace {
    int snapshotMs = 1500;         // at least this long between two snapshots
    std::uint64_t batchBytes = 0;  // between two commits; 0 for the library's own
    bool holdUntilTaken = false;   // the worker waits for each snapshot to be taken (tests)
  };
  // The pace of indexers made from now on.
  static void SetPace(const Pace& pace);

  explicit LibraryIndexer(const QString& folder, QObject* parent = nullptr);
  ~LibraryIndexer() override;

  // Opens the library now, or once more after the run going on.
  void Start();
  // From the end of the next run on, opens it again after its files change.
  void Follow();
  // Brings the library up to date soon, as a change to its files does.
  void Update();
  bool IsRunning() const { return running_; }
  // After `finished`: the library, or null when it could not be opened (Error() says why).
  // After `partial`: what is indexed so far.
  std::unique_ptr<Library> Take();
  const QString& Error() const { return error_; }

  // Workers not yet ended, those of destroyed indexers included (for tests and for quitting).
  static int Running();

 signals:
  // Files read so far and files to read, while files are being read.
  void progress(std::size_t done, std::size_t total);
  // A library of what is indexed so far can be taken; the run goes on.
  void partial();
  void finished();

 private:
  struct Job;
  void Poll();
  void End();
  void Watch(const QStringList& folders, const QStringList& files);
  void Changed(const QString& path);

  QString folder_;
  std::shared_ptr<Job> job_;
  QTimer* poll_ = nullptr;
  bool running_ = false;
  bool again_ = false;               // something changed while running
  std::size_t toldDone_ = SIZE_MAX;  // none told yet
  std::unique_ptr<Library> library_;
  QString error_;
  QFileSystemWatcher* watcher_ = nullptr;  // while following
  QTimer* settle_ = nullptr;               // a burst of changes makes one run
  QString signature_;                      // which of the working folder's own names are there
};

}  // namespace koron
