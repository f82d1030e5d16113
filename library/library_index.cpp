#include "library/library_index.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unicode/ustring.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <condition_variable>
#include <cstdlib>
#include <exception>
#include <mutex>
#include <new>
#include <stdexcept>
#include <thread>
#include <unordered_map>
#include <unordered_set>
#include <utility>

#include "library/search_folding.h"
#include "library/sqlite_store.h"

namespace koron {
namespace {

// Changed whenever what the index holds, or how, changes: an index of another version is set
// aside and built again.
constexpr int kIndexVersion = 6;
// The bytes of files read between two commits: the index grows by a segment each time, other
// processes see the files so far, and stopping keeps them.
constexpr std::uint64_t kBatchBytes = 32 * 1024 * 1024;
// Or the grams gathered for them, 8 bytes a pair and 16 a triple (most of them) until the
// segment is written.
constexpr std::size_t kBatchGrams = 5 * 1024 * 1024;
// Segments are merged when there are more than this, or when more entries are gone than left. A
// search reads one row per segment for each gram, which stays well below a millisecond; a first
// indexing of some hundred megabytes does not have to merge at all.
constexpr int kMaxSegments = 32;
// Entry ids only grow; far below 2^32 the index is built again and they start afresh.
constexpr std::int64_t kMaxEntryId = 1LL << 31;

constexpr char kSchema[] = R"sql(
CREATE TABLE IF NOT EXISTS meta(key TEXT PRIMARY KEY, value);
CREATE TABLE IF NOT EXISTS files(
  id INTEGER PRIMARY KEY, path BLOB UNIQUE NOT NULL,
  device INTEGER, inode INTEGER, size INTEGER, mtime INTEGER, ctime INTEGER,
  problem TEXT, entries INTEGER NOT NULL DEFAULT 0);
CREATE TABLE IF NOT EXISTS entries(
  id INTEGER PRIMARY KEY AUTOINCREMENT, file INTEGER NOT NULL, number INTEGER NOT NULL,
  name BLOB, section BLOB);
CREATE TABLE IF NOT EXISTS texts(id INTEGER PRIMARY KEY, text BLOB);
CREATE INDEX IF NOT EXISTS entries_by_file ON entries(file);
CREATE TABLE IF NOT EXISTS postings(
  bucket INTEGER NOT NULL, segment INTEGER NOT NULL, data BLOB NOT NULL,
  PRIMARY KEY(bucket, segment));
)sql";

std::string Hex(std::uint64_t value) {
  static const char digits[] = "0123456789abcdef";
  std::string out(16, '0');
  for (int i = 15; i >= 0; --i, value >>= 4) out[static_cast<std::size_t>(i)] = digits[value & 15];
  return out;
}

std::u16string Utf16OfBytes(std::string_view bytes) {
  // Paths are shown and searched as text; they are UTF-8 on any desktop of today.
  std::u16string out(bytes.size(), u'\0');
  int32_t length = 0;
  UErrorCode error = U_ZERO_ERROR;
  u_strFromUTF8WithSub(reinterpret_cast<UChar*>(out.data()), static_cast<int32_t>(out.size()),
                       &length, bytes.data(), static_cast<int32_t>(bytes.size()), 0xFFFD, nullptr,
                       &error);
  out.resize(U_SUCCESS(error) ? static_cast<std::size_t>(length) : 0);
  return out;
}

std::string ProblemWords(CollectionProblem problem) {
  switch (problem) {
    case CollectionProblem::kNone:
      return {};
    case CollectionProblem::kUnreadable:
      return "cannot be read";
    case CollectionProblem::kTooLarge:
      return "larger than 256 MiB";
    case CollectionProblem::kNotText:
      return "not text (holds NUL bytes)";
  }
  return "cannot be read";
}

}  // namespace

std::string DefaultCacheFolder() {
  const char* cache = std::getenv("XDG_CACHE_HOME");
  // The XDG rule: a relative path is to be ignored.
  if (cache != nullptr && cache[0] == '/') return std::string(cache) + "/koron-aa";
  const char* home = std::getenv("HOME");
  if (home != nullptr && home[0] == '/') return std::string(home) + "/.cache/koron-aa";
  return {};
}

struct Library::FileRow {
  std::int64_t id = 0;
  std::string problem;
  std::uint32_t entries = 0;
};

std::unordered_map<std::string, Library::FileRow> Library::ReadFileRows(sqlite3* db) {
  std::unordered_map<std::string, FileRow> rows;
  Statement all(db, "SELECT id, path, problem, entries FROM files");
  while (all.Step()) {
    rows.emplace(std::string(all.Bytes(1)),
                 Library::FileRow{all.Int(0), std::string(all.Bytes(2)),
                                  static_cast<std::uint32_t>(all.Int(3))});
  }
  return rows;
}

struct Library::Store {
  sqlite3* db = nullptr;
  int lockFd = -1;
  // Statements a search runs many times, prepared once.
  std::unique_ptr<Statement> text;
  std::unique_ptr<Statement> postings;
  ~Store() {
    text.reset();
    postings.reset();
    if (db != nullptr) sqlite3_close_v2(db);
    if (lockFd >= 0) close(lockFd);
  }
};

Library::Library() = default;
Library::~Library() = default;

