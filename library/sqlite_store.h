// What the library's two SQLite files share: statements, failures, and the folders they live in.
#pragma once

#include <sqlite3.h>

#include <algorithm>
#include <cstdint>
#include <stdexcept>
#include <string>
#include <string_view>

namespace koron {

// Raised for any failure of a database, with SQLite's code.
struct StoreFailure : std::runtime_error {
  explicit StoreFailure(int code) : std::runtime_error(sqlite3_errstr(code)), code(code) {}
  int code;
};

class Statement {
 public:
  Statement(sqlite3* db, const char* sql) {
    Check(sqlite3_prepare_v2(db, sql, -1, &statement_, nullptr));
  }
  ~Statement() { sqlite3_finalize(statement_); }
  Statement(const Statement&) = delete;
  Statement& operator=(const Statement&) = delete;

  Statement& Bind(int at, std::int64_t value) {
    Check(sqlite3_bind_int64(statement_, at, value));
    return *this;
  }
  Statement& Bind(int at, std::string_view bytes) {
    Check(sqlite3_bind_blob64(statement_, at, bytes.data(), bytes.size(), SQLITE_STATIC));
    return *this;
  }
  Statement& Bind(int at, std::u16string_view text) {
    Check(sqlite3_bind_blob64(statement_, at, text.data(), text.size() * sizeof(char16_t),
                              SQLITE_STATIC));
    return *this;
  }
  // As SQLite text (kept in UTF-8), for data a user may look at with other tools.
  Statement& BindText(int at, std::u16string_view text) {
    Check(sqlite3_bind_text64(statement_, at, reinterpret_cast<const char*>(text.data()),
                              text.size() * sizeof(char16_t), SQLITE_STATIC, SQLITE_UTF16));
    return *this;
  }
  // True while there is a row.
  bool Step() {
    const int result = sqlite3_step(statement_);
    if (result == SQLITE_ROW) return true;
    if (result != SQLITE_DONE) Check(result);
    return false;
  }
  void Run() {
    while (Step()) {
    }
    Reset();
  }
  void Reset() {
    sqlite3_reset(statement_);
    sqlite3_clear_bindings(statement_);
  }
  std::int64_t Int(int column) { return sqlite3_column_int64(statement_, column); }
  std::string_view Bytes(int column) {
    const void* data = sqlite3_column_blob(statement_, column);
    const int size = sqlite3_column_bytes(statement_, column);
    return data == nullptr ? std::string_view()
                           : std::string_view(static_cast<const char*>(data), size);
  }
  std::u16string Utf16(int column) {
    const auto* data = static_cast<const char16_t*>(sqlite3_column_text16(statement_, column));
    const int bytes = sqlite3_column_bytes16(statement_, column);
    return data == nullptr ? std::u16string()
                           : std::u16string(data, static_cast<std::size_t>(bytes) / 2);
  }
  std::u16string Text16(int column) {
    const std::string_view bytes = Bytes(column);
    std::u16string text(bytes.size() / sizeof(char16_t), u'\0');
    std::copy(bytes.begin(), bytes.begin() + static_cast<std::ptrdiff_t>(text.size() * 2),
              reinterpret_cast<char*>(text.data()));
    return text;
  }

 private:
  void Check(int result) {
    if (result != SQLITE_OK) throw StoreFailure(result);
  }
  sqlite3_stmt* statement_ = nullptr;
};

inline void Execute(sqlite3* db, const char* sql) {
  const int result = sqlite3_exec(db, sql, nullptr, nullptr, nullptr);
  if (result != SQLITE_OK) throw StoreFailure(result);
}

// Opens (or creates) the database at `path`, ":memory:" for one in memory, waits up to `busyMs`
// for other processes, and runs `setup` (journal mode and the like). Throws StoreFailure, with
// nothing left open.
sqlite3* OpenDatabase(const std::string& path, int busyMs, const char* setup);
// PRAGMA user_version: 0 for a database just made.
int UserVersion(sqlite3* db);

// 64-bit FNV-1a of the bytes.
std::uint64_t Fnv1a(std::string_view bytes);
// The folder's real path, or the folder as given when it cannot be resolved.
std::string CanonicalFolder(const std::string& folder);
// Makes the folder and those above it (mode 0700); whether it is there now.
bool MakeFolders(const std::string& path);

}  // namespace koron
