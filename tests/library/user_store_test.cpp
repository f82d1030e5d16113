#include "library/user_store.h"

#include <gtest/gtest.h>
#include <sqlite3.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/text/scratch_dir.h"

namespace koron {
namespace {

using testing::ScratchDir;

KeptEntry Entry(const std::string& path, std::uint32_t number, const std::u16string& text) {
  return {path, number, u"name", u"section", text, 0};
}

// FILE#N of each kept entry, space-separated.
std::string Listed(const std::vector<KeptEntry>& kept) {
  std::string out;
  for (const KeptEntry& entry : kept) out += entry.path + "#" + std::to_string(entry.number) + " ";
  return out;
}

class UserStoreTest : public ::testing::Test {
 protected:
  std::unique_ptr<UserStore> Open(const std::string& work = "") const {
    return UserStore::Open(path_, work.empty() ? work_.path() : work);
  }
  ScratchDir work_;
  ScratchDir data_;
  std::string path_ = data_.Path("koron-aa/library.sqlite3");
};

TEST_F(UserStoreTest, HistoryAndFavouritesAreKept) {
  {
    const auto store = Open();
    EXPECT_EQ(store->Problem(), "");
    for (const char* path : {"AA/a.mlt", "AA/b.ast", "AA/a.mlt"}) {
      EXPECT_TRUE(store->Use(Entry(path, 2, u"( ´∀｀)\r\n")));
    }
    EXPECT_TRUE(store->AddFavourite(Entry("AA/b.ast", 1, u"one\r\n")));
    EXPECT_TRUE(store->AddFavourite(Entry("AA/a.mlt", 1, u"two\r\n")));
    EXPECT_TRUE(store->AddFavourite(Entry("AA/b.ast", 1, u"one\r\n")));  // already there
  }
  // Reopened, as after a restart: the text is the store's own, whatever became of the file.
  const auto store = Open();
  EXPECT_EQ(Listed(store->History()), "AA/a.mlt#2 AA/b.ast#2 ");
  EXPECT_EQ(store->History()[0].text, u"( ´∀｀)\r\n");
  EXPECT_EQ(store->History()[0].name, u"name");
  EXPECT_GT(store->History()[0].time, 0);
  EXPECT_EQ(Listed(store->Favourites()), "AA/b.ast#1 AA/a.mlt#1 ");
  struct Case {
    KeptEntry entry;
    bool favourite;
  };
  for (const Case& c : {Case{Entry("AA/b.ast", 1, u"one\r\n"), true},
                        Case{Entry("AA/b.ast", 1, u"changed since\r\n"), false},
                        Case{Entry("AA/b.ast", 2, u"one\r\n"), false}}) {
    EXPECT_EQ(store->IsFavourite(c.entry), c.favourite) << c.entry.number;
  }
  EXPECT_TRUE(store->RemoveFavourite(Entry("AA/b.ast", 1, u"one\r\n")));
  EXPECT_EQ(Listed(store->Favourites()), "AA/a.mlt#1 ");
  // Another working folder has its own.
  ScratchDir other;
  EXPECT_EQ(Listed(Open(other.path())->History()), "");
  EXPECT_TRUE(store->ClearHistory());
  EXPECT_EQ(Listed(store->History()), "");
  EXPECT_EQ(Listed(store->Favourites()), "AA/a.mlt#1 ");
}

TEST_F(UserStoreTest, HistoryKeepsTheNewest) {
  const auto store = Open();
  for (std::uint32_t n = 1; n <= UserStore::kHistoryLength + 5; ++n) {
    ASSERT_TRUE(store->Use(Entry("AA/a.mlt", n, u"x")));
  }
  const std::vector<KeptEntry> history = store->History();
  ASSERT_EQ(history.size(), UserStore::kHistoryLength);
  EXPECT_EQ(history.front().number, UserStore::kHistoryLength + 5);
  EXPECT_EQ(history.back().number, 6u);
}

TEST_F(UserStoreTest, BadPlacesKeepTheStoreInMemoryAndLoseNothing) {
  ASSERT_TRUE(Open()->AddFavourite(Entry("AA/a.mlt", 1, u"kept")));
  // Damaged: set aside under a free name, and a fresh store takes its place.
  const std::string damaged(4096, 'x');
  data_.Write("koron-aa/library.sqlite3.bad", "an older one");
  data_.Write("koron-aa/library.sqlite3", damaged);
  std::filesystem::remove(path_ + "-wal");
  {
    const auto store = Open();
    EXPECT_NE(store->Problem(), "");
    EXPECT_TRUE(store->Use(Entry("AA/a.mlt", 1, u"new")));
    EXPECT_EQ(ScratchDir::Read(path_ + ".bad.1"), damaged);
    EXPECT_EQ(ScratchDir::Read(path_ + ".bad"), "an older one");
  }
  EXPECT_EQ(Listed(Open()->History()), "AA/a.mlt#1 ");

  // A newer version's store is left as it is.
  sqlite3* db = nullptr;
  ASSERT_EQ(sqlite3_open(path_.c_str(), &db), SQLITE_OK);
  sqlite3_exec(db, "PRAGMA user_version=9", nullptr, nullptr, nullptr);
  sqlite3_close(db);
  {
    const auto store = Open();
    EXPECT_NE(store->Problem(), "");
    EXPECT_EQ(Listed(store->History()), "");
  }
  ASSERT_EQ(sqlite3_open(path_.c_str(), &db), SQLITE_OK);
  sqlite3_exec(db, "PRAGMA user_version=1", nullptr, nullptr, nullptr);
  sqlite3_close(db);
  EXPECT_EQ(Listed(Open()->History()), "AA/a.mlt#1 ");

  // A folder that cannot be made: in memory for this run.
  data_.Write("file", "where a folder would be");
  const auto store = UserStore::Open(data_.Path("file/library.sqlite3"), work_.path());
  EXPECT_NE(store->Problem(), "");
  EXPECT_TRUE(store->Use(Entry("AA/a.mlt", 3, u"in memory")));
  EXPECT_EQ(Listed(store->History()), "AA/a.mlt#3 ");
}

TEST_F(UserStoreTest, TwoProcessesAtOnce) {
  Open();
  std::vector<pid_t> children;
  for (int c = 0; c < 2; ++c) {
    const pid_t child = fork();
    if (child == 0) {
      const auto store = Open();
      bool ok = store->Problem().empty();
      for (std::uint32_t n = 1; n <= 50; ++n) {
        ok = store->Use(Entry("AA/" + std::to_string(c) + ".mlt", n, u"x")) && ok;
      }
      _exit(ok ? 0 : 1);
    }
    children.push_back(child);
  }
  for (pid_t child : children) {
    int status = 0;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  EXPECT_EQ(Open()->History().size(), 100u);
}

}  // namespace
}  // namespace koron
