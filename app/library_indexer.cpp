#include "app/library_indexer.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QFileSystemWatcher>
#include <QSet>
#include <QThread>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <exception>
#include <mutex>
#include <optional>
#include <string>
#include <utility>

#include "library/library_index.h"

namespace koron {
namespace {

std::atomic<int> runningWorkers{0};
LibraryIndexer::Pace pace;

// Long enough for a copy of many files, or an editor's save, to make one run.
constexpr int kSettleMs = 300;

// Which of the names the library starts from are there: the working folder's own changes
// (the user's data store may live there too) matter only when one of these comes or goes.
QString Signature(const QString& folder) {
  QString signature;
  for (const char* name : {"AA", "AAList_01.txt", "AAList_02.txt"}) {
    signature += QFileInfo::exists(folder + u'/' + QLatin1String(name)) ? u'1' : u'0';
  }
  return signature;
}

// What a window shows of the library, to tell whether a run changed it.
std::string Digest(const Library& library) {
  std::string digest;
  for (const LibraryFileInfo& file : library.Files()) {
    digest += file.path + '\0' + std::to_string(file.entries) + '\n';
  }
  for (const LibraryProblem& problem : library.Problems()) {
    digest += problem.path + '\0' + problem.reason + '\n';
  }
  return digest;
}

}  // namespace

// Shared by the worker and the indexer, so that either may go first.
struct LibraryIndexer::Job {
  std::atomic<bool> cancelled{false};
  std::atomic<std::size_t> done{0};
  std::atomic<std::size_t> total{0};
  // What is indexed so far, until the GUI thread takes it.
  std::mutex lock;
  std::unique_ptr<Library> snapshot;
  // Given by the indexer: what the last run gave, so that one that changes nothing hands over
  // nothing; none before the first.
  std::optional<std::string> lastDigest;
  // Written by the worker before it ends; read on the GUI thread after it ended.
  std::unique_ptr<Library> library;
  bool unchanged = false;
  std::optional<std::string> digest;
  std::string error;
  QString signature;
  // Absolute paths of what to watch: the working folder and the library's folders, its files.
  QStringList folders;
  QStringList files;
};

void LibraryIndexer::SetPace(const Pace& chosen) { pace = chosen; }

LibraryIndexer::LibraryIndexer(const QString& folder, QObject* parent)
    : QObject(parent), folder_(folder), job_(std::make_shared<Job>()) {
  poll_ = new QTimer(this);
  poll_->setInterval(100);
  connect(poll_, &QTimer::timeout, this, &LibraryIndexer::Poll);
}

LibraryIndexer::~LibraryIndexer() { job_->cancelled = true; }

int LibraryIndexer::Running() { return runningWorkers.load(); }

void LibraryIndexer::Start() {
  if (running_) {
    again_ = true;
    return;
  }
  running_ = true;
  toldDone_ = SIZE_MAX;
  std::optional<std::string> lastDigest = std::move(job_->digest);
  job_ = std::make_shared<Job>();
  job_->lastDigest = std::move(lastDigest);
  const std::string folder = QFile::encodeName(folder_).toStdString();
  const QString qtFolder = folder_;
  std::shared_ptr<Job> job = job_;
  const Pace chosen = pace;
  ++runningWorkers;
  QThread* worker = QThread::create([job, folder, qtFolder, chosen] {
    try {
      using Clock = std::chrono::steady_clock;
      // Taken before the scan, so that a name that comes during it is seen as new.
      job->signature = Signature(qtFolder);
      LibraryOptions options;
      options.workFolder = folder;
      options.cacheFolder = DefaultCacheFolder();
      options.batchBytes = chosen.batchBytes;
      options.progress = [&job](std::size_t done, std::size_t total) {
        job->total = total;
        job->done = done;
      };
      options.cancelled = [&job] { return job->cancelled.load(); };
      Clock::time_point last = Clock::now();
      Clock::duration cost{};
      options.committed = [&](const std::function<std::unique_ptr<Library>()>& snapshot) {
        // Loading a snapshot costs a read of what is indexed; spaced so that it never takes
        // more than a tenth of the worker's time.
        const Clock::time_point now = Clock::now();
        if (job->cancelled ||
            now - last < std::max<Clock::duration>(std::chrono::milliseconds(chosen.snapshotMs),
                                                   cost * 10)) {
          return;
        }
        {
          const std::lock_guard<std::mutex> hold(job->lock);
          if (job->snapshot) return;  // the last one is not taken yet
        }
        std::unique_ptr<Library> partial = snapshot();
        if (!partial) return;
        partial->Entries();  // loaded here rather than on the GUI thread
        last = Clock::now();
        cost = last - now;
        {
          const std::lock_guard<std::mutex> hold(job->lock);
          job->snapshot = std::move(partial);
        }
        while (chosen.holdUntilTaken && !job->cancelled) {
          {
            const std::lock_guard<std::mutex> hold(job->lock);
            if (!job->snapshot) break;
          }
          QThread::msleep(1);
        }
      };
      std::unique_ptr<Library> library = Library::Open(options);
      // The entries are read here, not on the GUI thread when the window first lists them.
      if (library != nullptr && !job->cancelled) library->Entries();
      if (!job->cancelled) {
        const QString root = qtFolder + u'/';
        job->folders << qtFolder;
        for (const std::string& path : library->Folders()) {
          job->folders << root + QFile::decodeName(path.c_str());
        }
        for (const LibraryFileInfo& file : library->Files()) {
          job->files << root + QFile::decodeName(file.path.c_str());
        }
        for (const LibraryProblem& problem : library->Problems()) {
          job->files << root + QFile::decodeName(problem.path.c_str());
        }
        job->digest = Digest(*library);
        job->unchanged = library->FilesRead() == 0 && job->digest == job->lastDigest;
        if (!job->unchanged) {
          library->Entries();  // loaded here rather than on the GUI thread
          job->library = std::move(library);
        }
      }
      // Nobody will take it once cancelled; it is closed here rather than on the GUI thread.
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

void LibraryIndexer::Follow() {
  if (watcher_ != nullptr) return;
  watcher_ = new QFileSystemWatcher(this);
  connect(watcher_, &QFileSystemWatcher::directoryChanged, this, &LibraryIndexer::Changed);
  connect(watcher_, &QFileSystemWatcher::fileChanged, this, &LibraryIndexer::Changed);
  settle_ = new QTimer(this);
  settle_->setSingleShot(true);
  settle_->setInterval(kSettleMs);
  connect(settle_, &QTimer::timeout, this, &LibraryIndexer::Start);
}

void LibraryIndexer::Poll() {
  bool fresh = false;
  {
    const std::lock_guard<std::mutex> hold(job_->lock);
    if (job_->snapshot) {
      library_ = std::move(job_->snapshot);
      fresh = true;
    }
  }
  if (fresh) emit partial();
  const std::size_t total = job_->total;
  const std::size_t done = job_->done;
  if (total == 0 || done == toldDone_) return;
  toldDone_ = done;
  emit progress(done, total);
}

void LibraryIndexer::End() {
  poll_->stop();
  running_ = false;
  if (watcher_ != nullptr && job_->error.empty()) {
    Watch(job_->folders, job_->files);
    if (!signature_.isEmpty() && job_->signature != signature_) settle_->start();
    signature_ = job_->signature;
  }
  // A run that changed nothing leaves the window as it is.
  if (!job_->unchanged) {
    library_ = std::move(job_->library);
    if (!library_) {
      error_ =
          job_->error.empty() ? QStringLiteral("cancelled") : QString::fromStdString(job_->error);
    }
    emit finished();
  }
  if (again_) {
    again_ = false;
    Start();
  }
}

std::unique_ptr<Library> LibraryIndexer::Take() { return std::move(library_); }

void LibraryIndexer::Watch(const QStringList& folders, const QStringList& files) {
  const QStringList watchedFiles = watcher_->files();
  const QStringList watchedFolders = watcher_->directories();
  QSet<QString> watched(watchedFiles.begin(), watchedFiles.end());
  watched.unite(QSet<QString>(watchedFolders.begin(), watchedFolders.end()));
  QSet<QString> wanted(folders.begin(), folders.end());
  wanted.unite(QSet<QString>(files.begin(), files.end()));
  QStringList gone;
  for (const QString& path : std::as_const(watched)) {
    if (!wanted.contains(path)) gone << path;
  }
  if (!gone.isEmpty()) watcher_->removePaths(gone);
  QStringList added;
  for (const QString& path : folders) {
    if (!watched.contains(path)) added << path;
  }
  // A file made in a new folder before its watch began is seen by one more run.
  if (!added.isEmpty() && !watchedFolders.isEmpty()) settle_->start();
  for (const QString& path : files) {
    if (!watched.contains(path)) added << path;
  }
  if (!added.isEmpty()) watcher_->addPaths(added);
}

void LibraryIndexer::Update() {
  if (settle_ != nullptr) {
    settle_->start();
  } else {
    Start();
  }
}

void LibraryIndexer::Changed(const QString& path) {
  if (path == folder_ && Signature(folder_) == signature_) return;
  settle_->start();
}

}  // namespace koron