namespace {

// Opens (or creates) the index at `path`, ":memory:" for one in memory. Throws StoreFailure.
sqlite3* OpenIndex(const std::string& path, const std::string& folder) {
  // A cache: no waiting for the disk. A crash of the program loses nothing; one of the whole
  // system may leave the index damaged, and then it is built again. Pages of 16 KiB (taken by a
  // new index only) hold a bucket's blob whole, which writes it in a few steps rather than a
  // chain of small pages; the texts have a table of their own, so that listing the entries
  // does not read them.
  sqlite3* db = OpenDatabase(path, 60'000,
                             "PRAGMA page_size=16384; PRAGMA cache_size=-16384; PRAGMA "
                             "journal_mode=WAL; PRAGMA synchronous=OFF;");
  try {
    const int version = UserVersion(db);
    if (version == 0) {
      Execute(db, "BEGIN IMMEDIATE");
      Execute(db, kSchema);
      Statement folderRow(db, "INSERT OR REPLACE INTO meta(key, value) VALUES('folder', ?1)");
      folderRow.Bind(1, std::string_view(folder)).Run();
      Execute(db, ("PRAGMA user_version=" + std::to_string(kIndexVersion)).c_str());
      Execute(db, "COMMIT");
    } else if (version != kIndexVersion) {
      throw StoreFailure(SQLITE_NOTADB);
    } else {
      Statement folderRow(db, "SELECT value FROM meta WHERE key='folder'");
      if (!folderRow.Step() || folderRow.Bytes(0) != folder) throw StoreFailure(SQLITE_NOTADB);
    }
  } catch (...) {
    sqlite3_close_v2(db);
    throw;
  }
  return db;
}

// Moves a damaged index out of the way, with its journal files, keeping the last one for a look.
void SetAside(const std::string& path) {
  std::rename(path.c_str(), (path + ".bad").c_str());
  unlink((path + "-wal").c_str());
  unlink((path + "-shm").c_str());
}

}  // namespace

