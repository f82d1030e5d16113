#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

#include "library/gram_index.h"
#include "library/library_scan.h"

struct sqlite3;

namespace koron {

// A file of the library that gave entries, in library order.
struct LibraryFileInfo {
  std::string path;           // relative to the working folder
  std::uint32_t entries = 0;  // listed entries
};

// A listed entry: the `number`-th entry of Files()[file].
struct LibraryEntry {
  std::uint32_t id = 0;  // the index's own, for its text
  std::size_t file = 0;
  std::uint32_t number = 0;
  std::u16string name;
  std::u16string section;
};

class Library;

struct LibraryOptions {
  std::string workFolder;
  // Where the index is kept; empty for none (it then lives in memory only). DefaultCacheFolder()
  // is the usual place.
  std::string cacheFolder;
  // Told before each file that is read: files read so far and files to read.
  std::function<void(std::size_t done, std::size_t total)> progress;
  // Asked between files; true stops the indexing, keeping what was indexed so far.
  std::function<bool()> cancelled;
  // Told after each commit while files remain to be read. Calling `snapshot` then gives a
  // library of what the index holds so far, on a connection of its own, for another thread to
  // show; null when the index is in memory.
  std::function<void(const std::function<std::unique_ptr<Library>()>& snapshot)> committed;
  // The bytes of files read between two commits; 0 for the usual 32 MiB (smaller in tests).
  std::uint64_t batchBytes = 0;
};

// What the index alone finds for a query: the entries that may match, in library order, and the
// terms each of them must still be shown to hold (none: they all match).
struct LibraryCandidates {
  std::vector<std::size_t> entries;
  std::vector<char> sure;  // one for each of entries: shown to match by the index alone
  std::vector<std::u16string> unsure;
};

// $XDG_CACHE_HOME/koron-aa, or ~/.cache/koron-aa; empty when neither can be told.
std::string DefaultCacheFolder();

// A working folder's library and its index, kept in SQLite as a cache: deleting it loses
// nothing. Opening reads again only the files that are new or changed (by device, inode, size,
// mtime and ctime) and drops the ones that are gone. A damaged index, or one of another version,
// is set aside and built again; where no index can be written it is kept in memory. Processes
// opening the same library take turns to bring it up to date, so each sees it whole.
class Library {
 public:
  static std::unique_ptr<Library> Open(const LibraryOptions& options);
  ~Library();
  Library(const Library&) = delete;
  Library& operator=(const Library&) = delete;

  const std::vector<LibraryFileInfo>& Files() const { return files_; }
  // Files and folders left out, by path, and why.
  const std::vector<LibraryProblem>& Problems() const { return problems_; }
  // The folders read, relative to the working folder ("AA", "AA/sub", ...).
  const std::vector<std::string>& Folders() const { return folders_; }
  // Every listed entry, in library order: file by file, by number.
  const std::vector<LibraryEntry>& Entries();
  // Entries()'s index of the entry, if it is listed.
  std::optional<std::size_t> Find(std::string_view path, std::uint32_t number);
  // The entry's text: its lines, each followed by CR LF.
  std::u16string Text(const LibraryEntry& entry);
  // Entries()'s indexes of the entries matching `query`, in library order: those in which every
  // term occurs in the text, the name, the section, or the file's path without "AA/", compared
  // after NFKC case folding. A query without terms matches every entry.
  std::vector<std::size_t> Search(std::u16string_view query);
  // Search in two steps, for a window that shows the first results before it has checked the
  // rest: the candidates, then Holds for each unsure one (Search is both, whole).
  LibraryCandidates FindCandidates(std::u16string_view query);
  // Whether candidate `k` (of candidates.entries) holds the query.
  bool Holds(std::size_t k, const LibraryCandidates& candidates);

  // Where the index is kept; empty when in memory.
  const std::string& IndexPath() const { return indexPath_; }
  // Collection files read by Open (for tests and benchmarks).
  std::size_t FilesRead() const { return filesRead_; }

 private:
  struct Store;
  Library();
  struct FileRow;
  void Refresh(const LibraryScan& scan, const LibraryOptions& options);
  // files_, fileIds_ and problems_ from the scan and the index's rows of files.
  void TakeFiles(const LibraryScan& scan, const std::unordered_map<std::string, FileRow>& rows);
  std::unique_ptr<Library> Snapshot(const LibraryScan& scan) const;
  // The index's rows of files, by path.
  static std::unordered_map<std::string, FileRow> ReadFileRows(sqlite3* db);
  void Compact();
  void Load();
  GramPostings Postings(GramKey key, bool idsOnly = false);
  // The ids that may hold `term`, increasing; for a term longer than three units, `proven` (by
  // id) tells those the index shows to hold it.
  std::vector<std::uint32_t> TermIds(const std::u16string& term, std::vector<char>* proven);
  bool Holds(std::size_t index, const std::vector<std::u16string>& terms);
  // The ids of the entries whose file's path holds `term`, increasing. Paths are matched here,
  // once a file, rather than kept in the index for every entry.
  std::vector<std::uint32_t> PathIds(const std::u16string& term) const;

  std::unique_ptr<Store> store_;
  std::string indexPath_;
  std::vector<LibraryFileInfo> files_;
  std::vector<std::int64_t> fileIds_;  // the index's id of each of files_
  std::vector<LibraryProblem> problems_;
  std::vector<std::string> folders_;
  std::size_t filesRead_ = 0;
  bool loaded_ = false;
  std::vector<LibraryEntry> entries_;
  std::vector<std::pair<std::uint32_t, std::size_t>> byId_;  // id, index into entries_
  std::vector<std::u16string> foldedPaths_;                  // by file
  std::vector<std::size_t> fileFirst_;  // by file, its first entry in entries_; then their count
  std::vector<std::u16string> foldedLabels_;  // name and section of each entry, when needed
};

}  // namespace koron
