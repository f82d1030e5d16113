#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace koron {

class Statement;

// An entry the user took from the library, kept with its text, its file and its number, so that
// it stays when its file changes or is gone.
struct KeptEntry {
  std::string path;  // relative to the working folder
  std::uint32_t number = 0;
  std::u16string name;
  std::u16string section;
  std::u16string text;
  std::int64_t time = 0;  // last used (history) or added (favourites), in seconds since 1970
};

// $XDG_DATA_HOME/koron-aa, or ~/.local/share/koron-aa; empty when neither can be told.
std::string DefaultDataFolder();

// The user's history and favourites of one working folder's library. They are the user's data,
// not a cache: kept in SQLite at `path` (usually DefaultDataFolder() + "/library.sqlite3"), shared
// by every working folder and by processes at once. A store that cannot be opened or written is
// kept in memory; a damaged one is set aside as PATH.bad, never deleted; Problem() tells which.
class UserStore {
 public:
  static constexpr std::size_t kHistoryLength = 1000;

  // An empty path keeps the store in memory.
  static std::unique_ptr<UserStore> Open(const std::string& path, const std::string& workFolder);
  ~UserStore();
  UserStore(const UserStore&) = delete;
  UserStore& operator=(const UserStore&) = delete;

  // Empty while the store is kept on disk; else why it is not.
  const std::string& Problem() const { return problem_; }

  // Puts the entry first in the history; the same picture used again moves up. The oldest go
  // beyond kHistoryLength entries.
  bool Use(const KeptEntry& entry);
  std::vector<KeptEntry> History();  // newest first
  bool ClearHistory();

  // A favourite is the same picture: file, number and text alike.
  bool AddFavourite(const KeptEntry& entry);
  bool RemoveFavourite(const KeptEntry& entry);
  bool IsFavourite(const KeptEntry& entry);
  std::vector<KeptEntry> Favourites();  // in the order added

 private:
  struct Database;
  UserStore();
  bool Keep(int kind, const KeptEntry& entry);
  std::vector<KeptEntry> List(int kind, bool newestFirst);
  bool Failed(const char* what);
  std::unique_ptr<Statement> Favourite(const char* sql, const KeptEntry& entry);

  std::unique_ptr<Database> db_;
  std::string folder_;
  std::string problem_;
};

}  // namespace koron
