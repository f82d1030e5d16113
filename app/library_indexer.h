#pragma once

#include <QObject>
#include <QString>
#include <cstddef>
#include <cstdint>
#include <memory>

class QTimer;

namespace koron {

class Library;

// Opens a working folder's library on a worker thread, so that indexing never freezes a window.
// The window polls the progress (told at most ten times a second, not once per file) and takes
// the library once `finished` is emitted; the library is then the GUI thread's alone.
// Destroying the indexer cancels the work between two files and does not wait for it: the worker
// ends by itself, and the application waits for it only as it quits.
class LibraryIndexer : public QObject {
  Q_OBJECT

 public:
  explicit LibraryIndexer(const QString& folder, QObject* parent = nullptr);
  ~LibraryIndexer() override;

  void Start();
  bool IsRunning() const { return running_; }
  // After `finished`: the library, or null when it could not be opened (Error() says why).
  std::unique_ptr<Library> Take();
  const QString& Error() const { return error_; }

  // Workers not yet ended, those of destroyed indexers included (for tests and for quitting).
  static int Running();

 signals:
  // Files read so far and files to read, while files are being read.
  void progress(std::size_t done, std::size_t total);
  void finished();

 private:
  struct Job;
  void Poll();
  void End();

  QString folder_;
  std::shared_ptr<Job> job_;
  QTimer* poll_ = nullptr;
  bool running_ = false;
  std::size_t toldDone_ = SIZE_MAX;  // none told yet
  std::unique_ptr<Library> library_;
  QString error_;
};

}  // namespace koron
