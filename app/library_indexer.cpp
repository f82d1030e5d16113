#include "app/library_indexer.h"

#include <QCoreApplication>
#include <QFile>
#include <QThread>
#include <QTimer>
#include <atomic>
#include <exception>
#include <utility>

#include "library/library_index.h"

namespace koron {
namespace {

std::atomic<int> runningWorkers{0};

}  // namespace

// Shared by the worker and the indexer, so that either may go first.
struct LibraryIndexer::Job {
  std::atomic<bool> cancelled{false};
  std::atomic<std::size_t> done{0};
  std::atomic<std::size_t> total{0};
  // Written by the worker before it ends; read on the GUI thread after `finished`.
  std::unique_ptr<Library> library;
  std::string error;
};

LibraryIndexer::LibraryIndexer(const QString& folder, QObject* parent)
    : QObject(parent), folder_(folder), job_(std::make_shared<Job>()) {
  poll_ = new QTimer(this);
  poll_->setInterval(100);
  connect(poll_, &QTimer::timeout, this, &LibraryIndexer::Poll);
}

LibraryIndexer::~LibraryIndexer() { job_->cancelled = true; }

int LibraryIndexer::Running() { return runningWorkers.load(); }

void LibraryIndexer::Start() {
  if (running_) return;
  running_ = true;
  const std::string folder = QFile::encodeName(folder_).toStdString();
  std::shared_ptr<Job> job = job_;
  ++runningWorkers;
  QThread* worker = QThread::create([job, folder] {
    try {
      LibraryOptions options;
      options.workFolder = folder;
      options.cacheFolder = DefaultCacheFolder();
      options.progress = [&job](std::size_t done, std::size_t total) {
        job->total = total;
        job->done = done;
      };
      options.cancelled = [&job] { return job->cancelled.load(); };
      std::unique_ptr<Library> library = Library::Open(options);
      // Nobody will take it once cancelled; it is closed here rather than on the GUI thread.
      if (!job->cancelled) job->library = std::move(library);
    } catch (const std::exception& e) {
      job->error = e.what();
    } catch (...) {
      job->error = "unknown failure";
    }
    --runningWorkers;
  });
  worker->setObjectName(QStringLiteral("library indexer"));
  connect(worker, &QThread::finished, this, &LibraryIndexer::End);
  connect(worker, &QThread::finished, worker, &QObject::deleteLater);
  // A cancelled worker is still reading its last file when the application quits; the thread
  // object must not be destroyed under it.
  if (QCoreApplication* app = QCoreApplication::instance()) {
    connect(app, &QCoreApplication::aboutToQuit, worker, [worker] { worker->wait(); });
  }
  poll_->start();
  worker->start(QThread::LowPriority);
}

void LibraryIndexer::Poll() {
  const std::size_t total = job_->total;
  const std::size_t done = job_->done;
  if (total == 0 || done == toldDone_) return;
  toldDone_ = done;
  emit progress(done, total);
}

void LibraryIndexer::End() {
  poll_->stop();
  running_ = false;
  library_ = std::move(job_->library);
  if (!library_) {
    error_ =
        job_->error.empty() ? QStringLiteral("cancelled") : QString::fromStdString(job_->error);
  }
  emit finished();
}

std::unique_ptr<Library> LibraryIndexer::Take() { return std::move(library_); }

}  // namespace koron