std::unique_ptr<Library> Library::Open(const LibraryOptions& options) {
  std::unique_ptr<Library> library(new Library());
  const std::string folder = CanonicalFolder(options.workFolder);
  LibraryScan scan = ScanLibrary(options.workFolder);
  library->folders_ = scan.folders;
  std::string indexPath;
  if (!options.cacheFolder.empty() && MakeFolders(options.cacheFolder)) {
    indexPath = options.cacheFolder + "/library-" + Hex(Fnv1a(folder)) + ".sqlite3";
  }
  // An index on disk, a fresh one in its place when it is damaged, else one in memory.
  for (int attempt = 0; attempt < 3; ++attempt) {
    const bool inMemory = indexPath.empty() || attempt == 2;
    library->store_ = std::make_unique<Store>();
    library->indexPath_ = inMemory ? std::string() : indexPath;
    try {
      if (!inMemory) {
        // Processes bring the index up to date in turn, so none reads files another has just
        // indexed; searching needs no turn.
        library->store_->lockFd =
            open((indexPath + ".lock").c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (library->store_->lockFd < 0) throw StoreFailure(SQLITE_CANTOPEN);
        while (flock(library->store_->lockFd, LOCK_EX) != 0 && errno == EINTR) {
        }
      }
      library->store_->db = OpenIndex(inMemory ? ":memory:" : indexPath, folder);
      library->Refresh(scan, options);
      if (library->store_->lockFd >= 0) flock(library->store_->lockFd, LOCK_UN);
      return library;
    } catch (const StoreFailure& failure) {
      const int code = failure.code & 0xFF;
      library->store_.reset();
      library->files_.clear();
      library->fileIds_.clear();
      library->problems_.clear();
      if (inMemory) break;
      // A damaged or foreign index is set aside; one that cannot be written at all is left.
      if (attempt == 0 && (code == SQLITE_CORRUPT || code == SQLITE_NOTADB)) {
        SetAside(indexPath);
      } else {
        attempt = 1;
      }
    }
  }
  // Even memory failed: an empty library, with its problems told.
  library->store_.reset();
  library->problems_ = scan.problems;
  return library;
}

void Library::Refresh(const LibraryScan& scan, const LibraryOptions& options) {
  sqlite3* db = store_->db;
  struct Known {
    std::int64_t id;
    FileStamp stamp;
    std::string problem;
    std::uint32_t entries;
  };
  std::unordered_map<std::string, Known> known;
  {
    Statement rows(db,
                   "SELECT id, path, device, inode, size, mtime, ctime, problem, entries "
                   "FROM files");
    while (rows.Step()) {
      Known file{
          rows.Int(0), {}, std::string(rows.Bytes(7)), static_cast<std::uint32_t>(rows.Int(8))};
      file.stamp.device = static_cast<std::uint64_t>(rows.Int(2));
      file.stamp.inode = static_cast<std::uint64_t>(rows.Int(3));
      file.stamp.size = static_cast<std::uint64_t>(rows.Int(4));
      file.stamp.mtimeNs = rows.Int(5);
      file.stamp.ctimeNs = rows.Int(6);
      known.emplace(std::string(rows.Bytes(1)), std::move(file));
    }
  }
  std::int64_t lastId = 0;
  {
    Statement sequence(db, "SELECT seq FROM sqlite_sequence WHERE name='entries'");
    if (sequence.Step()) lastId = sequence.Int(0);
  }
  // An index whose ids ran far is built afresh.
  if (lastId > kMaxEntryId) throw StoreFailure(SQLITE_CORRUPT);

  std::vector<const LibraryFile*> toRead;
  std::vector<std::int64_t> gone;
  std::unordered_set<std::string> present;
  for (const LibraryFile& file : scan.files) {
    present.insert(file.path);
    const auto it = known.find(file.path);
    if (it == known.end() || it->second.stamp != file.stamp) toRead.push_back(&file);
  }
  for (const auto& [path, file] : known) {
    if (present.count(path) == 0) gone.push_back(file.id);
  }
  // Nothing changed: the library is as read above, and nothing is to be written.
  if (toRead.empty() && gone.empty()) {
    std::unordered_map<std::string, FileRow> rows;
    for (auto& [path, file] : known) {
      rows.emplace(path, FileRow{file.id, std::move(file.problem), file.entries});
    }
    TakeFiles(scan, rows);
    return;
  }

  Statement dropTexts(db, "DELETE FROM texts WHERE id IN (SELECT id FROM entries WHERE file=?1)");
  Statement dropEntries(db, "DELETE FROM entries WHERE file=?1");
  Statement dropFile(db, "DELETE FROM files WHERE id=?1");
  Statement addDead(db,
                    "INSERT INTO meta(key, value) VALUES('dead', ?1) "
                    "ON CONFLICT(key) DO UPDATE SET value = value + ?1");
  auto forget = [&](std::int64_t fileId) {
    dropTexts.Bind(1, fileId).Run();
    dropEntries.Bind(1, fileId).Run();
    const std::int64_t dropped = sqlite3_changes64(db);
    if (dropped > 0) addDead.Bind(1, dropped).Run();
  };
  if (!gone.empty()) {
    Execute(db, "BEGIN IMMEDIATE");
    for (std::int64_t id : gone) {
      forget(id);
      dropFile.Bind(1, id).Run();
    }
    Execute(db, "COMMIT");
  }

  Statement saveFile(db,
                     "INSERT INTO files(path, device, inode, size, mtime, ctime, problem, entries) "
                     "VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8) ON CONFLICT(path) DO UPDATE SET "
                     "device=?2, inode=?3, size=?4, mtime=?5, ctime=?6, problem=?7, entries=?8 "
                     "RETURNING id");
  Statement saveEntry(db,
                      "INSERT INTO entries(id, file, number, name, section) "
                      "VALUES(?1, ?2, ?3, ?4, ?5)");
  Statement saveText(db, "INSERT INTO texts(id, text) VALUES(?1, ?2)");
  Statement saveBucket(db, "INSERT INTO postings(bucket, segment, data) VALUES(?1, ?2, ?3)");
  // The last segment, asked only when there is something to add (it is a scan of the postings).
  std::int64_t segment = 0;
  if (!toRead.empty()) {
    Statement last(db, "SELECT coalesce(max(segment), 0) FROM postings");
    if (last.Step()) segment = last.Int(0);
  }

  // Saves a file's row with its stamp; the id its entries refer to.
  const auto save = [&saveFile](const LibraryFile& file, const std::string& problem,
                                std::uint32_t count) {
    saveFile.Bind(1, std::string_view(file.path))
        .Bind(2, static_cast<std::int64_t>(file.stamp.device))
        .Bind(3, static_cast<std::int64_t>(file.stamp.inode))
        .Bind(4, static_cast<std::int64_t>(file.stamp.size))
        .Bind(5, file.stamp.mtimeNs)
        .Bind(6, file.stamp.ctimeNs)
        .Bind(7, std::string_view(problem))
        .Bind(8, std::int64_t{count});
    saveFile.Step();
    const std::int64_t id = saveFile.Int(0);
    saveFile.Reset();
    return id;
  };
  // Files are read and their grams gathered on this thread while a second one writes the batch
  // before, so that reading and writing overlap. Entry ids are given here, after the last one
  // used: this process alone writes the index until it is done.
  struct ReadEntry {
    std::uint32_t id;
    CollectionEntry entry;
  };
  struct ReadFile {
    const LibraryFile* file;
    std::int64_t oldId;  // its row before, or 0
    CollectionProblem problem;
    std::vector<ReadEntry> entries;
  };
  // A batch's buckets are written a partition at a time, taken in turn by the writing thread
  // and by this one whenever it would otherwise wait for the writer; this one leaves those it
  // wrote here.
  enum Part : char { kToTake, kWritten, kFailed };
  struct Batch {
    std::vector<ReadFile> files;
    GramCollector grams;
    std::uint32_t lastId = 0;  // the last given, kept or not
    bool sealed = false;       // its grams ready for writing
    std::atomic<std::uint32_t> nextPartition{0};
    std::atomic<bool> written{false};  // by the writer, failed or not
    std::mutex mutex;
    std::condition_variable helped;
    std::vector<Part> parts = std::vector<Part>(GramCollector::kPartitions, kToTake);
    std::vector<std::vector<std::string>> blobs{GramCollector::kPartitions};
  };
  // Ids of entries left out stay in the grams, so they are never given again.
  Statement keepLastId(db, "UPDATE sqlite_sequence SET seq=max(seq, ?1) WHERE name='entries'");
  Statement firstLastId(db, "INSERT INTO sqlite_sequence(name, seq) VALUES('entries', ?1)");
  const auto write = [&](Batch& batch) {
    Execute(db, "BEGIN IMMEDIATE");
    for (ReadFile& read : batch.files) {
      if (read.oldId != 0) forget(read.oldId);
      // What was read before a problem showed is not kept; the file is told as left out. Its
      // grams stay in the segment, pointing at ids that are not there.
      const bool kept = read.problem == CollectionProblem::kNone;
      const std::int64_t fileId = save(*read.file, ProblemWords(read.problem),
                                       kept ? static_cast<std::uint32_t>(read.entries.size()) : 0);
      if (!kept) continue;
      for (const ReadEntry& row : read.entries) {
        saveEntry.Bind(1, std::int64_t{row.id})
            .Bind(2, fileId)
            .Bind(3, std::int64_t{row.entry.number})
            .Bind(4, std::u16string_view(row.entry.name))
            .Bind(5, std::u16string_view(row.entry.section));
        saveEntry.Run();
        saveText.Bind(1, std::int64_t{row.id}).Bind(2, std::u16string_view(row.entry.text)).Run();
      }
    }
    keepLastId.Bind(1, std::int64_t{batch.lastId}).Run();
    if (sqlite3_changes(db) == 0) firstLastId.Bind(1, std::int64_t{batch.lastId}).Run();
    if (batch.sealed) {
      ++segment;
      const auto insert = [&](std::uint32_t partition, const std::vector<std::string>& blobs) {
        for (std::uint32_t j = 0; j < blobs.size(); ++j) {
          if (blobs[j].empty()) continue;
          const std::uint32_t b = partition * GramCollector::kPartitionBuckets + j;
          saveBucket.Bind(1, std::int64_t{b}).Bind(2, segment).Bind(3, std::string_view(blobs[j]));
          saveBucket.Run();
        }
      };
      std::vector<bool> mine(GramCollector::kPartitions, false);
      std::vector<std::string> blobs;
      for (std::uint32_t p; (p = batch.nextPartition++) < GramCollector::kPartitions;) {
        mine[p] = true;
        batch.grams.PartitionBuckets(p, blobs);
        insert(p, blobs);
      }
      for (std::uint32_t p = 0; p < GramCollector::kPartitions; ++p) {
        if (mine[p]) continue;
        std::unique_lock<std::mutex> lock(batch.mutex);
        batch.helped.wait(lock, [&batch, p] { return batch.parts[p] != kToTake; });
        if (batch.parts[p] == kFailed) throw std::bad_alloc();
        lock.unlock();
        insert(p, batch.blobs[p]);
      }
      batch.grams.Clear();
    }
    Execute(db, "COMMIT");
  };
  // The batch being written, and what stopped it; and one written, for its memory to serve the
  // next.
  std::unique_ptr<Batch> writing;
  std::unique_ptr<Batch> spare;
  std::thread writer;
  std::exception_ptr failure;
  bool writtenBefore = false;
  // Writes partitions of `batch` for its writer, while `until` is false.
  const auto help = [](Batch& batch, const std::atomic<bool>& until) {
    for (std::uint32_t p; !until && (p = batch.nextPartition++) < GramCollector::kPartitions;) {
      Part part = kWritten;
      try {
        batch.grams.PartitionBuckets(p, batch.blobs[p]);
      } catch (...) {
        part = kFailed;  // told to the writer, which fails
      }
      {
        std::lock_guard<std::mutex> lock(batch.mutex);
        batch.parts[p] = part;
      }
      batch.helped.notify_all();
    }
  };
  // Waits for the batch being written, helping with it meanwhile, and then with `next`, the batch
  // to be written after it.
  const std::atomic<bool> never{false};
  const auto finish = [&](Batch* next) {
    if (!writer.joinable()) return;
    if (writing->sealed) help(*writing, never);
    if (next != nullptr && next->sealed) help(*next, writing->written);
    writer.join();
    spare = std::move(writing);
    if (failure) std::rethrow_exception(failure);
  };
  const std::uint64_t batchLimit = options.batchBytes > 0 ? options.batchBytes : kBatchBytes;
  // The first batch is small, so that the writer starts soon, and so are the last ones, so that
  // it has little left to write once everything is read: a batch takes half of what remains,
  // down to an eighth of a full one. A full batch is as many bytes as the last one that was cut
  // by the limits held.
  std::uint64_t left = 0;
  for (const LibraryFile* file : toRead) left += file->stamp.size;
  std::uint64_t fullBytes = batchLimit;
  bool first = true;
  auto nextId = static_cast<std::uint32_t>(lastId);
  std::size_t next = 0;
  std::u16string folded;
  std::u16string lastSection;
  std::u16string foldedSection;
  try {
    while (next < toRead.size()) {
      if (options.cancelled && options.cancelled()) break;
      std::unique_ptr<Batch> batch = spare ? std::move(spare) : std::make_unique<Batch>();
      batch->files.clear();
      batch->sealed = false;
      batch->nextPartition = 0;
      batch->written = false;
      std::fill(batch->parts.begin(), batch->parts.end(), kToTake);
      GramCollector& grams = batch->grams;
      std::uint64_t batchBytes = 0;
      // Eighths of a full batch.
      const std::uint64_t eighths =
          first ? 1
                : std::clamp<std::uint64_t>(left * 4 / std::max<std::uint64_t>(fullBytes, 1), 1, 8);
      first = false;
      const std::uint64_t byteLimit = std::max<std::uint64_t>(batchLimit * eighths / 8, 1);
      const std::size_t gramLimit = kBatchGrams / 8 * eighths;
      while (next < toRead.size() && batchBytes < byteLimit && grams.size() < gramLimit) {
        if (next > 0 && options.cancelled && options.cancelled()) break;
        const LibraryFile& file = *toRead[next++];
        if (options.progress) options.progress(filesRead_, toRead.size());
        batchBytes += file.stamp.size;
        left -= std::min(left, file.stamp.size);
        const auto it = known.find(file.path);
        batch->files.push_back(
            {&file, it != known.end() ? it->second.id : 0, CollectionProblem::kNone, {}});
        ReadFile& read = batch->files.back();
        const std::u16string stem = Utf16OfBytes(FileStem(file.path));
        CollectionReadOptions readOptions;
        readOptions.format = file.format;
        readOptions.stem = stem;
        readOptions.decodeReferences = !file.templateList;
        read.problem = ReadCollectionFile(options.workFolder + "/" + file.path, readOptions,
                                          [&](CollectionEntry& entry) {
                                            const std::uint32_t id = ++nextId;
                                            FoldForSearch(entry.text, folded);
                                            grams.Add(id, folded);
                                            FoldForSearch(entry.name, folded);
                                            grams.Add(id, folded);
                                            if (entry.section != lastSection) {
                                              lastSection = entry.section;
                                              FoldForSearch(lastSection, foldedSection);
                                            }
                                            grams.Add(id, foldedSection);
                                            read.entries.push_back({id, std::move(entry)});
                                          });
        ++filesRead_;
      }
      batch->lastId = nextId;
      if (!grams.empty()) {
        grams.Seal();
        batch->sealed = true;
      }
      if (eighths == 8 && next < toRead.size()) fullBytes = batchBytes;
      // The batch before is written by now; then this one is, while the next is read.
      finish(batch.get());
      if (options.committed && writtenBefore) {
        options.committed([this, &scan] { return Snapshot(scan); });
      }
      writtenBefore = true;
      writing = std::move(batch);
      writer = std::thread([&write, &failure, batch = writing.get()] {
        try {
          write(*batch);
        } catch (...) {
          failure = std::current_exception();
        }
        batch->written = true;
      });
    }
    finish(nullptr);
  } catch (...) {
    if (writer.joinable()) writer.join();
    // A batch the writer could not finish is not kept.
    sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
    throw;
  }
  // What the library holds now, in its order.
  Compact();
  TakeFiles(scan, ReadFileRows(db));
}

void Library::TakeFiles(const LibraryScan& scan,
                        const std::unordered_map<std::string, FileRow>& rows) {
  problems_ = scan.problems;
  for (const LibraryFile& file : scan.files) {
    const auto it = rows.find(file.path);
    if (it == rows.end()) continue;  // not read yet: indexing was stopped, or goes on
    if (!it->second.problem.empty()) {
      problems_.push_back({file.path, it->second.problem});
      continue;
    }
    files_.push_back({file.path, it->second.entries});
    fileIds_.push_back(it->second.id);
  }
  std::sort(problems_.begin(), problems_.end(),
            [](const LibraryProblem& a, const LibraryProblem& b) { return a.path < b.path; });
}

std::unique_ptr<Library> Library::Snapshot(const LibraryScan& scan) const {
  if (indexPath_.empty()) return nullptr;
  std::unique_ptr<Library> snapshot(new Library());
  snapshot->store_ = std::make_unique<Store>();
  snapshot->indexPath_ = indexPath_;
  snapshot->folders_ = scan.folders;
  try {
    sqlite3* db = OpenDatabase(indexPath_, 60'000, "PRAGMA query_only=1;");
    snapshot->store_->db = db;
    // The files and their entries as of one commit; later ones do not change what it lists.
    Execute(db, "BEGIN");
    snapshot->TakeFiles(scan, ReadFileRows(db));
    snapshot->Load();
    Execute(db, "COMMIT");
  } catch (const StoreFailure&) {
    return nullptr;
  }
  return snapshot;
}

void Library::Compact() {
  sqlite3* db = store_->db;
  std::int64_t segments = 0;
  std::int64_t lastSegment = 0;
  {
    Statement count(db, "SELECT count(DISTINCT segment), coalesce(max(segment), 0) FROM postings");
    if (count.Step()) {
      segments = count.Int(0);
      lastSegment = count.Int(1);
    }
  }
  std::int64_t dead = 0;
  std::int64_t live = 0;
  {
    Statement count(db,
                    "SELECT (SELECT coalesce(value, 0) FROM meta WHERE key='dead'), "
                    "(SELECT count(*) FROM entries)");
    if (count.Step()) {
      dead = count.Int(0);
      live = count.Int(1);
    }
  }
  if (segments <= kMaxSegments && dead <= live) return;
  std::vector<std::uint32_t> ids;
  {
    Statement all(db, "SELECT id FROM entries ORDER BY id");
    while (all.Step()) ids.push_back(static_cast<std::uint32_t>(all.Int(0)));
  }
  const auto isLive = [&ids](std::uint32_t id) {
    return std::binary_search(ids.begin(), ids.end(), id);
  };
  Execute(db, "BEGIN IMMEDIATE");
  Statement read(db, "SELECT data FROM postings WHERE bucket=?1 ORDER BY segment");
  Statement drop(db, "DELETE FROM postings WHERE bucket=?1");
  Statement save(db, "INSERT INTO postings(bucket, segment, data) VALUES(?1, ?2, ?3)");
  std::vector<std::string> blobs;
  std::vector<std::string_view> views;
  for (std::uint32_t b = 0; b < kGramBuckets; ++b) {
    blobs.clear();
    read.Bind(1, std::int64_t{b});
    while (read.Step()) blobs.emplace_back(read.Bytes(0));
    read.Reset();
    views.assign(blobs.begin(), blobs.end());
    bool ok = true;
    // With no entry gone, the lists are only joined.
    const std::string merged =
        MergeBuckets(views, dead == 0 ? std::function<bool(std::uint32_t)>() : isLive, ok);
    if (!ok) throw StoreFailure(SQLITE_CORRUPT);
    drop.Bind(1, std::int64_t{b}).Run();
    if (!merged.empty()) save.Bind(1, std::int64_t{b}).Bind(2, lastSegment).Bind(3, merged).Run();
  }
  Execute(db, "UPDATE meta SET value=0 WHERE key='dead'");
  Execute(db, "COMMIT");
}

void Library::Load() {
  if (loaded_) return;
  loaded_ = true;
  if (!store_) return;
  std::unordered_map<std::int64_t, std::size_t> fileIndex;
  for (std::size_t i = 0; i < fileIds_.size(); ++i) fileIndex.emplace(fileIds_[i], i);
  try {
    Statement all(store_->db, "SELECT id, file, number, name, section FROM entries");
    while (all.Step()) {
      const auto it = fileIndex.find(all.Int(1));
      if (it == fileIndex.end()) continue;
      entries_.push_back({static_cast<std::uint32_t>(all.Int(0)), it->second,
                          static_cast<std::uint32_t>(all.Int(2)), all.Text16(3), all.Text16(4)});
    }
  } catch (const StoreFailure&) {
    entries_.clear();
  }
  std::sort(entries_.begin(), entries_.end(), [](const LibraryEntry& a, const LibraryEntry& b) {
    return a.file != b.file ? a.file < b.file : a.number < b.number;
  });
  byId_.reserve(entries_.size());
  for (std::size_t i = 0; i < entries_.size(); ++i) byId_.emplace_back(entries_[i].id, i);
  std::sort(byId_.begin(), byId_.end());
  foldedPaths_.clear();
  fileFirst_.assign(files_.size() + 1, 0);
  for (const LibraryFileInfo& file : files_) {
    foldedPaths_.push_back(FoldForSearch(Utf16OfBytes(SearchedPath(file.path))));
  }
  for (const LibraryEntry& entry : entries_) ++fileFirst_[entry.file + 1];
  for (std::size_t f = 0; f < files_.size(); ++f) fileFirst_[f + 1] += fileFirst_[f];
}

const std::vector<LibraryEntry>& Library::Entries() {
  Load();
  return entries_;
}

std::optional<std::size_t> Library::Find(std::string_view path, std::uint32_t number) {
  Load();
  for (std::size_t file = 0; file < files_.size(); ++file) {
    if (files_[file].path != path) continue;
    const auto it = std::lower_bound(
        entries_.begin(), entries_.end(), std::make_pair(file, number),
        [](const LibraryEntry& entry, const std::pair<std::size_t, std::uint32_t>& key) {
          return entry.file != key.first ? entry.file < key.first : entry.number < key.second;
        });
    if (it != entries_.end() && it->file == file && it->number == number) {
      return static_cast<std::size_t>(it - entries_.begin());
    }
    return std::nullopt;
  }
  return std::nullopt;
}

std::u16string Library::Text(const LibraryEntry& entry) {
  if (!store_) return {};
  try {
    if (!store_->text)
      store_->text = std::make_unique<Statement>(store_->db, "SELECT text FROM texts WHERE id=?1");
    Statement& text = *store_->text;
    text.Bind(1, std::int64_t{entry.id});
    std::u16string found = text.Step() ? text.Text16(0) : std::u16string();
    text.Reset();
    return found;
  } catch (const StoreFailure&) {
    store_->text.reset();
  }
  return {};
}

GramPostings Library::Postings(std::uint64_t key, bool idsOnly) {
  GramPostings postings;
  if (!store_->postings) {
    store_->postings = std::make_unique<Statement>(
        store_->db, "SELECT data FROM postings WHERE bucket=?1 ORDER BY segment");
  }
  Statement& read = *store_->postings;
  read.Bind(1, std::int64_t{BucketOf(key)});
  bool ok = true;
  while (ok && read.Step()) ok = ReadPostings(read.Bytes(0), key, postings, idsOnly);
  read.Reset();
  if (!ok) throw StoreFailure(SQLITE_CORRUPT);
  return postings;
}

namespace {

// The first place at or after `from` in the increasing `ids` whose id is at least `id`: by steps
// that double, then a binary search within the last, so that a long list is crossed in few
// steps and a short gap in one.
std::size_t Gallop(const std::vector<std::uint32_t>& ids, std::size_t from, std::uint32_t id) {
  std::size_t step = 1;
  std::size_t to = from;
  while (to < ids.size() && ids[to] < id) {
    from = to + 1;
    to += step;
    step *= 2;
  }
  const auto end = ids.begin() + static_cast<std::ptrdiff_t>(std::min(to, ids.size()));
  return static_cast<std::size_t>(
      std::lower_bound(ids.begin() + static_cast<std::ptrdiff_t>(from), end, id) - ids.begin());
}

}  // namespace

std::vector<std::uint32_t> Library::TermIds(const std::u16string& term, std::vector<char>* proven) {
  if (term.size() == 1) return Postings(UnigramKey(term[0])).ids;
  if (term.size() == 2) return Postings(BigramKey(term[0], term[1])).ids;
  if (term.size() == 3) return Postings(TrigramKey(term[0], term[1], term[2]), true).ids;
  // Each triple of the term, read once however often it comes.
  std::vector<std::uint64_t> keys;
  for (std::size_t i = 0; i + 2 < term.size(); ++i) {
    keys.push_back(TrigramKey(term[i], term[i + 1], term[i + 2]));
  }
  std::vector<std::uint64_t> distinct = keys;
  std::sort(distinct.begin(), distinct.end());
  distinct.erase(std::unique(distinct.begin(), distinct.end()), distinct.end());
  std::vector<GramPostings> lists;
  for (std::uint64_t key : distinct) {
    lists.push_back(Postings(key));
    if (lists.back().ids.empty()) return {};
  }
  // The triple at offset i of the term stands at p + i where the term stands at p: its mask
  // turned back by i has bit p mod 64. The entries kept are those where some p has them all.
  //
  // The term is shown to stand at p when each triple not inside a run of the term has its first
  // or last place at p + i, and each run of three or more is long enough where it stands: after
  // the triple before it, or before the one after it when the term begins with it. A term that
  // is one run, or one character and a run, is settled by the longest such run in the entry;
  // and an entry whose runs are all shorter than one of the term's cannot hold it.
  struct At {
    const GramPostings* list;
    unsigned offset;        // modulo 64
    std::uint32_t at;       // in the term
    bool anchors;           // its first or last place must agree
    std::uint32_t need;     // the run its first place must show, 0 for none
    std::uint32_t minimum;  // the run the entry must have somewhere, 0 for none
    bool settles;           // a long enough run shows the term
  };
  const std::size_t length = term.size();
  // The length of the run of the term's character at each place, from there on.
  std::vector<std::uint32_t> runFrom(length + 1, 0);
  for (std::size_t i = length; i-- > 0;) {
    runFrom[i] = i + 1 < length && term[i + 1] == term[i] ? runFrom[i + 1] + 1 : 1;
  }
  std::vector<At> order;
  std::size_t runStart = 0;
  for (std::size_t i = 0; i < keys.size(); ++i) {
    if (term[i] != term[runStart]) runStart = i;
    const auto it = std::lower_bound(distinct.begin(), distinct.end(), keys[i]);
    At at{&lists[static_cast<std::size_t>(it - distinct.begin())],
          static_cast<unsigned>(i % kMaskBits),
          static_cast<std::uint32_t>(i),
          true,
          0,
          0,
          false};
    switch (ShapeOf(keys[i])) {
      case RunShape::kWithin:
        at.anchors = false;
        at.minimum = runFrom[runStart];
        at.settles = runFrom[0] == length;
        break;
      case RunShape::kRunAfter:  // before a run of the term
        if (runFrom[i + 1] >= 3) {
          at.need = at.minimum = runFrom[i + 1];
          at.settles = i == 0 && runFrom[1] == length - 1;
        }
        break;
      case RunShape::kRunBefore:  // after a run of the term
        if (runFrom[runStart] >= 3) {
          at.minimum = runFrom[runStart];
          if (runStart == 0) at.need = runFrom[0];
          at.settles = runStart == 0 && i + 3 == length;
        }
        break;
      case RunShape::kNone:
        break;
    }
    order.push_back(at);
  }
  // The shortest first, so each step is as short as it can be.
  std::stable_sort(order.begin(), order.end(), [](const At& a, const At& b) {
    return a.list->ids.size() < b.list->ids.size();
  });
  const auto turned = [](PositionMask mask, unsigned by) {
    return by == 0 ? mask : (mask >> by) | (mask << (kMaskBits - by));
  };
  // Where the term may stand by its triples' first and last places: none set before any says,
  // both lost once none agrees or a run is short (then the entry must be read).
  struct Place {
    bool placed = false;
    bool settled = false;
    std::int64_t p[2] = {-1, -1};
  };
  const auto stand = [](Place place, const At& at, const GramPostings& list,
                        std::size_t j) -> Place {
    if (at.settles && at.minimum <= kLongestRun && list.longest[j] >= at.minimum) {
      place.settled = true;
    }
    if (at.need != 0 && (at.need > kLongestRun || list.runs[j] < at.need)) {
      place.placed = true;
      place.p[0] = place.p[1] = -1;
      return place;
    }
    if (!at.anchors) return place;
    // A run's length is known after the first place only.
    const std::uint16_t places[2] = {list.firsts[j], at.need != 0 ? kUnknownFirst : list.lasts[j]};
    std::int64_t options[2] = {-1, -1};
    for (int k = 0; k < 2; ++k) {
      if (places[k] != kUnknownFirst && places[k] >= at.at) options[k] = places[k] - at.at;
    }
    if (options[1] == options[0]) options[1] = -1;
    if (!place.placed) {
      place.placed = true;
      place.p[0] = options[0];
      place.p[1] = options[1];
      return place;
    }
    for (std::int64_t& p : place.p) {
      if (p >= 0 && p != options[0] && p != options[1]) p = -1;
    }
    return place;
  };
  const auto proved = [](const Place& place) {
    return place.settled || (place.placed && (place.p[0] >= 0 || place.p[1] >= 0));
  };
  // The longest run of the triple's kind in the entry falls short of the term's.
  const auto shorter = [](const At& at, const GramPostings& list, std::size_t j) {
    return at.minimum != 0 && list.longest[j] < kLongestRun && list.longest[j] < at.minimum;
  };
  std::vector<std::uint32_t> ids;
  std::vector<PositionMask> starts;
  std::vector<Place> stands;
  for (std::size_t i = 0; i < order[0].list->ids.size(); ++i) {
    if (shorter(order[0], *order[0].list, i)) continue;
    ids.push_back(order[0].list->ids[i]);
    starts.push_back(turned(order[0].list->masks[i], order[0].offset));
    stands.push_back(stand(Place(), order[0], *order[0].list, i));
  }
  for (std::size_t o = 1; o < order.size() && !ids.empty(); ++o) {
    const GramPostings& list = *order[o].list;
    std::size_t kept = 0;
    std::size_t j = 0;
    for (std::size_t i = 0; i < ids.size(); ++i) {
      j = Gallop(list.ids, j, ids[i]);
      if (j == list.ids.size()) break;
      if (list.ids[j] != ids[i]) continue;
      const PositionMask left = starts[i] & turned(list.masks[j], order[o].offset);
      if (left == 0 || shorter(order[o], list, j)) continue;
      ids[kept] = ids[i];
      stands[kept] = stand(stands[i], order[o], list, j);
      starts[kept++] = left;
    }
    ids.resize(kept);
    starts.resize(kept);
    stands.resize(kept);
  }
  if (proven != nullptr) {
    proven->resize(ids.size());
    for (std::size_t i = 0; i < ids.size(); ++i) (*proven)[i] = proved(stands[i]) ? 1 : 0;
  }
  return ids;
}

std::vector<std::uint32_t> Library::PathIds(const std::u16string& term) const {
  std::vector<std::uint32_t> ids;
  for (std::size_t f = 0; f < foldedPaths_.size(); ++f) {
    if (foldedPaths_[f].find(term) == std::u16string::npos) continue;
    for (std::size_t k = fileFirst_[f]; k < fileFirst_[f + 1]; ++k) ids.push_back(entries_[k].id);
  }
  // Ids follow library order unless files were read again since.
  if (!std::is_sorted(ids.begin(), ids.end())) std::sort(ids.begin(), ids.end());
  return ids;
}

bool Library::Holds(std::size_t index, const std::vector<std::u16string>& terms) {
  const LibraryEntry& entry = entries_[index];
  if (foldedLabels_.empty()) foldedLabels_.resize(entries_.size() * 2);
  std::u16string& name = foldedLabels_[index * 2];
  std::u16string& section = foldedLabels_[index * 2 + 1];
  if (name.empty() && !entry.name.empty()) name = FoldForSearch(entry.name);
  if (section.empty() && !entry.section.empty()) section = FoldForSearch(entry.section);
  const std::u16string& path = foldedPaths_[entry.file];
  std::u16string text;
  bool textFolded = false;
  for (const std::u16string& term : terms) {
    if (name.find(term) != std::u16string::npos || section.find(term) != std::u16string::npos ||
        path.find(term) != std::u16string::npos) {
      continue;
    }
    if (!textFolded) {
      text = FoldForSearch(Text(entry));
      textFolded = true;
    }
    if (text.find(term) == std::u16string::npos) return false;
  }
  return true;
}

LibraryCandidates Library::FindCandidates(std::u16string_view query) {
  Load();
  LibraryCandidates candidates;
  std::vector<std::u16string> terms = SplitQuery(query);
  // A term the path of every entry's file holds is held by every entry: it leaves the others to
  // decide, and the index need not be asked.
  terms.erase(std::remove_if(terms.begin(), terms.end(),
                             [this](const std::u16string& term) {
                               for (std::size_t f = 0; f < foldedPaths_.size(); ++f) {
                                 if (fileFirst_[f] != fileFirst_[f + 1] &&
                                     foldedPaths_[f].find(term) == std::u16string::npos) {
                                   return false;
                                 }
                               }
                               return true;
                             }),
              terms.end());
  if (terms.empty()) {
    candidates.entries.resize(entries_.size());
    for (std::size_t i = 0; i < entries_.size(); ++i) candidates.entries[i] = i;
    candidates.sure.assign(entries_.size(), 1);
    return candidates;
  }
  if (!store_) return candidates;
  std::vector<std::uint32_t> ids;
  std::vector<char> sure;  // by ids: every long term shown to stand by the index
  try {
    for (std::size_t t = 0; t < terms.size(); ++t) {
      std::vector<char> proven;
      const bool longTerm = terms[t].size() > 3;
      const std::vector<std::uint32_t> byPath = PathIds(terms[t]);
      std::vector<std::uint32_t> termIds = TermIds(terms[t], longTerm ? &proven : nullptr);
      if (!longTerm) proven.assign(termIds.size(), 1);
      if (!byPath.empty()) {
        // Both in id order: an entry found by its path holds the term for sure.
        std::vector<std::uint32_t> joined;
        std::vector<char> joinedProven;
        joined.reserve(termIds.size() + byPath.size());
        joinedProven.reserve(termIds.size() + byPath.size());
        std::size_t i = 0;
        std::size_t j = 0;
        while (i < termIds.size() || j < byPath.size()) {
          if (j == byPath.size() || (i < termIds.size() && termIds[i] < byPath[j])) {
            joined.push_back(termIds[i]);
            joinedProven.push_back(proven[i++]);
            continue;
          }
          if (i < termIds.size() && termIds[i] == byPath[j]) ++i;
          joined.push_back(byPath[j++]);
          joinedProven.push_back(1);
        }
        termIds = std::move(joined);
        proven = std::move(joinedProven);
      }
      if (t == 0) {
        ids = std::move(termIds);
        sure = std::move(proven);
      } else {
        // Both in id order: kept where both hold, sure where both are.
        std::size_t kept = 0;
        std::size_t j = 0;
        for (std::size_t i = 0; i < ids.size(); ++i) {
          while (j < termIds.size() && termIds[j] < ids[i]) ++j;
          if (j == termIds.size()) break;
          if (termIds[j] != ids[i]) continue;
          ids[kept] = ids[i];
          sure[kept++] = sure[i] && proven[j];
        }
        ids.resize(kept);
        sure.resize(kept);
      }
      if (longTerm) candidates.unsure.push_back(terms[t]);
      if (ids.empty()) break;
    }
  } catch (const StoreFailure&) {
    store_->postings.reset();
    candidates.unsure.clear();
    return candidates;
  }
  // Both lists are in id order, and ids are library order unless files were read again since:
  // then the entries found are marked, to be taken in order.
  std::vector<std::pair<std::size_t, char>> found;
  found.reserve(ids.size());
  auto from = byId_.begin();
  for (std::size_t k = 0; k < ids.size(); ++k) {
    if (from == byId_.end()) break;
    // Usually the next id or close to it: a few steps before a binary search.
    for (int step = 0; step < 4 && from != byId_.end() && from->first < ids[k]; ++step) ++from;
    if (from != byId_.end() && from->first < ids[k]) {
      from = std::lower_bound(from, byId_.end(), std::make_pair(ids[k], std::size_t{0}));
    }
    // Ids of entries that are gone stay in older segments until they are merged.
    if (from == byId_.end() || from->first != ids[k]) continue;
    found.emplace_back(from->second, sure[k]);
  }
  if (std::is_sorted(found.begin(), found.end())) {
    candidates.entries.reserve(found.size());
    candidates.sure.reserve(found.size());
    for (const auto& [index, proven] : found) {
      candidates.entries.push_back(index);
      candidates.sure.push_back(proven);
    }
  } else {
    std::vector<char> marks(entries_.size(), 0);  // 1 + sure
    for (const auto& [index, proven] : found) marks[index] = static_cast<char>(1 + proven);
    for (std::size_t index = 0; index < marks.size(); ++index) {
      if (marks[index] == 0) continue;
      candidates.entries.push_back(index);
      candidates.sure.push_back(static_cast<char>(marks[index] - 1));
    }
  }
  if (found.empty()) candidates.unsure.clear();
  return candidates;
}

bool Library::Holds(std::size_t k, const LibraryCandidates& candidates) {
  return candidates.unsure.empty() || candidates.sure[k] ||
         Holds(candidates.entries[k], candidates.unsure);
}

namespace {

// One read of the index for all that follows, rather than one for each row read: each takes and
// gives back the file's locks. Nothing when a transaction is open already, or cannot be.
class Reading {
 public:
  explicit Reading(sqlite3* db)
      : db_(db != nullptr && sqlite3_get_autocommit(db) != 0 ? db : nullptr) {
    if (db_ != nullptr && sqlite3_exec(db_, "BEGIN", nullptr, nullptr, nullptr) != SQLITE_OK) {
      db_ = nullptr;
    }
  }
  ~Reading() {
    if (db_ != nullptr) sqlite3_exec(db_, "COMMIT", nullptr, nullptr, nullptr);
  }
  Reading(const Reading&) = delete;
  Reading& operator=(const Reading&) = delete;

 private:
  sqlite3* db_;
};

}  // namespace

std::vector<std::size_t> Library::Search(std::u16string_view query) {
  const Reading reading(store_ ? store_->db : nullptr);
  LibraryCandidates candidates = FindCandidates(query);
  if (candidates.unsure.empty()) return std::move(candidates.entries);
  std::vector<std::size_t> found;
  for (std::size_t k = 0; k < candidates.entries.size(); ++k) {
    if (Holds(k, candidates)) found.push_back(candidates.entries[k]);
  }
  return found;
}

}  // namespace koron
