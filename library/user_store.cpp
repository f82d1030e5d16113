#include "library/user_store.h"

#include <sys/stat.h>

#include <cstdio>
#include <cstdlib>
#include <ctime>

#include "library/sqlite_store.h"

namespace koron {
namespace {

constexpr int kStoreVersion = 1;
enum Kind { kHistory = 0, kFavourite = 1 };

constexpr char kSchema[] = R"sql(
CREATE TABLE IF NOT EXISTS kept(
  kind INTEGER NOT NULL, folder BLOB NOT NULL, path BLOB NOT NULL, number INTEGER NOT NULL,
  digest INTEGER NOT NULL, name TEXT, section TEXT, text TEXT NOT NULL,
  seq INTEGER NOT NULL, time INTEGER NOT NULL,
  UNIQUE(kind, folder, path, number, digest));
CREATE INDEX IF NOT EXISTS kept_in_order ON kept(kind, folder, seq);
)sql";

std::int64_t Digest(std::u16string_view text) {
  return static_cast<std::int64_t>(Fnv1a(std::string_view(
      reinterpret_cast<const char*>(text.data()), text.size() * sizeof(char16_t))));
}

bool Exists(const std::string& path) {
  struct stat info {};
  return lstat(path.c_str(), &info) == 0;
}

// Moves a damaged store out of the way under a name no other has, so nothing in it is lost.
void SetAside(const std::string& path) {
  std::string aside = path + ".bad";
  for (int n = 1; Exists(aside); ++n) aside = path + ".bad." + std::to_string(n);
  std::rename(path.c_str(), aside.c_str());
  std::rename((path + "-wal").c_str(), (aside + "-wal").c_str());
  std::remove((path + "-shm").c_str());
}

sqlite3* OpenStore(const std::string& path) {
  sqlite3* db = OpenDatabase(path, 10'000, "PRAGMA journal_mode=WAL; PRAGMA synchronous=NORMAL;");
  try {
    const int version = UserVersion(db);
    if (version > kStoreVersion) throw StoreFailure(SQLITE_CANTOPEN);  // a newer program's
    Execute(db, "BEGIN IMMEDIATE");
    Execute(db, kSchema);
    Execute(db, ("PRAGMA user_version=" + std::to_string(kStoreVersion)).c_str());
    Execute(db, "COMMIT");
  } catch (...) {
    sqlite3_close_v2(db);
    throw;
  }
  return db;
}

std::string Words(int code) {
  switch (code & 0xFF) {
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
      return "was damaged and is set aside";
    case SQLITE_CANTOPEN:
      return "cannot be opened, or was written by a newer version";
    case SQLITE_READONLY:
    case SQLITE_PERM:
      return "cannot be written";
    default:
      return sqlite3_errstr(code);
  }
}

std::string FolderOf(const std::string& path) {
  const std::size_t slash = path.rfind('/');
  return slash == std::string::npos || slash == 0 ? std::string(slash == 0 ? "/" : ".")
                                                  : path.substr(0, slash);
}

}  // namespace

std::string DefaultDataFolder() {
  const char* data = std::getenv("XDG_DATA_HOME");
  // The XDG rule: a relative path is to be ignored.
  if (data != nullptr && data[0] == '/') return std::string(data) + "/koron-aa";
  const char* home = std::getenv("HOME");
  if (home != nullptr && home[0] == '/') return std::string(home) + "/.local/share/koron-aa";
  return {};
}

struct UserStore::Database {
  sqlite3* db = nullptr;
  ~Database() { sqlite3_close_v2(db); }
};

UserStore::UserStore() = default;
UserStore::~UserStore() = default;

std::unique_ptr<UserStore> UserStore::Open(const std::string& path, const std::string& workFolder) {
  std::unique_ptr<UserStore> store(new UserStore());
  store->folder_ = CanonicalFolder(workFolder);
  store->db_ = std::make_unique<Database>();
  if (!path.empty()) {
    if (!MakeFolders(FolderOf(path))) {
      store->problem_ = path + ": its folder cannot be made";
    } else {
      for (int attempt = 0; attempt < 2 && store->db_->db == nullptr; ++attempt) {
        try {
          store->db_->db = OpenStore(path);
        } catch (const StoreFailure& failure) {
          const int code = failure.code & 0xFF;
          store->problem_ = path + ": " + Words(failure.code);
          if (attempt == 0 && (code == SQLITE_CORRUPT || code == SQLITE_NOTADB)) {
            SetAside(path);
          } else {
            break;
          }
        }
      }
      // Started afresh after setting a damaged one aside: the problem is still told.
    }
  }
  if (store->db_->db == nullptr) {
    try {
      store->db_->db = OpenStore(":memory:");
    } catch (const StoreFailure&) {
      store->db_->db = nullptr;
    }
  }
  return store;
}

bool UserStore::Failed(const char* what) {
  problem_ = std::string(what) + ": " + (db_->db ? sqlite3_errmsg(db_->db) : "no store");
  return false;
}

bool UserStore::Keep(int kind, const KeptEntry& entry) {
  if (db_->db == nullptr) return false;
  sqlite3* db = db_->db;
  try {
    Execute(db, "BEGIN IMMEDIATE");
    try {
      // Used again, a picture of the history moves up; a favourite keeps its place.
      Statement save(db, kind == kHistory
                             ? "INSERT INTO kept VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, "
                               "(SELECT coalesce(max(seq), 0) + 1 FROM kept), ?9) "
                               "ON CONFLICT DO UPDATE SET seq=excluded.seq, time=excluded.time, "
                               "name=excluded.name, section=excluded.section"
                             : "INSERT INTO kept VALUES(?1, ?2, ?3, ?4, ?5, ?6, ?7, ?8, "
                               "(SELECT coalesce(max(seq), 0) + 1 FROM kept), ?9) "
                               "ON CONFLICT DO NOTHING");
      save.Bind(1, std::int64_t{kind})
          .Bind(2, std::string_view(folder_))
          .Bind(3, std::string_view(entry.path))
          .Bind(4, std::int64_t{entry.number})
          .Bind(5, Digest(entry.text))
          .BindText(6, entry.name)
          .BindText(7, entry.section)
          .BindText(8, entry.text)
          .Bind(9, static_cast<std::int64_t>(std::time(nullptr)));
      save.Run();
      if (kind == kHistory) {
        Statement trim(db,
                       "DELETE FROM kept WHERE kind=0 AND folder=?1 AND seq <= "
                       "(SELECT seq FROM kept WHERE kind=0 AND folder=?1 "
                       "ORDER BY seq DESC LIMIT 1 OFFSET ?2)");
        trim.Bind(1, std::string_view(folder_))
            .Bind(2, static_cast<std::int64_t>(kHistoryLength))
            .Run();
      }
      Execute(db, "COMMIT");
    } catch (const StoreFailure&) {
      sqlite3_exec(db, "ROLLBACK", nullptr, nullptr, nullptr);
      throw;
    }
  } catch (const StoreFailure&) {
    return Failed(kind == kHistory ? "the history" : "the favourites");
  }
  return true;
}

std::vector<KeptEntry> UserStore::List(int kind, bool newestFirst) {
  std::vector<KeptEntry> kept;
  if (db_->db == nullptr) return kept;
  try {
    Statement all(db_->db, newestFirst ? "SELECT path, number, name, section, text, time FROM kept "
                                         "WHERE kind=?1 AND folder=?2 ORDER BY seq DESC"
                                       : "SELECT path, number, name, section, text, time FROM kept "
                                         "WHERE kind=?1 AND folder=?2 ORDER BY seq");
    all.Bind(1, std::int64_t{kind}).Bind(2, std::string_view(folder_));
    while (all.Step()) {
      kept.push_back({std::string(all.Bytes(0)), static_cast<std::uint32_t>(all.Int(1)),
                      all.Utf16(2), all.Utf16(3), all.Utf16(4), all.Int(5)});
    }
  } catch (const StoreFailure&) {
    Failed("reading the store");
  }
  return kept;
}

bool UserStore::Use(const KeptEntry& entry) { return Keep(kHistory, entry); }
std::vector<KeptEntry> UserStore::History() { return List(kHistory, true); }
bool UserStore::AddFavourite(const KeptEntry& entry) { return Keep(kFavourite, entry); }
std::vector<KeptEntry> UserStore::Favourites() { return List(kFavourite, false); }

bool UserStore::ClearHistory() {
  if (db_->db == nullptr) return false;
  try {
    Statement clear(db_->db, "DELETE FROM kept WHERE kind=0 AND folder=?1");
    clear.Bind(1, std::string_view(folder_)).Run();
  } catch (const StoreFailure&) {
    return Failed("the history");
  }
  return true;
}

// The statement `sql` (with ?1 to ?4 as in RemoveFavourite's) bound to the entry's picture.
std::unique_ptr<Statement> UserStore::Favourite(const char* sql, const KeptEntry& entry) {
  auto statement = std::make_unique<Statement>(db_->db, sql);
  statement->Bind(1, std::string_view(folder_))
      .Bind(2, std::string_view(entry.path))
      .Bind(3, std::int64_t{entry.number})
      .Bind(4, Digest(entry.text));
  return statement;
}

bool UserStore::RemoveFavourite(const KeptEntry& entry) {
  if (db_->db == nullptr) return false;
  try {
    Favourite(
        "DELETE FROM kept WHERE kind=1 AND folder=?1 AND path=?2 AND number=?3 "
        "AND digest=?4",
        entry)
        ->Run();
  } catch (const StoreFailure&) {
    return Failed("the favourites");
  }
  return true;
}

bool UserStore::IsFavourite(const KeptEntry& entry) {
  if (db_->db == nullptr) return false;
  try {
    return Favourite(
               "SELECT 1 FROM kept WHERE kind=1 AND folder=?1 AND path=?2 AND number=?3 "
               "AND digest=?4",
               entry)
        ->Step();
  } catch (const StoreFailure&) {
    return Failed("the favourites");
  }
}

}  // namespace koron
