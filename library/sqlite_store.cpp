#include "library/sqlite_store.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstdlib>

namespace koron {

sqlite3* OpenDatabase(const std::string& path, int busyMs, const char* setup) {
  sqlite3* db = nullptr;
  const int opened =
      sqlite3_open_v2(path.c_str(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
  if (opened != SQLITE_OK) {
    sqlite3_close_v2(db);
    throw StoreFailure(opened);
  }
  sqlite3_busy_timeout(db, busyMs);
  try {
    Execute(db, setup);
  } catch (...) {
    sqlite3_close_v2(db);
    throw;
  }
  return db;
}

int UserVersion(sqlite3* db) {
  Statement read(db, "PRAGMA user_version");
  return read.Step() ? static_cast<int>(read.Int(0)) : 0;
}

std::uint64_t Fnv1a(std::string_view bytes) {
  std::uint64_t hash = 14695981039346656037ULL;
  for (unsigned char byte : bytes) hash = (hash ^ byte) * 1099511628211ULL;
  return hash;
}

std::string CanonicalFolder(const std::string& folder) {
  char* resolved = realpath(folder.c_str(), nullptr);
  if (resolved == nullptr) return folder;
  std::string path(resolved);
  std::free(resolved);
  return path;
}

bool MakeFolders(const std::string& path) {
  for (std::size_t at = 1; at <= path.size(); ++at) {
    if (at != path.size() && path[at] != '/') continue;
    const std::string part = path.substr(0, at);
    if (mkdir(part.c_str(), 0700) != 0 && errno != EEXIST) return false;
  }
  struct stat info {};
  return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

}  // namespace koron
